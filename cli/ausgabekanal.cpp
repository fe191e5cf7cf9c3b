#include "cli/ausgabekanal.h"

#include <cerrno>

void Ausgabekanal::Zeile(const std::string& text) { Schreiben(text + "\n"); }

bool Ausgabekanal::Schreiben(const std::string& text) {
    if (iFehler_) return false;
    errno = 0;
    const bool gut = std::fwrite(text.data(), 1, text.size(), datei_) == text.size() && std::fflush(datei_) == 0 &&
                     !std::ferror(datei_);
    if (gut) return true;
    iFehler_ = errno ? errno : EIO;
    if (melden_) melden_(iFehler_);
    return false;
}
