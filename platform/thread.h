#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace platform {

enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// A thread object whose body is Execute(). Created suspended it does not run
// until Resume(). Terminate() only raises the flag; the body polls it.
// Owners call WaitFor() before the derived object goes away.
class TThread {
public:
    explicit TThread(bool createSuspended);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Resume();
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    void SetPriority(ThreadPriority priority);
    ThreadPriority Priority() const { return priority_; }
    // Blocks until Execute() has returned; harmless if it never ran.
    void WaitFor();

protected:
    virtual void Execute() = 0;

private:
    void Start();

    std::thread thread_;
    std::mutex startMutex_;
    std::atomic<bool> terminated_{false};
    ThreadPriority priority_ = ThreadPriority::Normal;
};

}  // namespace platform
