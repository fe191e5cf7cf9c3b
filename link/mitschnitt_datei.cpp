#include "link/mitschnitt_datei.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool Gleich(const struct stat& a, int fd) {
    struct stat b {};
    return fstat(fd, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

MitschnittDatei::~MitschnittDatei() { Schliessen(); }

// Opened without blocking: a FIFO with no reader must not hold up the start.
std::string MitschnittDatei::Oeffnen(const std::string& pfad) {
    Schliessen();
    fehler_.clear();
    constexpr int kArt = O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(pfad.c_str(), O_RDWR | kArt, 0666);
    if (fd < 0 && errno == EACCES) fd = ::open(pfad.c_str(), O_WRONLY | kArt, 0666);
    if (fd < 0) return std::strerror(errno);
    if (const std::string grund = Pruefen(fd); !grund.empty()) {
        ::close(fd);
        return grund;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st {};
    fstat(fd, &st);
    char letztes = '\n';
    if (st.st_size > 0 && ::pread(fd, &letztes, 1, st.st_size - 1) != 1) letztes = '\n';
    bZeilenanfang_ = letztes == '\n';
    fd_ = fd;
    return {};
}

std::string MitschnittDatei::Pruefen(int fd) const {
    struct stat st {};
    if (fstat(fd, &st) != 0) return std::strerror(errno);
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (Gleich(st, STDOUT_FILENO) || Gleich(st, STDERR_FILENO)) return "it is where this program writes its output";
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return "another run is recording into it";
    return {};
}

void MitschnittDatei::Schreiben(const std::vector<std::string>& zeilen) {
    if (fd_ < 0 || !fehler_.empty() || zeilen.empty()) return;
    std::string text = bZeilenanfang_ ? "" : "\n";
    for (const std::string& z : zeilen) text += z + '\n';
    for (size_t i = 0; i < text.size();) {
        const ssize_t n = ::write(fd_, text.data() + i, text.size() - i);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fehler_ = n < 0 ? std::strerror(errno) : "nothing written";
            return;
        }
        i += static_cast<size_t>(n);
    }
    bZeilenanfang_ = true;
}

void MitschnittDatei::Schliessen() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}
