#include "bench/bench_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/raw_terminal.h"

AckPeer::AckPeer() {
    char name[128] = {};
    if (::openpty(&master_, &slaveKeep_, name, nullptr, nullptr) != 0 || ::pipe(stop_) != 0)
        throw std::runtime_error("openpty failed");
    slavePath_ = name;
    platform::SetRaw(slaveKeep_);
    thread_ = std::thread([this] { Run(); });
}

AckPeer::~AckPeer() {
    [[maybe_unused]] ssize_t n = ::write(stop_[1], "x", 1);
    thread_.join();
    for (int fd : {master_, slaveKeep_, stop_[0], stop_[1]}) ::close(fd);
}

void AckPeer::Run() {
    pollfd p[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    char buf[256];
    for (;;) {
        if (::poll(p, 2, -1) < 0) continue;
        if (p[1].revents) return;
        const ssize_t n = ::read(master_, buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] != '\r') continue;
            [[maybe_unused]] ssize_t w = ::write(master_, "\x06", 1);
        }
    }
}

int OpenRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    platform::SetRaw(fd);
    return fd;
}
