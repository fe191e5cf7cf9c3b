#include "sim/inbound_line.h"

#include <algorithm>

namespace sim {

SimTime InboundLine::Arrive(std::size_t count, SimTime now, std::chrono::nanoseconds byteTime) {
    lineFreeAt_ = std::max(lineFreeAt_, now) + byteTime * static_cast<long>(count);
    return lineFreeAt_;
}

}  // namespace sim
