#include "sim/pty_endpoint.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/baud_rate.h"
#include "platform/raw_terminal.h"

namespace sim {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("pelto-sim: " + what + ": " + std::strerror(errno));
}

}  // namespace

PtyEndpoint::PtyEndpoint(std::string linkPath, bool raw) : linkPath_(std::move(linkPath)) {
    try {
        Open();
        // Raw 8N1, 9600 baud until the console says otherwise.
        if (raw && !platform::SetRaw(slave_, {.serialLine = true, .baud = 9600})) {
            Fail("set " + devicePath_ + " raw");
        }
        PlaceLink();
    } catch (...) {
        CloseAll();
        throw;
    }
}

PtyEndpoint::~PtyEndpoint() {
    RemoveLink();
    CloseAll();
}

void PtyEndpoint::Open() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        Fail("posix_openpt");
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        Fail("grantpt/unlockpt");
    }
    char name[256] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        Fail("ptsname_r");
    }
    devicePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        Fail("open " + devicePath_);
    }
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        Fail("fcntl");
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
}

// Replaces an old link atomically; refuses to replace anything but a link.
void PtyEndpoint::PlaceLink() {
    if (linkPath_.empty()) {
        return;
    }
    struct stat st {};
    if (lstat(linkPath_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        errno = EEXIST;
        Fail("will not replace " + linkPath_ + ", it is not a symbolic link");
    }
    const std::string temp = linkPath_ + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(master_);
    unlink(temp.c_str());
    if (symlink(devicePath_.c_str(), temp.c_str()) != 0) {
        Fail("symlink " + temp);
    }
    if (rename(temp.c_str(), linkPath_.c_str()) != 0) {
        unlink(temp.c_str());
        Fail("rename to " + linkPath_);
    }
}

// Removes the link only while it still points at this terminal.
void PtyEndpoint::RemoveLink() {
    if (linkPath_.empty()) {
        return;
    }
    char target[256] = {};
    const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && devicePath_ == std::string(target, std::size_t(n))) {
        unlink(linkPath_.c_str());
    }
}

void PtyEndpoint::CloseAll() {
    if (slave_ >= 0) {
        close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

unsigned PtyEndpoint::BaudRate() const { return platform::BaudRate(slave_); }

}  // namespace sim
