#include "common/protokolldatei.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/home_ordner.h"
#include "common/steuerzeichen.h"

namespace {

constexpr const char* kName = "~protokoll.log";

std::mutex gOrdnerMutex;
std::string gOrdner;

std::string ExeOrdner() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    std::string s(path, static_cast<size_t>(n));
    return s.substr(0, s.rfind('/') + 1);
}

// Beside the executable as long as the line can go there: the file is
// writable, or it is missing and the folder is writable.
bool Beschreibbar(const std::string& ordner) {
    const std::string datei = ordner + kName;
    if (::access(datei.c_str(), W_OK) == 0) return true;
    return errno == ENOENT && ::access(ordner.c_str(), W_OK) == 0;
}

void OrdnerAnlegen(const std::string& pfad) {
    for (size_t i = 1; i <= pfad.size(); ++i)
        if (i == pfad.size() || pfad[i] == '/') ::mkdir(pfad.substr(0, i).c_str(), 0700);
}

// Only a regular file, and never a wait: a pipe without a reader would
// block the open, one with a reader every line.
int Oeffnen(const std::string& pfad) {
    const int fd = ::open(pfad.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    struct stat st{};
    if (fd < 0 || (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))) return fd;
    ::close(fd);
    errno = EINVAL;
    return -1;
}

std::mutex gWechselMutex;

// A full file becomes the older one ("~protokoll.log.1", replacing the one
// before) and a new file begins: a line that fails for hours (noise, a
// pulled cable) never fills the disk.
int Begrenzen(int fd, const std::string& pfad) {
    struct stat st{};
    if (::fstat(fd, &st) != 0 || st.st_size < kProtokollGrenze) return fd;
    std::lock_guard lock(gWechselMutex);
    ::close(fd);
    // Another thread may have made the change meanwhile.
    if (::stat(pfad.c_str(), &st) == 0 && st.st_size >= kProtokollGrenze)
        ::rename(pfad.c_str(), (pfad + ".1").c_str());
    return Oeffnen(pfad);
}

}  // namespace

std::string Protokolldatei_Ersatzordner() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // The base directory rules ignore a relative path.
    const std::string basis = (state && state[0] == '/') ? state : Home_Ordner() + "/.local/state";
    return basis + "/pelto-befehle/";
}

void Protokolldatei_Ordner_setzen(const std::string& ordner) {
    std::lock_guard lock(gOrdnerMutex);
    gOrdner = ordner;
    if (!gOrdner.empty() && gOrdner.back() != '/') gOrdner += '/';
}

std::string Protokolldatei_Pfad() {
    {
        std::lock_guard lock(gOrdnerMutex);
        if (!gOrdner.empty()) return gOrdner + kName;
    }
    const std::string exe = ExeOrdner();
    return (Beschreibbar(exe) ? exe : Protokolldatei_Ersatzordner()) + kName;
}

std::optional<std::string> Protokolldatei_Problem() {
    const std::string pfad = Protokolldatei_Pfad();
    struct stat st{};
    if (::stat(pfad.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return std::nullopt;
    return "Das Protokoll '" + pfad + "' ist keine normale Datei und wird nicht geschrieben.";
}

void Protokolldatei_schreiben(const char* szText) {
    const std::string pfad = Protokolldatei_Pfad();
    int fd = Oeffnen(pfad);
    const std::string ersatz = Protokolldatei_Ersatzordner();
    if (fd < 0 && errno == ENOENT && pfad.compare(0, ersatz.size(), ersatz) == 0) {
        OrdnerAnlegen(ersatz.substr(0, ersatz.size() - 1));
        fd = Oeffnen(pfad);
    }
    if (fd < 0) return;
    fd = Begrenzen(fd, pfad);
    if (fd < 0) return;
    char zeile[256 + 2] = {};
    Steuerzeichen_darstellen(zeile, 256, szText);
    const size_t len = std::strlen(zeile);
    std::memcpy(zeile + len, "\r\n", 2);
    // One write per line, so lines of two threads never interleave.
    [[maybe_unused]] ssize_t n = ::write(fd, zeile, len + 2);
    ::close(fd);
}
