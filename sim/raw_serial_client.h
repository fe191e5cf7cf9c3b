#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "sim/reply_splitter.h"

namespace sim {

// A bare serial client for tests and benchmarks: opens a terminal device in
// raw mode at the given baud rate, writes requests and reads replies split
// as the console splits them.
class RawSerialClient {
public:
    using Piece = ReplySplitter::Piece;

    // Throws std::runtime_error when the device cannot be opened.
    explicit RawSerialClient(const std::string& path, unsigned baud = 115200);
    ~RawSerialClient();
    RawSerialClient(const RawSerialClient&) = delete;
    RawSerialClient& operator=(const RawSerialClient&) = delete;

    void Send(std::string_view bytes);
    // Sends a request and returns the next reply of its channel ("@" requests
    // are answered on the "@" channel).
    std::optional<std::string> Ask(std::string_view request,
                                   std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // The next reply of either channel; nullopt when none completes in time.
    std::optional<Piece> Next(std::chrono::milliseconds timeout);
    // The next normal reply; "@" replies on the way are kept for NextImmediate().
    std::optional<std::string> NextNormal(std::chrono::milliseconds timeout);
    std::optional<std::string> NextImmediate(std::chrono::milliseconds timeout);
    // Raw bytes that arrive within `timeout` (all of them, not split).
    std::string ReadFor(std::chrono::milliseconds timeout);
    // Forgets everything received so far.
    void Flush();
    // True once a read reported the line gone (EIO or hang-up).
    bool LineLost() const { return lineLost_; }

private:
    bool ReadSome(std::chrono::steady_clock::time_point deadline, std::string* raw);
    std::optional<Piece> NextMatching(std::chrono::milliseconds timeout, std::optional<bool> immediate);

    int fd_ = -1;
    bool lineLost_ = false;
    ReplySplitter splitter_;
    std::deque<Piece> ready_;
};

}  // namespace sim
