#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "sim/sim_time.h"

namespace sim {

// The controller's receiver: a byte is there only once the line could have
// carried it, one byte time after the one before (at once when unpaced).
// The pseudo-terminal itself hands over a whole request in no time.
class InboundLine {
public:
    void Arrive(std::string_view bytes, SimTime now, std::chrono::nanoseconds byteTime);
    // The bytes that have fully arrived by `now`.
    std::string TakeArrived(SimTime now);
    std::optional<SimTime> NextDue() const;
    void Clear();

private:
    std::deque<std::pair<SimTime, char>> bytes_;
    SimTime lineFreeAt_{};
};

}  // namespace sim
