#include "sim/raw_serial_client.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "platform/raw_terminal.h"

namespace sim {

RawSerialClient::RawSerialClient(const std::string& path, unsigned baud) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    }
    // Opened without blocking: VMIN and VTIME stay as they are.
    if (!platform::SetRaw(fd_, {.serialLine = true, .baud = baud, .readsWaitForOneByte = false})) {
        const std::string reason = std::strerror(errno);
        close(fd_);
        throw std::runtime_error("cannot set " + path + " raw at " + std::to_string(baud) + " baud: " + reason);
    }
    tcflush(fd_, TCIOFLUSH);
}

RawSerialClient::~RawSerialClient() {
    close(fd_);
}

void RawSerialClient::Send(std::string_view bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!bytes.empty() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(std::size_t(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            lineLost_ = true;
            return;
        }
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, 10);
    }
}

std::optional<std::string> RawSerialClient::Ask(std::string_view request, std::chrono::milliseconds timeout) {
    Send(request);
    const bool immediate = !request.empty() && request.front() == '@';
    return immediate ? NextImmediate(timeout) : NextNormal(timeout);
}

// Reads what is there, waiting until `deadline` for the first byte.
bool RawSerialClient::ReadSome(std::chrono::steady_clock::time_point deadline, std::string* raw) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, int(std::max<long long>(left.count(), 0))) <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            lineLost_ = true;
        }
        return false;
    }
    const std::string_view got(buffer, std::size_t(n));
    if (raw) {
        raw->append(got);
    } else {
        splitter_.Feed(got);
        for (Piece& piece : splitter_.Take()) {
            ready_.push_back(std::move(piece));
        }
    }
    return true;
}

std::optional<RawSerialClient::Piece> RawSerialClient::NextMatching(std::chrono::milliseconds timeout,
                                                                    std::optional<bool> immediate) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto match = std::find_if(ready_.begin(), ready_.end(), [&](const Piece& p) {
            return !immediate || p.immediate == *immediate;
        });
        if (match != ready_.end()) {
            Piece piece = *match;
            ready_.erase(match);
            return piece;
        }
        if (lineLost_ || std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        ReadSome(deadline, nullptr);
    }
}

std::optional<RawSerialClient::Piece> RawSerialClient::Next(std::chrono::milliseconds timeout) {
    return NextMatching(timeout, std::nullopt);
}

std::optional<std::string> RawSerialClient::NextNormal(std::chrono::milliseconds timeout) {
    auto piece = NextMatching(timeout, false);
    return piece ? std::optional(piece->text) : std::nullopt;
}

std::optional<std::string> RawSerialClient::NextImmediate(std::chrono::milliseconds timeout) {
    auto piece = NextMatching(timeout, true);
    return piece ? std::optional(piece->text) : std::nullopt;
}

std::string RawSerialClient::ReadFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string raw;
    while (!lineLost_ && std::chrono::steady_clock::now() < deadline) {
        ReadSome(deadline, &raw);
    }
    return raw;
}

void RawSerialClient::Flush() {
    tcflush(fd_, TCIFLUSH);
    splitter_ = {};
    ready_.clear();
}

}  // namespace sim
