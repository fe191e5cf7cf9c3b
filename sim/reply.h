#pragma once

#include <string>

namespace sim {

// One answer of the controller as it goes onto the line. Immediate replies
// belong to the "@" channel and may be slipped between the characters of a
// normal reply that is still being sent.
struct Reply {
    std::string bytes;
    bool immediate = false;
};

}  // namespace sim
