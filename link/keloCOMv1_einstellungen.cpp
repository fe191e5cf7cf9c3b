// Setting commands: check the limits, send one request, require ACK (NAK
// for the wait, which the controller answers finally when it has run out).
#include "common/fehler.h"
#include "link/anfrage.h"
#include "link/keloCOMv1.h"

namespace {

constexpr int32_t kAntwortMS = 64;
constexpr uint32_t kMaxFrequenz = 128000;
constexpr uint16_t kMaxRampeMS = 60000;
constexpr uint32_t kMaxWartezeitMS = 3600000;
constexpr int8_t kMaxGeschwIndex = 10;

bool Ein_Aus(int8_t i) { return i == 0 || i == 1; }

// Output number to its prefix; every number the controller lacks is refused.
const char* Ausgang_prefix(int8_t iNr) {
    switch (iNr) {
        case 1: case 12: return "A1,";
        case 2: case 13: return "A2,";
        case 3: return "A3,";
        case 4: return "A4,";
        case 5: return "A5,";
        case 6: return "A6,";
        case 7: return "A7,";
        case 8: return "A8,";
        case 'L': return "AL,";
        case 'R': return "AR,";
        default: throw OUT_OF_RANGE;
    }
}

}  // namespace

// Only the drive-signal and step-mode requests report the controller's
// "unknown command" as such; for the others it is just no ACK.
void TkeloCOM::Quittung_fordern(const char* szAnfrage, const char* szQuittung, int32_t iFehler, bool bE1Melden) {
    SendReqWaitResp(szAnfrage, kAntwortMS);
    if (bE1Melden && Antwort_beginnt(kE1)) throw CONTROLLER_ERROR_BASE + 1;
    Antwort_pruefen({szQuittung}, iFehler);
}

void TkeloCOM::Schalten(const char* szPrefix, int8_t iModus) {
    Bereich_pruefen(Ein_Aus(iModus));
    Quittung_fordern(TAnfrage("%s%d\r", szPrefix, iModus).Text(), kACK, ACK_ERROR);
}

void TkeloCOM::Ansteuersignale_einstellen(int8_t i8Ansteuersignal) {
    Bereich_pruefen(Ein_Aus(i8Ansteuersignal));
    Quittung_fordern(TAnfrage("T%d\r", i8Ansteuersignal).Text(), kACK, ACK_ERROR, true);
}

void TkeloCOM::Halb_Vollschrittbetrieb_einstellen(int8_t i8Schrittbetrieb, int8_t i8Ruhestrom) {
    static constexpr char kSchritt[] = "HV";  // Halbschritt, Vollschritt
    static constexpr char kStrom[] = "026";   // 0 %, 20 %, 60 %
    Bereich_pruefen(Ein_Aus(i8Schrittbetrieb));
    Bereich_pruefen(i8Ruhestrom >= 0 && i8Ruhestrom <= 2);
    const TAnfrage anfrage("F%c%c\r", kSchritt[i8Schrittbetrieb], kStrom[i8Ruhestrom]);
    Quittung_fordern(anfrage.Text(), kACK, ACK_ERROR, true);
}

void TkeloCOM::Startgeschwindigkeit_einstellen(uint32_t Startfreq) {
    Bereich_pruefen(Startfreq <= kMaxFrequenz);
    Quittung_fordern(TAnfrage("#S%d\r", static_cast<int>(Startfreq)).Text(), kACK, ACK_ERROR);
}

void TkeloCOM::Endgeschwindigkeit_einstellen(int8_t iIndex, uint32_t iArbeitsfreq) {
    Bereich_pruefen(iIndex <= kMaxGeschwIndex);
    Bereich_pruefen(iArbeitsfreq <= kMaxFrequenz);
    const TAnfrage anfrage("#E%d,%d\r", iIndex, static_cast<int>(iArbeitsfreq));
    Quittung_fordern(anfrage.Text(), kACK, ACK_ERROR);
}

void TkeloCOM::Rampenlaenge_einstellen(uint16_t ui16Rampenlaenge) {
    Bereich_pruefen(ui16Rampenlaenge <= kMaxRampeMS);
    Quittung_fordern(TAnfrage("#R%d\r", ui16Rampenlaenge).Text(), kACK, ACK_ERROR);
}

// Returns after the NAK; the caller fetches the final answer with WaitResp.
void TkeloCOM::Wartezeit_einfuegen(uint32_t iWartezeitMS) {
    Bereich_pruefen(iWartezeitMS <= kMaxWartezeitMS);
    Quittung_fordern(TAnfrage("W%d\r", static_cast<int>(iWartezeitMS)).Text(), kNAK, NAK_ERROR);
}

void TkeloCOM::E1Verknuepfung(int8_t iAktion) { Schalten("&E1,", iAktion); }

void TkeloCOM::Ausgangssignal_setzen(int8_t iNr, int8_t iModus) { Schalten(Ausgang_prefix(iNr), iModus); }

void TkeloCOM::I2C_Ausgangssignal_setzen(int8_t iNr, int8_t iModus) {
    static constexpr const char* kPrefix[] = {"I2C-A1,", "I2C-A2,", "I2C-A3,", "I2C-A4,"};
    Bereich_pruefen(iNr >= 1 && iNr <= 4);
    Schalten(kPrefix[iNr - 1], iModus);
}

void TkeloCOM::WatchDog_setzen(int8_t iModus) { Schalten("WD,", iModus); }
