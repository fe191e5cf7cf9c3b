#pragma once

#include <chrono>
#include <cstddef>

#include "sim/sim_time.h"

namespace sim {

// The controller's receiver: a byte has arrived only once the line could
// have carried it, one byte time after the one before. The pseudo-terminal
// hands a whole request over in no time, so the controller may read it at
// once, but must not answer before its last byte would have arrived.
class InboundLine {
public:
    // Bytes read at `now`; returns when the last of them has arrived.
    SimTime Arrive(std::size_t count, SimTime now, std::chrono::nanoseconds byteTime);
    void Clear() { lineFreeAt_ = {}; }

private:
    SimTime lineFreeAt_{};
};

}  // namespace sim
