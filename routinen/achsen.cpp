#include "routinen/achsen.h"

#include <cstdio>
#include <cstring>

#include "common/pane_flags.h"
#include "link/keloCOMv1.h"

namespace {

// A move or reference run may take minutes before its final answer.
constexpr int32_t kFahrtMS = 300000;
constexpr int32_t kAnforderungMS = 3000;
constexpr int32_t kAnnahmeMS = 64;  // until the controller accepts a run with NAK
constexpr const char* kKeineAuswahl = "keine Auswahl getroffen!";

// Shows the accepted request, waits for the final answer and adds it below.
void Endantwort_abwarten(RoutinenSink& s) {
    s.Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    s.Link().WaitResp(kFahrtMS);
    s.Protokoll_schreiben(pane::kBehalten, pane::kOhneAnfrage, pane::kAntwort);
}

// The letters of the chosen axes, in the controller's order z, x, y, u.
std::string Buchstaben(const Achsenwahl& w) {
    std::string achsen;
    if (w.z) achsen += 'z';
    if (w.x) achsen += 'x';
    if (w.y) achsen += 'y';
    if (w.u) achsen += 'u';
    return achsen;
}

// Puts prefix, axis letters and CR into the request buffer; false (and
// the reason in the log) when no axis is chosen.
bool Befehl_setzen(RoutinenSink& s, const char* szPrefix, const Achsenwahl& wahl) {
    const std::string achsen = Buchstaben(wahl);
    if (achsen.empty()) {
        s.Leeren();
        s.Zeile(kKeineAuswahl, Zeilenart::Fehler);
        return false;
    }
    std::memset(s.Befehlspuffer(), 0, s.Befehlspuffergroesse());
    std::snprintf(s.Befehlspuffer(), s.Befehlspuffergroesse(), "%s%s\r", szPrefix, achsen.c_str());
    return true;
}

}  // namespace

void xyzVektor_fahren(RoutinenSink& s, bool bRelativ, int32_t iX, int32_t iY, int32_t iZ) {
    s.Link().xyzVektor_fahren(bRelativ, 1, iX, iY, iZ);
    Endantwort_abwarten(s);
}

void uVektor_fahren(RoutinenSink& s, bool bRelativ, int32_t iU) {
    s.Link().uVektor_fahren(bRelativ, 1, iU);
    Endantwort_abwarten(s);
}

void Referenzoffset_senden(RoutinenSink& s, int32_t iOffset, bool bUAchse) {
    const std::string achsen = bUAchse ? "xyzuu" : "xyzu";
    for (size_t i = 0; i < achsen.size(); ++i) {
        s.Link().Referenzoffset_einstellen(achsen[i], iOffset);
        s.Protokoll_schreiben(i == 0, pane::kAnfrage, pane::kAntwort);
    }
}

void Referenz_anfordern(RoutinenSink& s, const Achsenwahl& wahl) {
    if (!Befehl_setzen(s, "#H", wahl)) return;
    s.Leeren();  // the request may take seconds
    s.Link().SendReqWaitResp(s.Befehlspuffer(), kAnforderungMS);
    s.Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
}

void Referenzfahrt(RoutinenSink& s, const Achsenwahl& wahl) {
    if (!Befehl_setzen(s, "$H", wahl)) return;
    s.Link().SendReqWaitResp(s.Befehlspuffer(), kAnnahmeMS);
    Endantwort_abwarten(s);
}
