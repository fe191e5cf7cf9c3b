#include "sim/replay_controller.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "common/mitschnitt_zeile.h"

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIdlePollMs = 1000;

bool EndsRequest(char c) { return c == '\r' || c == '\x02' || c == '\x03'; }

std::string Quoted(const std::string& bytes) { return "\"" + Mitschnitt_maskieren(bytes) + "\""; }

}  // namespace

ReplayController::ReplayController(ReplayScript script, std::string linkPath)
    : script_(std::move(script)), linkPath_(std::move(linkPath)) {}

ReplayController::~ReplayController() { Stop(); }

std::unique_ptr<PtyEndpoint> ReplayController::OpenLocked() { return std::make_unique<PtyEndpoint>(linkPath_); }

std::string ReplayController::Mismatch() const {
    std::lock_guard lock(mutex_);
    return mismatch_;
}

std::string ReplayController::Progress() const {
    std::lock_guard lock(mutex_);
    return "request " + std::to_string(next_) + " of " + std::to_string(script_.Exchanges().size());
}

std::string ReplayController::Verdict() const {
    std::lock_guard lock(mutex_);
    if (!mismatch_.empty() || next_ == script_.Exchanges().size()) {
        return mismatch_;
    }
    const auto& missing = script_.Exchanges()[next_];
    return "request " + std::to_string(next_ + 1) + " (line " + std::to_string(missing.line) + ") " +
           Quoted(missing.request) + " never came";
}

void ReplayController::Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        ReopenLocked(Clock::now());
        if (pty_) ReadLocked(Clock::now());
        WriteLocked(Clock::now());
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {-1, 0, 0}};
        if (pty_) fds[1] = {pty_->MasterFd(), short(POLLIN | (unwritten_.empty() ? 0 : POLLOUT)), 0};
        const int timeout = PollTimeoutMs(Clock::now());
        lock.unlock();
        poll(fds, pty_ ? 2 : 1, timeout);
        Drain();
        lock.lock();
    }
}

void ReplayController::ReadLocked(SimTime now) {
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(pty_->MasterFd(), buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            line_ += buffer[i];
            if (!EndsRequest(buffer[i])) continue;
            std::string request;
            request.swap(line_);
            RequestLocked(request, now);
        }
    }
}

void ReplayController::RequestLocked(const std::string& request, SimTime now) {
    if (!mismatch_.empty()) return;
    const auto& exchanges = script_.Exchanges();
    const std::string number = "request " + std::to_string(next_ + 1);
    if (next_ == exchanges.size()) {
        mismatch_ = number + " differs: expected the end of the recording, received " + Quoted(request);
        return;
    }
    const auto& expected = exchanges[next_];
    if (request != expected.request) {
        mismatch_ = number + " (line " + std::to_string(expected.line) + ") differs: expected " +
                    Quoted(expected.request) + ", received " + Quoted(request);
        return;
    }
    ++next_;
    // Pieces keep their order even where a later request came early.
    const auto Schedule = [&](std::chrono::milliseconds after, std::string bytes, auto drop) {
        SimTime due = now + after;
        if (!pending_.empty()) due = std::max(due, pending_.back().due);
        pending_.push_back({due, std::move(bytes), drop});
    };
    for (const auto& part : expected.replies) Schedule(part.after, part.bytes, std::nullopt);
    if (expected.dropAfter) Schedule(*expected.dropAfter, {}, std::optional(expected.downFor));
}

void ReplayController::WriteLocked(SimTime now) {
    while (!pending_.empty() && pending_.front().due <= now) {
        if (const auto drop = pending_.front().drop) {
            // As the line went at the bench: what was on its way is lost.
            pty_.reset();
            line_.clear();
            unwritten_.clear();
            reopenAt_ = now + *drop;
        }
        unwritten_ += pending_.front().bytes;
        pending_.pop_front();
    }
    if (!pty_) unwritten_.clear();
    while (pty_ && !unwritten_.empty()) {
        const ssize_t n = write(pty_->MasterFd(), unwritten_.data(), unwritten_.size());
        if (n <= 0) return;
        unwritten_.erase(0, std::size_t(n));
    }
}

void ReplayController::ReopenLocked(SimTime now) {
    if (pty_ || !reopenAt_ || now < *reopenAt_) return;
    try {
        pty_ = OpenLocked();
        reopenAt_.reset();
    } catch (const std::exception&) {
        reopenAt_ = now + std::chrono::milliseconds(50);
    }
}

int ReplayController::PollTimeoutMs(SimTime now) const {
    std::optional<SimTime> next = reopenAt_;
    if (!pending_.empty()) next = next ? std::min(*next, pending_.front().due) : pending_.front().due;
    if (!next) return kIdlePollMs;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - now);
    return int(std::clamp<long long>(left.count(), 0, kIdlePollMs));
}

}  // namespace sim
