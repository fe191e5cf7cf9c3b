#include "sim/output_queue.h"

#include <algorithm>

namespace sim {

void OutputQueue::Push(Reply reply, SimTime due) {
    if (reply.bytes.empty()) {
        return;
    }
    auto& queue = reply.immediate ? immediate_ : normal_;
    queue.push_back({std::move(reply.bytes), due});
}

OutputQueue::Source OutputQueue::Next(SimTime& at) const {
    auto start = [this](const Pending& p) { return std::max(lineFreeAt_, p.due); };
    if (immediate_.empty() && normal_.empty()) {
        return Source::None;
    }
    const bool immediateStarted = !immediate_.empty() && immediate_.front().sent > 0;
    if (immediateStarted || normal_.empty()) {
        at = start(immediate_.front());
        return Source::Immediate;
    }
    at = start(normal_.front());
    if (!immediate_.empty() && start(immediate_.front()) <= at) {
        at = start(immediate_.front());
        return Source::Immediate;
    }
    return Source::Normal;
}

std::string OutputQueue::TakeDue(SimTime now, std::chrono::nanoseconds byteTime) {
    std::string out;
    SimTime at;
    // A byte is there once its last bit is: one byte time after it starts.
    for (Source source = Next(at); source != Source::None && at + byteTime <= now; source = Next(at)) {
        auto& queue = source == Source::Immediate ? immediate_ : normal_;
        Pending& p = queue.front();
        if (byteTime.count() == 0) {
            out.append(p.bytes, p.sent);  // unpaced: the rest of it at once
            p.sent = p.bytes.size();
        } else {
            out += p.bytes[p.sent++];
        }
        lineFreeAt_ = at + byteTime;
        if (p.sent == p.bytes.size()) {
            queue.pop_front();
        }
    }
    return out;
}

std::optional<SimTime> OutputQueue::NextDue(std::chrono::nanoseconds byteTime) const {
    SimTime at;
    if (Next(at) == Source::None) {
        return std::nullopt;
    }
    return at + byteTime;
}

void OutputQueue::Clear() {
    normal_.clear();
    immediate_.clear();
}

}  // namespace sim
