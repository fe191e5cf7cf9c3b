#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "sim/pty_endpoint.h"
#include "sim/pty_service.h"
#include "sim/replay_script.h"
#include "sim/sim_time.h"

namespace sim {

// Plays the controller's part of a wire recording on a new pseudo-terminal:
// each request that comes as recorded is answered with the recorded bytes,
// each piece as long after the request's arrival as it was then. From the
// first request that differs from the recording on, nothing more is
// answered: the replay no longer knows where it stands. Thread-safe.
class ReplayController : public PtyService {
public:
    explicit ReplayController(ReplayScript script, std::string linkPath = {});
    ~ReplayController() override;

    // The first request that differed from the recording; empty while none did.
    std::string Mismatch() const;
    // "request N of M": the recorded requests that have come so far.
    std::string Progress() const;
    // The first difference, or else the first recorded request that has not
    // come; empty when the console sent the recording's requests exactly.
    std::string Verdict() const;

private:
    struct Pending {
        SimTime due;
        std::string bytes;
        std::optional<std::chrono::milliseconds> drop;  // the line goes then, for this long
    };

    std::unique_ptr<PtyEndpoint> OpenLocked() override;
    void Run() override;
    void ReadLocked(SimTime now);
    void RequestLocked(const std::string& request, SimTime now);
    void WriteLocked(SimTime now);
    void ReopenLocked(SimTime now);
    int PollTimeoutMs(SimTime now) const;

    const ReplayScript script_;
    const std::string linkPath_;
    std::deque<Pending> pending_;
    std::string unwritten_;
    std::string line_;  // a request still arriving
    std::size_t next_ = 0;
    std::string mismatch_;
    std::optional<SimTime> reopenAt_;  // the line is down till then
};

}  // namespace sim
