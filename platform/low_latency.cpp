#include "platform/low_latency.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/sysfs.h"

namespace platform {

namespace {

constexpr const char* kTimerMs = "1";

std::optional<std::string> ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    return line;
}

bool WriteLine(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);
    out << text << '\n';
    out.flush();
    return static_cast<bool>(out);
}

void Add(std::string& note, const std::string& text) {
    if (!note.empty()) note += "; ";
    note += text;
}

}  // namespace

LowLatency LowLatency::Apply(int fd, const std::string& devicePath) {
    LowLatency l;
    l.ApplyFlag(fd);
    l.ApplyTimer(devicePath);
    return l;
}

void LowLatency::ApplyFlag(int fd) {
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0) {
        Add(note_, std::string("ASYNC_LOW_LATENCY: ") + std::strerror(errno));
        return;
    }
    if (info.flags & ASYNC_LOW_LATENCY) return;
    const int old = info.flags;
    info.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &info) != 0) {
        Add(note_, std::string("ASYNC_LOW_LATENCY: ") + std::strerror(errno));
        return;
    }
    oldFlags_ = old;
}

// Only adapters that have the timer (FTDI-style) expose the file.
void LowLatency::ApplyTimer(const std::string& devicePath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path device = fs::canonical(devicePath, ec);
    if (ec) return;
    const std::string path =
        (fs::path(SysfsRoot()) / "class/tty" / device.filename() / "device/latency_timer").string();
    const auto old = ReadLine(path);
    if (!old || *old == kTimerMs) return;
    if (!WriteLine(path, kTimerMs)) {
        Add(note_, "latency_timer " + *old + " ms: " + std::strerror(errno ? errno : EACCES));
        return;
    }
    timerPath_ = path;
    oldTimer_ = *old;
}

void LowLatency::Restore(int fd) const {
    if (oldFlags_) {
        serial_struct info{};
        if (::ioctl(fd, TIOCGSERIAL, &info) == 0) {
            info.flags = (info.flags & ~ASYNC_LOW_LATENCY) | (*oldFlags_ & ASYNC_LOW_LATENCY);
            ::ioctl(fd, TIOCSSERIAL, &info);
        }
    }
    if (!timerPath_.empty()) WriteLine(timerPath_, oldTimer_);
}

}  // namespace platform
