#include "platform/event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/last_error.h"

namespace platform {

// One waiter of WaitAny, woken by any of the events it watches.
struct Event::Beobachter {
    std::mutex mutex;
    std::condition_variable cv;
    bool gemeldet = false;
};

Event::Event(Mode mode, bool initiallySignalled) : mode_(mode), signalled_(initiallySignalled) {}

Event::~Event() {
    if (pollFd_ >= 0) ::close(pollFd_);
}

bool Event::Set() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            SetLastError(EBADF);
            return false;
        }
        if (!signalled_) {
            signalled_ = true;
            RaiseFd();
        }
        Melden();
    }
    // Woken outside the lock, so the waiter does not at once block on it.
    cv_.notify_all();
    return true;
}

bool Event::Reset() {
    std::lock_guard lock(mutex_);
    if (closed_) {
        SetLastError(EBADF);
        return false;
    }
    signalled_ = false;
    DrainFd();
    return true;
}

WaitResult Event::Wait(int64_t timeoutMs) {
    std::unique_lock lock(mutex_);
    if (closed_) {
        SetLastError(EBADF);
        return WaitResult::Failed;
    }
    const uint64_t closings = closings_;
    auto ready = [&] { return signalled_ || closings_ != closings; };
    if (timeoutMs < 0) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return WaitResult::TimedOut;
    }
    if (closings_ != closings) return WaitResult::Abandoned;
    if (mode_ == Mode::AutoReset) {
        signalled_ = false;
        DrainFd();
    }
    return WaitResult::Signalled;
}

bool Event::Close() {
    std::lock_guard lock(mutex_);
    if (closed_) {
        SetLastError(EBADF);
        return false;
    }
    closed_ = true;
    ++closings_;
    RaiseFd();  // a poller wakes and finds the event gone
    cv_.notify_all();
    Melden();
    return true;
}

void Event::Melden() {
    for (Beobachter* b : beobachter_) {
        std::lock_guard lock(b->mutex);
        b->gemeldet = true;
        b->cv.notify_all();
    }
}

void Event::Beobachten(Beobachter* b) {
    std::lock_guard lock(mutex_);
    beobachter_.push_back(b);
}

void Event::NichtMehrBeobachten(Beobachter* b) {
    std::lock_guard lock(mutex_);
    std::erase(beobachter_, b);
}

WaitResult Event::TryConsume() {
    std::lock_guard lock(mutex_);
    if (closed_) return WaitResult::Failed;
    if (!signalled_) return WaitResult::TimedOut;
    if (mode_ == Mode::AutoReset) {
        signalled_ = false;
        DrainFd();
    }
    return WaitResult::Signalled;
}

int Event::WaitAny(std::initializer_list<Event*> events, int64_t timeoutMs, WaitResult* result) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    Beobachter b;
    for (Event* e : events) e->Beobachten(&b);
    int treffer = -1;
    WaitResult r = WaitResult::TimedOut;
    for (;;) {
        // Watched before looking, so a Set() in between is not lost.
        int i = 0;
        for (Event* e : events) {
            r = e->TryConsume();
            if (r != WaitResult::TimedOut) break;
            ++i;
        }
        if (r == WaitResult::Signalled) treffer = i;
        if (r != WaitResult::TimedOut) break;
        std::unique_lock lock(b.mutex);
        if (timeoutMs < 0) {
            b.cv.wait(lock, [&] { return b.gemeldet; });
        } else if (!b.cv.wait_until(lock, ende, [&] { return b.gemeldet; })) {
            break;
        }
        b.gemeldet = false;
    }
    for (Event* e : events) e->NichtMehrBeobachten(&b);
    if (result) *result = r;
    return treffer;
}

bool Event::IsOpen() const {
    std::lock_guard lock(mutex_);
    return !closed_;
}

int Event::PollFd() {
    std::lock_guard lock(mutex_);
    if (pollFd_ < 0) {
        pollFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (pollFd_ >= 0 && (signalled_ || closed_)) RaiseFd();
    }
    return pollFd_;
}

void Event::RaiseFd() {
    if (pollFd_ < 0) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(pollFd_, &one, sizeof one);
}

void Event::DrainFd() {
    if (pollFd_ < 0) return;
    uint64_t value;
    [[maybe_unused]] ssize_t n = ::read(pollFd_, &value, sizeof value);
}

}  // namespace platform
