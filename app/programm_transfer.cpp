#include "app/programm_transfer.h"

#include <cstring>

#include "app/files/file_lines.h"
#include "app/pelto_befehle_main.h"
#include "common/fehler.h"
#include "common/steuerzeichen.h"
#include "link/keloCOMv1.h"

namespace {

constexpr char kStx = zeichen::STX;
constexpr char kEtx = zeichen::ETX;
constexpr char kAck = zeichen::ACK;
constexpr char kNak = zeichen::NAK;

constexpr std::size_t kHeaderBudget = 251;

// Reply times in ms.
constexpr int32_t kKurz = 64;
constexpr int32_t kEndmarke = 3000;
constexpr int32_t kLesen = 512;
constexpr int32_t kLoeschen = 3000;
constexpr int32_t kAlleLoeschen = 21000;
constexpr int32_t kBefehlsende = 300000;

// Controller error replies the routines tell apart.
constexpr int32_t kUngueltigerFatEintrag = CONTROLLER_ERROR_BASE + 3;
constexpr int32_t kProgrammVorhanden = CONTROLLER_ERROR_BASE + 5;
constexpr int32_t kZuLang = CONTROLLER_ERROR_BASE + 8;

const char* Antwort() { return keloCOM->Antwort(); }

char Letztes(const char* text) {
    const std::size_t n = std::strlen(text);
    return n ? text[n - 1] : '\0';
}

// The controller repeats the first four characters of these requests.
bool Echo_passt(const TMainForm& f) { return std::strncmp(Antwort(), f.szBefehl, 4) == 0; }

// An unexpected reply: the named error reply gives its code, anything else
// is a communication error.
[[noreturn]] void Unerwartet(const char* fehlerantwort, int32_t code) {
    throw std::strcmp(Antwort(), fehlerantwort) == 0 ? code : COMMUNICATION_ERROR;
}

void Senden(TMainForm& f, int32_t iZeitMS, const uint32_t* piResetStand = nullptr) {
    keloCOM->SendReqWaitResp(f.szBefehl, iZeitMS, piResetStand);
    f.Protokoll_schreiben(false, true, true);
}

void Quittiert_senden(TMainForm& f, int32_t iZeitMS, const uint32_t* piResetStand) {
    Senden(f, iZeitMS, piResetStand);
    if (Letztes(Antwort()) != kAck) throw ACK_ERROR;
}

// The further reply of a request that is still open.
void Nachantwort(TMainForm& f, int32_t iZeitMS) {
    keloCOM->WaitResp(iZeitMS);
    f.Protokoll_schreiben(false, false, true);
}

// Runs `senden` for every line that the program and command files send.
template <typename Senden>
void Fuer_jede_Befehlszeile(const std::vector<std::string>& zeilen, Senden senden) {
    for (const std::string& roh : zeilen) {
        const std::string zeile = StripTrailing(roh);
        if (IsProgramLineToSend(zeile)) senden(zeile);
    }
}

// Header lines go out without a reply in between. An empty one is refused
// by the link, which ends the transfer. False when a line was left out.
bool Headerzeilen_streamen(TMainForm& f, const std::vector<std::string>& zeilen, uint32_t iResetStand) {
    bool bVollstaendig = true;
    std::size_t summe = 0;
    for (const std::string& roh : zeilen) {
        const std::string zeile = StripTrailing(roh);
        if (summe + zeile.size() > kHeaderBudget) {
            bVollstaendig = false;
            continue;
        }
        summe += zeile.size();
        keloCOM->SendReq_Kopfzeile(zeile.c_str(), &iResetStand);
        keloCOM->WaitResp(-2);
        f.Protokoll_schreiben(false, true, false);
    }
    return bVollstaendig;
}

void Oeffnen(TMainForm& f) {
    keloCOM->SendReqWaitResp(f.szBefehl, kKurz);
    f.Protokoll_schreiben(true, true, true);
    // The echo is the request without its CR.
    const std::size_t laenge = std::strlen(f.szBefehl);
    if (std::strncmp(Antwort(), f.szBefehl, laenge ? laenge - 1 : 0) != 0 && Antwort()[0] != kAck)
        Unerwartet("E5\a", kProgrammVorhanden);
}

}  // namespace

void Befehl_setzen(TMainForm& f, const std::string& anfrage) {
    std::memset(f.szBefehl, 0, sizeof f.szBefehl);
    anfrage.copy(f.szBefehl, sizeof f.szBefehl - 1);
}

void Header_uebertragen(TMainForm& f, const std::vector<std::string>& zeilen, uint32_t iResetStand) {
    Oeffnen(f);
    const bool bVollstaendig = Headerzeilen_streamen(f, zeilen, iResetStand);
    Befehl_setzen(f, bVollstaendig ? std::string(1, kStx) : std::string("...") + kStx);
    Senden(f, kEndmarke, &iResetStand);
    if (Antwort()[0] != kAck) Unerwartet("E8\a", kZuLang);
}

void Programm_uebertragen(TMainForm& f, const std::vector<std::string>& zeilen, uint32_t iResetStand) {
    Fuer_jede_Befehlszeile(zeilen, [&f, &iResetStand](const std::string& zeile) {
        Befehl_setzen(f, zeile + '\r');
        Quittiert_senden(f, kKurz, &iResetStand);
    });
    Befehl_setzen(f, std::string(1, kEtx));
    Quittiert_senden(f, kEndmarke, &iResetStand);
}

void Programm_anfordern(TMainForm& f, int n, bool bNurHeader) {
    Befehl_setzen(f, "*PR" + std::to_string(n) + (bNurHeader ? "H\r" : "\r"));
    Senden(f, kLesen);
    if (!Echo_passt(f)) Unerwartet("E3\a", kUngueltigerFatEintrag);
}

void Programm_empfangen(TMainForm& f) {
    for (;;) {
        keloCOM->WaitResp(kKurz);
        const char letztes = Letztes(Antwort());
        f.Protokoll_schreiben(false, false, true);
        if (letztes == kAck) return;
    }
}

void Programm_loeschen(TMainForm& f, int n) {
    Befehl_setzen(f, "*PE" + std::to_string(n) + "\r");
    Senden(f, kKurz);
    if (!Echo_passt(f)) throw COMMUNICATION_ERROR;
    Nachantwort(f, kLoeschen);
    if (Antwort()[0] != kAck) Unerwartet("E3\a", kUngueltigerFatEintrag);
}

void FAT_lesen(TMainForm& f, int n) {
    Befehl_setzen(f, "*FR" + std::to_string(n) + "\r");
    Senden(f, kKurz);
    if (!Echo_passt(f)) throw COMMUNICATION_ERROR;
}

void Alle_Programme_loeschen(TMainForm& f) {
    Befehl_setzen(f, "*PEa\r");
    Senden(f, kKurz);
    // The NAK after the four echoed characters announces the final reply.
    if (Antwort()[4] != kNak) throw NAK_ERROR;
    Nachantwort(f, kAlleLoeschen);
}

void Gesamte_FAT_lesen(TMainForm& f) {
    Befehl_setzen(f, "*FRa\r");
    Senden(f, kKurz);
    if (!Echo_passt(f)) throw COMMUNICATION_ERROR;
    for (int i = 2; i <= 7; ++i) Nachantwort(f, kKurz);
}

void Befehlszeilen_senden(TMainForm& f, const std::vector<std::string>& zeilen) {
    Fuer_jede_Befehlszeile(zeilen, [&f](const std::string& zeile) {
        Befehl_setzen(f, zeile + '\r');
        Senden(f, kKurz);
        if (Antwort()[0] == kNak) Nachantwort(f, kBefehlsende);
    });
}
