#include "support/scripted_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/raw_terminal.h"

ScriptedPeer::ScriptedPeer() {
    char name[128] = {};
    if (::openpty(&master_, &slaveKeep_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    slavePath_ = name;
    platform::SetRaw(slaveKeep_);
    if (::pipe(stopPipe_) != 0) throw std::runtime_error("pipe failed");
    reader_ = std::thread([this] { ReadLoop(); });
    writer_ = std::thread([this] { WriteLoop(); });
}

ScriptedPeer::~ScriptedPeer() {
    StopReader();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    writer_.join();
    for (int fd : {master_, slaveKeep_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0) ::close(fd);
}

void ScriptedPeer::StopReader() {
    if (!reader_.joinable()) return;
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], "x", 1);
    reader_.join();
}

void ScriptedPeer::Hangup() {
    StopReader();
    std::lock_guard lock(mutex_);
    ::close(master_);
    ::close(slaveKeep_);
    master_ = slaveKeep_ = -1;
}

void ScriptedPeer::Expect(const std::string& request, std::vector<Reply> replies) {
    std::lock_guard lock(mutex_);
    script_.emplace_back(request, std::move(replies));
}

void ScriptedPeer::SetResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void ScriptedPeer::Send(const std::string& bytes, int delayMs) {
    std::lock_guard lock(mutex_);
    outbox_.emplace_back(std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs), bytes);
    cv_.notify_all();
}

std::string ScriptedPeer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> ScriptedPeer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> ScriptedPeer::Mismatches() const {
    std::lock_guard lock(mutex_);
    return mismatches_;
}

bool ScriptedPeer::WaitRequests(size_t n, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= n; });
}

void ScriptedPeer::ReadLoop() {
    pollfd p[2] = {{master_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    for (;;) {
        if (::poll(p, 2, -1) < 0) continue;
        if (p[1].revents) return;
        char buf[256];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) continue;  // our own slave descriptor keeps the line up
        for (ssize_t i = 0; i < n; ++i) {
            std::string request;
            {
                std::lock_guard lock(mutex_);
                received_ += buf[i];
                pending_ += buf[i];
                if (buf[i] != '\r' && buf[i] != '\x02' && buf[i] != '\x03') continue;
                request.swap(pending_);
            }
            OnRequest(request);
        }
    }
}

void ScriptedPeer::OnRequest(const std::string& request) {
    std::vector<Reply> replies;
    std::unique_lock lock(mutex_);
    requests_.push_back(request);
    if (!script_.empty()) {
        if (script_.front().first != request) mismatches_.push_back(request);
        replies = std::move(script_.front().second);
        script_.pop_front();
    } else if (responder_) {
        Responder r = responder_;
        lock.unlock();
        replies = r(request);
        lock.lock();
    }
    auto at = std::chrono::steady_clock::now();
    for (const Reply& reply : replies) {
        at += std::chrono::milliseconds(reply.delayMs);
        outbox_.emplace_back(at, reply.bytes);
    }
    cv_.notify_all();
}

void ScriptedPeer::WriteLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop_) return;
        if (outbox_.empty()) {
            cv_.wait(lock);
            continue;
        }
        auto it = std::min_element(outbox_.begin(), outbox_.end(),
                                   [](const auto& a, const auto& b) { return a.first < b.first; });
        if (std::chrono::steady_clock::now() < it->first) {
            cv_.wait_until(lock, it->first);
            continue;
        }
        const std::string bytes = it->second;
        outbox_.erase(it);
        if (master_ >= 0) {
            [[maybe_unused]] ssize_t n = ::write(master_, bytes.data(), bytes.size());
        }
    }
}
