#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/pty_endpoint.h"

namespace sim {

// A pseudo-terminal served by a thread of its own, which a pipe wakes from
// its poll. The simulator and the replay each serve one this way.
class PtyService {
public:
    PtyService(const PtyService&) = delete;
    PtyService& operator=(const PtyService&) = delete;

    // Opens the terminal and starts serving; throws std::runtime_error.
    void Start();
    // Ends serving and closes the terminal; harmless when not started.
    void Stop();
    std::string DevicePath() const;

protected:
    PtyService();
    // The derived class's destructor calls Stop(): its Run() uses its members.
    virtual ~PtyService();

    // Under mutex_: the terminal to serve, and what else starts and stops with it.
    virtual std::unique_ptr<PtyEndpoint> OpenLocked() = 0;
    virtual void StartedLocked() {}
    virtual void StoppedLocked() {}
    // The serving thread's body: runs until stopping_.
    virtual void Run() = 0;

    void Wake();
    // Empties the wake-up pipe after a poll.
    void Drain();

    mutable std::mutex mutex_;
    std::unique_ptr<PtyEndpoint> pty_;
    bool stopping_ = false;
    int wakeRead_ = -1;

private:
    int wakeWrite_ = -1;
    std::thread thread_;
};

}  // namespace sim
