#include "sim/pty_service.h"

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

namespace sim {

PtyService::PtyService() {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::runtime_error("pelto-sim: cannot create a wake-up pipe");
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
}

PtyService::~PtyService() {
    close(wakeRead_);
    close(wakeWrite_);
}

void PtyService::Start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) {
        throw std::logic_error("pelto-sim: already started");
    }
    pty_ = OpenLocked();
    StartedLocked();
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
}

void PtyService::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) {
            return;
        }
        stopping_ = true;
    }
    Wake();
    thread_.join();
    std::lock_guard lock(mutex_);
    pty_.reset();
    StoppedLocked();
}

std::string PtyService::DevicePath() const {
    std::lock_guard lock(mutex_);
    return pty_ ? pty_->DevicePath() : std::string();
}

void PtyService::Wake() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(wakeWrite_, &byte, 1);
}

void PtyService::Drain() {
    char drain[64];
    while (read(wakeRead_, drain, sizeof drain) > 0) {
    }
}

}  // namespace sim
