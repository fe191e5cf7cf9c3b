#include "cli/exitstatus.h"

#include "routinen/transfer_ablauf.h"
#include "common/fehler.h"

int Exitstatus(int32_t iErgebnis) {
    if (iErgebnis == 0) return kExitOk;
    if (iErgebnis == kDateiNichtSendbar) return kExitDatei;
    return iErgebnis >= CONTROLLER_ERROR_BASE ? kExitController : kExitLink;
}

std::string Fehlername(int32_t iErgebnis) {
    if (iErgebnis == kDateiNichtSendbar) return "FILE_ERROR";
    if (iErgebnis >= CONTROLLER_ERROR_BASE) return "E" + std::to_string(iErgebnis - CONTROLLER_ERROR_BASE);
    if (const char* name = Fehlername_holen(iErgebnis)) return name;
    return "ERROR_" + std::to_string(iErgebnis);
}

std::string Fehlermeldung(int32_t iErgebnis) {
    std::string text = Fehlername(iErgebnis) + " (" + std::to_string(iErgebnis) + ")";
    if (iErgebnis >= CONTROLLER_ERROR_BASE) text += std::string(" ") + Fehlertext_holen(iErgebnis);
    return text;
}

bool Wartefehler(int32_t iFehler) { return iFehler >= WAIT_ABANDONED_ERROR && iFehler <= WAIT_FAILED_ERROR; }

int32_t Controllerfehler(const char* szAntwort) {
    // The "@" channel answers its errors with the same text after its "@".
    if (szAntwort[0] == '@') ++szAntwort;
    if (szAntwort[0] != 'E') return 0;
    int32_t n = 0;
    const char* p = szAntwort + 1;
    for (; *p >= '0' && *p <= '9' && n < 1000; ++p) n = n * 10 + (*p - '0');
    return p > szAntwort + 1 && p[0] == '\a' && p[1] == '\0' ? CONTROLLER_ERROR_BASE + n : 0;
}
