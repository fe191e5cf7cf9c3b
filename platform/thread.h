#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace platform {

enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// A thread object whose body is Execute(). It does not run until Resume(),
// which a derived class calls once it is whole. Terminate() only raises the
// flag; Beenden() raises it and wakes the body (Wecken()); Stoppen() also
// waits for the body to return, the one way to end it: a derived class's
// destructor calls it, and a thread still running when the base goes away
// ends the program with a message instead of running on a dead object.
class TThread {
public:
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Resume();
    void Terminate();
    void Beenden();
    void Stoppen();
    bool Terminated() const { return terminated_.load(); }
    void SetPriority(ThreadPriority priority);
    ThreadPriority Priority() const { return priority_; }
    // Blocks until Execute() has returned; harmless if it never ran.
    void WaitFor();

protected:
    TThread() = default;
    virtual void Execute() = 0;
    // Makes a body that waits for work look at the flag.
    virtual void Wecken() {}

private:
    void Start();

    std::thread thread_;
    std::mutex startMutex_;
    std::atomic<bool> terminated_{false};
    ThreadPriority priority_ = ThreadPriority::Normal;
};

}  // namespace platform
