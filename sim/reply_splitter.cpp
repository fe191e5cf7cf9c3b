#include "sim/reply_splitter.h"

#include <utility>

#include "common/zeichen.h"

namespace sim {

namespace {

bool EndsNormal(char c) {
    return c == zeichen::STX || c == zeichen::ETX || c == zeichen::ACK || c == zeichen::BEL || c == zeichen::CR || c == zeichen::NAK;
}

}  // namespace

void ReplySplitter::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        FeedByte(c);
    }
}

std::vector<ReplySplitter::Piece> ReplySplitter::Take() {
    return std::exchange(done_, {});
}

void ReplySplitter::FeedByte(char c) {
    if (c == '@' && state_ != State::Immediate) {
        saved_ = state_;
        state_ = State::Immediate;
        immediate_ = "@";
        return;
    }
    switch (state_) {
    case State::Immediate:
        FeedImmediate(c);
        return;
    case State::Idle:
        normal_ = std::string(1, c);
        if (c == zeichen::ACK) {
            done_.push_back({std::exchange(normal_, {}), false});
        } else if (c == zeichen::NAK) {
            done_.push_back({normal_, false});
            normal_.clear();
            state_ = saved_ = State::Normal;  // the final answer follows
        } else {
            state_ = State::Normal;
        }
        return;
    case State::Normal:
        normal_ += c;
        if (EndsNormal(c)) {
            done_.push_back({std::exchange(normal_, {}), false});
            state_ = State::Idle;
        }
        return;
    }
}

void ReplySplitter::FeedImmediate(char c) {
    if (c == '@') {
        immediate_ = "@";  // a new "@" reply starts over
        return;
    }
    immediate_ += c;
    if (c != zeichen::ACK && c != zeichen::BEL) {
        return;
    }
    const bool reset = immediate_.rfind(std::string("@RS") + zeichen::ACK, 0) == 0;
    done_.push_back({std::exchange(immediate_, {}), true});
    if (reset && saved_ == State::Normal) {
        done_.push_back({std::exchange(normal_, {}) + "!", false});
        state_ = State::Idle;
    } else {
        state_ = saved_;
    }
}

}  // namespace sim
