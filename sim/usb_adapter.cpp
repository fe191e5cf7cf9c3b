#include "sim/usb_adapter.h"

namespace sim {

void UsbAdapter::Take(const std::string& bytes, SimTime now) {
    if (bytes.empty()) return;
    if (timer_.count() <= 0) {
        full_ += bytes;
        return;
    }
    for (const char c : bytes) {
        if (held_.empty()) firstHeldAt_ = now;
        held_ += c;
        if (held_.size() == kPaket) {
            full_ += held_;
            held_.clear();
        }
    }
}

std::string UsbAdapter::Release(SimTime now) {
    std::string out;
    out.swap(full_);
    if (!held_.empty() && now >= firstHeldAt_ + timer_) {
        out += held_;
        held_.clear();
    }
    return out;
}

std::optional<SimTime> UsbAdapter::NextRelease() const {
    if (!full_.empty()) return SimTime{};
    if (held_.empty()) return std::nullopt;
    return firstHeldAt_ + timer_;
}

void UsbAdapter::Clear() {
    held_.clear();
    full_.clear();
}

}  // namespace sim
