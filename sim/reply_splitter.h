#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Cuts the controller's byte stream into replies the way the console's
// receive thread does, so tests see what the console will see: a normal
// reply ends at the first STX, ETX, ACK, BEL, CR or NAK after its first
// character (a leading ACK or NAK is a reply of its own); an "@" reply runs
// from "@" to ACK or BEL and may sit inside a normal reply; "@RS" ACK during
// an unfinished normal reply completes that reply with "!".
class ReplySplitter {
public:
    struct Piece {
        std::string text;
        bool immediate = false;
        bool operator==(const Piece&) const = default;
    };

    void Feed(std::string_view bytes);
    std::vector<Piece> Take();
    // Bytes of an unfinished normal reply.
    const std::string& Partial() const { return normal_; }

private:
    enum class State { Idle, Normal, Immediate };
    void FeedByte(char c);
    void FeedImmediate(char c);

    State state_ = State::Idle;
    State saved_ = State::Idle;
    std::string normal_;
    std::string immediate_;
    std::vector<Piece> done_;
};

}  // namespace sim
