#pragma once

#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "platform/handle.h"

namespace platform {

enum class WaitResult { Signalled, Abandoned, TimedOut, Failed };

constexpr int64_t kInfinite = -1;

// An unnamed event. Auto-reset: a successful wait consumes the signal, and a
// signal nobody waits for stays pending until the next wait. Manual-reset:
// stays signalled until Reset(). Waiting on a closed event fails; closing it
// while somebody waits ends that wait as abandoned.
class Event : public Handle {
public:
    enum class Mode { AutoReset, ManualReset };

    explicit Event(Mode mode, bool initiallySignalled = false);
    ~Event() override;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Set();
    bool Reset();
    // timeoutMs < 0 waits without limit.
    WaitResult Wait(int64_t timeoutMs = kInfinite);
    bool Close() override;
    bool IsOpen() const;

    // Waits until one of the events is signalled and consumes that one
    // signal; returns its index, or -1 with the outcome in *result.
    static int WaitAny(std::initializer_list<Event*> events, int64_t timeoutMs, WaitResult* result = nullptr);

    // A descriptor that is readable while the event is signalled (or closed),
    // so that a blocking poll() on a port can also end when it is set.
    int PollFd();

private:
    struct Beobachter;
    // Takes the signal if there is one; Failed when closed.
    WaitResult TryConsume();
    void Beobachten(Beobachter* b);
    void NichtMehrBeobachten(Beobachter* b);
    void Melden();
    void RaiseFd();
    void DrainFd();

    const Mode mode_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_;
    bool closed_ = false;
    uint64_t closings_ = 0;
    int pollFd_ = -1;
    std::vector<Beobachter*> beobachter_;
};

}  // namespace platform
