#pragma once

#include <string>

namespace sim {

// One answer of the controller as it goes onto the line. Immediate replies
// belong to the "@" channel and may be slipped between the characters of a
// normal reply that is still being sent.
struct Reply {
    std::string bytes;
    bool immediate = false;
    // The console's time limit for this reply, in ms from the request (or
    // from the line before, for the lines of a read); 0: none, it comes
    // when its job ends.
    double limitMs = 0;
    // One of the further lines of a program or table read.
    bool line = false;
};

}  // namespace sim
