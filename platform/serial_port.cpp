#include "platform/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/baud_rate.h"
#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/raw_terminal.h"

namespace platform {

namespace {

void CloseQuietly(int fd) {
    const int saved = errno;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    errno = saved;
}

// Settings to put back at close: only for a terminal with line editing or
// echo on that is no serial device. A serial port, or a pseudo-terminal set
// up raw by whoever serves it, keeps the settings we leave, as always.
std::unique_ptr<const termios> SettingsToRestore(int fd) {
    auto tio = std::make_unique<termios>();
    if (::tcgetattr(fd, tio.get()) != 0 || (tio->c_lflag & (ICANON | ECHO)) == 0) return nullptr;
    serial_struct info {};
    if (::ioctl(fd, TIOCGSERIAL, &info) == 0) return nullptr;
    return tio;
}

}  // namespace

std::shared_ptr<SerialPort> SerialPort::Open(const std::string& devicePath, uint32_t baud) {
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        SetLastErrorFromErrno(err);
        return nullptr;
    }
    // Refused by pseudo-terminals of some kernels; the lock above still holds.
    ::ioctl(fd, TIOCEXCL);
    auto restore = SettingsToRestore(fd);
    if (!Configure(fd, baud)) {
        const int err = errno;
        if (restore) ::tcsetattr(fd, TCSANOW, restore.get());
        CloseQuietly(fd);
        SetLastErrorFromErrno(err);
        return nullptr;
    }
    auto latency = LowLatency::Apply(fd, devicePath);
    return std::shared_ptr<SerialPort>(new SerialPort(fd, std::move(restore), std::move(latency)));
}

bool SerialPort::Configure(int fd, uint32_t baud) {
    if (!SetRaw(fd, {.serialLine = true, .noHandshake = true})) return false;
    if (!SetBaudRate(fd, baud)) return false;
    // Modem lines: a pseudo-terminal has none, so a refusal is not fatal.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &dtr);
    ::ioctl(fd, TIOCMBIS, &rts);
    return true;
}

SerialPort::SerialPort(int fd, std::unique_ptr<const termios> restore, LowLatency latency)
    : restore_(std::move(restore)), latency_(std::move(latency)), fd_(fd) {}

// At once, not after the output drains: nobody may be reading a terminal.
void SerialPort::Restore(int fd) const {
    latency_.Restore(fd);
    if (restore_) ::tcsetattr(fd, TCSANOW, restore_.get());
}

SerialPort::~SerialPort() {
    if (fd_ >= 0) {
        Restore(fd_);
        CloseQuietly(fd_);
    }
}

bool SerialPort::Close() {
    // New calls see the port closed at once; the descriptor itself goes when
    // the calls still using it are done.
    const int fd = fd_.exchange(-1);
    if (fd < 0) {
        SetLastError(EBADF);
        return false;
    }
    std::unique_lock lock(zugriff_);
    Restore(fd);
    ::ioctl(fd, TIOCNXCL);
    // The descriptor is gone after close() even when it reports EINTR.
    if (::close(fd) != 0 && errno != EINTR) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

void SerialPort::PurgeReceive() {
    std::shared_lock lock(zugriff_);
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void SerialPort::PurgeTransmit() {
    std::shared_lock lock(zugriff_);
    if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

size_t SerialPort::Write(const char* data, size_t length) {
    using Clock = std::chrono::steady_clock;
    std::shared_lock lock(zugriff_);
    const int fd = fd_;
    const auto deadline = Clock::now() + std::chrono::milliseconds(1000 + 10 * length);
    size_t done = 0;
    while (fd >= 0 && done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        pollfd p {fd, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
    return done;
}

// Waits in slices, so that a Close() never waits long for a reader, and a
// cancel event without a descriptor of its own is still seen.
SerialPort::ReadResult SerialPort::ReadByte(Event& cancel, unsigned char& byte) {
    constexpr int kScheibeMS = 250;
    std::shared_lock lock(zugriff_);
    const int fd = fd_;
    if (fd < 0) return ReadResult::Failed;
    const int cancelFd = cancel.PollFd();
    if (cancelFd < 0 && cancel.Wait(0) == WaitResult::Signalled) return ReadResult::Cancelled;
    pollfd p[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
    const int ready = ::poll(p, cancelFd < 0 ? 1 : 2, kScheibeMS);
    if (ready < 0) return errno == EINTR ? ReadResult::Idle : ReadResult::Failed;
    if (ready == 0) return ReadResult::Idle;
    if (cancelFd >= 0 && p[1].revents) return ReadResult::Cancelled;
    const ssize_t n = ::read(fd, &byte, 1);
    if (n == 1) return ReadResult::Byte;
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::Idle;
    SetLastErrorFromErrno(n == 0 ? EIO : errno);
    return ReadResult::Failed;
}

}  // namespace platform
