#include "link/anfrage.h"

#include <cstdio>
#include <cstring>

TAnfrage::TAnfrage(const char* szFormat, ...) {
    va_list args;
    va_start(args, szFormat);
    const bool bPasst = Formatieren(szFormat, args);
    va_end(args);
    Bereich_pruefen(bPasst);
}

TAnfrage& TAnfrage::Anhaengen(const char* szFormat, ...) {
    va_list args;
    va_start(args, szFormat);
    const bool bPasst = Formatieren(szFormat, args);
    va_end(args);
    Bereich_pruefen(bPasst);
    return *this;
}

bool TAnfrage::Formatieren(const char* szFormat, va_list args) {
    char* szFrei = szPuffer + iLaenge;
    const size_t iFrei = sizeof szPuffer - iLaenge;
    const int n = std::vsnprintf(szFrei, iFrei, szFormat, args);
    const bool bPasst = n >= 0 && static_cast<size_t>(n) < iFrei && std::strlen(szFrei) == static_cast<size_t>(n);
    if (!bPasst) {
        // Leave nothing half-written behind.
        std::memset(szFrei, 0, iFrei);
        return false;
    }
    iLaenge += static_cast<size_t>(n);
    return true;
}
