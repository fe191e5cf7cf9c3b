#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "sim/reply.h"
#include "sim/sim_time.h"

namespace sim {

// The controller's transmitter: replies wait until they are due, then leave
// one byte per byte time (none when unpaced). A due "@" reply is slipped in
// between the characters of a normal reply and is itself never split.
class OutputQueue {
public:
    void Push(Reply reply, SimTime due);
    // The bytes the line can carry up to `now`.
    std::string TakeDue(SimTime now, std::chrono::nanoseconds byteTime);
    // When TakeDue() will next have something; nullopt when empty.
    std::optional<SimTime> NextDue(std::chrono::nanoseconds byteTime = {}) const;
    void Clear();
    bool Empty() const { return normal_.empty() && immediate_.empty(); }

private:
    struct Pending {
        std::string bytes;
        SimTime due;
        std::size_t sent = 0;
    };
    enum class Source { None, Normal, Immediate };
    // Where the next byte comes from and when it leaves.
    Source Next(SimTime& at) const;

    std::deque<Pending> normal_;
    std::deque<Pending> immediate_;
    SimTime lineFreeAt_{};
};

}  // namespace sim
