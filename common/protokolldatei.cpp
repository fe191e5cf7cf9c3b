#include "common/protokolldatei.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "common/steuerzeichen.h"

namespace {

std::mutex gOrdnerMutex;
std::string gOrdner;

std::string ExeOrdner() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    std::string s(path, static_cast<size_t>(n));
    return s.substr(0, s.rfind('/') + 1);
}

}  // namespace

void Protokolldatei_Ordner_setzen(const std::string& ordner) {
    std::lock_guard lock(gOrdnerMutex);
    gOrdner = ordner;
    if (!gOrdner.empty() && gOrdner.back() != '/') gOrdner += '/';
}

std::string Protokolldatei_Pfad() {
    std::lock_guard lock(gOrdnerMutex);
    return (gOrdner.empty() ? ExeOrdner() : gOrdner) + "~protokoll.log";
}

void Protokolldatei_schreiben(const char* szText) {
    const int fd = ::open(Protokolldatei_Pfad().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    char zeile[256 + 2] = {};
    Steuerzeichen_darstellen(zeile, 256, szText);
    const size_t len = std::strlen(zeile);
    std::memcpy(zeile + len, "\r\n", 2);
    // One write per line, so lines of two threads never interleave.
    [[maybe_unused]] ssize_t n = ::write(fd, zeile, len + 2);
    ::close(fd);
}
