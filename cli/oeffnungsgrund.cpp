#include "cli/oeffnungsgrund.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/rechte_hinweis.h"

namespace fs = std::filesystem;

namespace {

std::string Prozessname(const fs::path& prozess) {
    std::ifstream in(prozess / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// "1234 (minicom)" for every other process with the device open; the fd
// folders of other users' processes are unreadable without privilege.
std::string Halter(const std::string& geraet) {
    std::error_code ec;
    const fs::path echt = fs::canonical(geraet, ec);
    if (ec) return {};
    const std::string selbst = std::to_string(::getpid());
    std::string halter;
    for (const auto& prozess : fs::directory_iterator("/proc", ec)) {
        const std::string pid = prozess.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == selbst) continue;
        std::error_code ec2;
        for (const auto& fd : fs::directory_iterator(prozess.path() / "fd", ec2)) {
            std::error_code ec3;
            if (fs::read_symlink(fd.path(), ec3) != echt || ec3) continue;
            halter += (halter.empty() ? "" : ", ") + pid + " (" + Prozessname(prozess.path()) + ")";
            break;
        }
    }
    return halter;
}

std::string Belegt(const std::string& geraet) {
    const std::string halter = Halter(geraet);
    return geraet + " is busy: " + (halter.empty() ? "another program has it open" : "held by " + halter);
}

}  // namespace

std::string Oeffnungsgrund(const std::string& geraet) {
    const int fd = ::open(geraet.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int fehler = errno;
    if (fd >= 0) {
        const bool bFrei = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        const bool bTerminal = ::isatty(fd);
        ::close(fd);
        if (!bFrei) return Belegt(geraet);
        return bTerminal ? std::string() : geraet + " is no serial device";
    }
    if (fehler == ENOENT || fehler == ENODEV || fehler == ENXIO)
        return geraet + " is missing: no such device (is the adapter plugged in?)";
    if (fehler == EBUSY) return Belegt(geraet);
    if (fehler == EACCES || fehler == EPERM) {
        const std::string hinweis = Rechte_Hinweis(geraet, static_cast<uint32_t>(fehler));
        return geraet + " is not permitted" + (hinweis.empty() ? std::string() : ": " + hinweis);
    }
    return geraet + ": " + std::strerror(fehler);
}
