// Vector moves, the reference offset and the immediate "@" controls.
#include <cctype>

#include "common/fehler.h"
#include "link/anfrage.h"
#include "link/keloCOMv1.h"

namespace {

constexpr int32_t kAntwortMS = 64;
// In an absolute move this value leaves its axis where it is.
constexpr int32_t kAchseAuslassen = 99999;

// Lower case: relative component; upper case: absolute target.
char Achsbuchstabe(char cAchse, int32_t bRelativ) {
    return static_cast<char>(bRelativ ? cAchse : std::toupper(static_cast<unsigned char>(cAchse)));
}

}  // namespace

// Returns after the NAK; the caller fetches the final answer with WaitResp.
void TkeloCOM::xyzVektor_fahren(int32_t bRelativ, int8_t i8Index, int32_t iX, int32_t iY, int32_t iZ) {
    TAnfrage anfrage("L%d", i8Index);
    const bool bAlleNull = iX == 0 && iY == 0 && iZ == 0;
    const struct {
        char cAchse;
        int32_t iWert;
    } komponenten[] = {{'x', iX}, {'y', iY}, {'z', iZ}};
    for (const auto& k : komponenten) {
        // A relative move of all zeros still names every axis.
        const bool bAuslassen = bRelativ ? (k.iWert == 0 && !bAlleNull) : k.iWert == kAchseAuslassen;
        if (!bAuslassen) anfrage.Anhaengen(",%c%d", Achsbuchstabe(k.cAchse, bRelativ), k.iWert);
    }
    anfrage.Anhaengen("\r");
    Quittung_fordern(anfrage.Text(), kNAK, NAK_ERROR);
}

// The u axis is never left out, not even with 99999.
void TkeloCOM::uVektor_fahren(int32_t bRelativ, int8_t i8Index, int32_t iU) {
    const TAnfrage anfrage("L%d,%c%d\r", i8Index, Achsbuchstabe('u', bRelativ), iU);
    Quittung_fordern(anfrage.Text(), kNAK, NAK_ERROR);
}

void TkeloCOM::Referenzoffset_einstellen(char cAchse, int32_t iOffset) {
    Quittung_fordern(TAnfrage("#O%c,%d\r", cAchse, iOffset).Text(), kACK, ACK_ERROR);
}

// The link itself already insists on "@RS" ACK for "@R" and "@S" and on
// "@B" ACK for "@B"; these checks follow its own.
void TkeloCOM::Reset_ausfuehren() {
    SendReqWaitResp("@R\r", kAntwortMS);
    Antwort_pruefen({"@RS"}, RS_ERROR);
}

void TkeloCOM::Achsen_stoppen() {
    SendReqWaitResp("@S\r", kAntwortMS);
    Antwort_pruefen({"@RS", kACK}, COMMUNICATION_ERROR);
}

void TkeloCOM::Achsen_anhalten() {
    SendReqWaitResp("@B\r", kAntwortMS);
    Antwort_pruefen({"@B", "@RS", kACK}, COMMUNICATION_ERROR);
}

void TkeloCOM::Fahrt_unterbrechen() {
    SendReqWaitResp("@A\r", kAntwortMS);
    Antwort_pruefen({"@A", kACK}, COMMUNICATION_ERROR);
}

// The controller answers the resume request as "@A", not "@C".
void TkeloCOM::Pause_beenden() {
    SendReqWaitResp("@C\r", kAntwortMS);
    Antwort_pruefen({"@A", kACK}, COMMUNICATION_ERROR);
}
