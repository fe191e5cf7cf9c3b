#include "routinen/programm_transfer.h"

#include <cstring>
#include <string_view>

#include "routinen/file_lines.h"
#include "common/fehler.h"
#include "common/pane_flags.h"
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

const char* Antwort(RoutinenSink& s) { return s.Link().Antwort(); }

char Letztes(const char* text) {
    const std::size_t n = std::strlen(text);
    return n ? text[n - 1] : '\0';
}

// The controller repeats the first four characters of these requests.
bool Echo_passt(RoutinenSink& s) { return std::strncmp(Antwort(s), s.Befehlspuffer(), 4) == 0; }

// An unexpected reply: the named error reply gives its code, anything else
// is a communication error.
[[noreturn]] void Unerwartet(RoutinenSink& s, const char* fehlerantwort, int32_t code) {
    throw std::strcmp(Antwort(s), fehlerantwort) == 0 ? code : COMMUNICATION_ERROR;
}

// An interrupted tool sends nothing more; the stop has cut the routine off.
void Weiter_pruefen(const RoutinenSink& s) {
    if (s.Abgebrochen()) throw ACK_ERROR;
}

void Senden(RoutinenSink& s, int32_t iZeitMS, const uint32_t* piResetStand = nullptr) {
    Weiter_pruefen(s);
    s.Link().SendReqWaitResp(s.Befehlspuffer(), iZeitMS, piResetStand);
    s.Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
}

void Quittiert_senden(RoutinenSink& s, int32_t iZeitMS, const uint32_t* piResetStand) {
    Senden(s, iZeitMS, piResetStand);
    if (Letztes(Antwort(s)) != kAck) throw ACK_ERROR;
}

// The further reply of a request that is still open.
void Nachantwort(RoutinenSink& s, int32_t iZeitMS) {
    s.Link().WaitResp(iZeitMS);
    s.Protokoll_schreiben(pane::kBehalten, pane::kOhneAnfrage, pane::kAntwort);
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
bool Headerzeilen_streamen(RoutinenSink& s, const std::vector<std::string>& zeilen, uint32_t iResetStand) {
    bool bVollstaendig = true;
    std::size_t summe = 0;
    for (const std::string& roh : zeilen) {
        const std::string zeile = StripTrailing(roh);
        if (summe + zeile.size() > kHeaderBudget) {
            bVollstaendig = false;
            s.Zeile_fertig();  // dealt with: left out
            continue;
        }
        summe += zeile.size();
        Weiter_pruefen(s);
        s.Link().SendReq_Kopfzeile(zeile.c_str(), &iResetStand);
        s.Link().WaitResp(TkeloCOM::kOhneAntwort);
        s.Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kOhneAntwort);
        s.Zeile_fertig();
    }
    return bVollstaendig;
}

void Oeffnen(RoutinenSink& s) {
    Weiter_pruefen(s);
    s.Link().SendReqWaitResp(s.Befehlspuffer(), kKurz);
    s.Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    // The echo is the request without its CR.
    const std::size_t laenge = std::strlen(s.Befehlspuffer());
    if (std::strncmp(Antwort(s), s.Befehlspuffer(), laenge ? laenge - 1 : 0) != 0 && Antwort(s)[0] != kAck)
        Unerwartet(s, "E5\a", kProgrammVorhanden);
}

}  // namespace

void Befehl_setzen(RoutinenSink& s, const std::string& anfrage) {
    std::memset(s.Befehlspuffer(), 0, s.Befehlspuffergroesse());
    anfrage.copy(s.Befehlspuffer(), s.Befehlspuffergroesse() - 1);
}

void Header_uebertragen(RoutinenSink& s, const std::vector<std::string>& zeilen, uint32_t iResetStand) {
    Oeffnen(s);
    const bool bVollstaendig = Headerzeilen_streamen(s, zeilen, iResetStand);
    Befehl_setzen(s, bVollstaendig ? std::string(1, kStx) : std::string("...") + kStx);
    Senden(s, kEndmarke, &iResetStand);
    if (Antwort(s)[0] != kAck) Unerwartet(s, "E8\a", kZuLang);
}

void Programm_uebertragen(RoutinenSink& s, const std::vector<std::string>& zeilen, uint32_t iResetStand) {
    Fuer_jede_Befehlszeile(zeilen, [&s, &iResetStand](const std::string& zeile) {
        Befehl_setzen(s, zeile + '\r');
        Quittiert_senden(s, kKurz, &iResetStand);
        s.Zeile_fertig();
    });
    Befehl_setzen(s, std::string(1, kEtx));
    Quittiert_senden(s, kEndmarke, &iResetStand);
}

void Programm_anfordern(RoutinenSink& s, int n, bool bNurHeader) {
    Befehl_setzen(s, "*PR" + std::to_string(n) + (bNurHeader ? "H\r" : "\r"));
    Senden(s, kLesen);
    if (!Echo_passt(s)) Unerwartet(s, "E3\a", kUngueltigerFatEintrag);
}

void Programm_empfangen(RoutinenSink& s) {
    for (;;) {
        s.Link().WaitResp(kKurz);
        const char letztes = Letztes(Antwort(s));
        s.Protokoll_schreiben(pane::kBehalten, pane::kOhneAnfrage, pane::kAntwort);
        s.Zeile_fertig();
        if (letztes == kAck) return;
    }
}

void Programm_loeschen(RoutinenSink& s, int n) {
    Befehl_setzen(s, "*PE" + std::to_string(n) + "\r");
    Senden(s, kKurz);
    if (!Echo_passt(s)) throw COMMUNICATION_ERROR;
    Nachantwort(s, kLoeschen);
    if (Antwort(s)[0] != kAck) Unerwartet(s, "E3\a", kUngueltigerFatEintrag);
}

void FAT_lesen(RoutinenSink& s, int n) {
    Befehl_setzen(s, "*FR" + std::to_string(n) + "\r");
    Senden(s, kKurz);
    if (!Echo_passt(s)) throw COMMUNICATION_ERROR;
}

void Alle_Programme_loeschen(RoutinenSink& s) {
    Befehl_setzen(s, "*PEa\r");
    Senden(s, kKurz);
    // The NAK after the four echoed characters announces the final reply.
    if (Antwort(s)[4] != kNak) throw NAK_ERROR;
    Nachantwort(s, kAlleLoeschen);
}

void Gesamte_FAT_lesen(RoutinenSink& s) {
    Befehl_setzen(s, "*FRa\r");
    Senden(s, kKurz);
    if (!Echo_passt(s)) throw COMMUNICATION_ERROR;
    for (int i = 2; i <= 7; ++i) Nachantwort(s, kKurz);
}

void Befehl_senden(RoutinenSink& s, const std::string& zeile) {
    Befehl_setzen(s, zeile + '\r');
    Senden(s, kKurz);
    // An echo before the NAK announces the final reply as well: not waited
    // for, it would hold the next line's request.
    const std::string_view antwort = Antwort(s);
    if (!antwort.empty() && antwort.back() == kNak) Nachantwort(s, kBefehlsende);
}

std::size_t Befehlszeilen_zahl(const std::vector<std::string>& zeilen) {
    std::size_t n = 0;
    Fuer_jede_Befehlszeile(zeilen, [&n](const std::string&) { ++n; });
    return n;
}

void Befehlszeilen_senden(RoutinenSink& s, const std::vector<std::string>& zeilen) {
    s.Zeilen_erwartet(Befehlszeilen_zahl(zeilen));
    Fuer_jede_Befehlszeile(zeilen, [&s](const std::string& zeile) {
        Befehl_senden(s, zeile);
        s.Zeile_fertig();
    });
}
