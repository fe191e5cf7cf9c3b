#include "sim/inbound_line.h"

#include <algorithm>

namespace sim {

void InboundLine::Arrive(std::string_view bytes, SimTime now, std::chrono::nanoseconds byteTime) {
    for (char c : bytes) {
        lineFreeAt_ = std::max(lineFreeAt_, now) + byteTime;
        bytes_.emplace_back(byteTime.count() ? lineFreeAt_ : now, c);
    }
}

std::string InboundLine::TakeArrived(SimTime now) {
    std::string arrived;
    while (!bytes_.empty() && bytes_.front().first <= now) {
        arrived += bytes_.front().second;
        bytes_.pop_front();
    }
    return arrived;
}

std::optional<SimTime> InboundLine::NextDue() const {
    if (bytes_.empty()) return std::nullopt;
    return bytes_.front().first;
}

void InboundLine::Clear() {
    bytes_.clear();
    lineFreeAt_ = {};
}

}  // namespace sim
