#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace sim {

// A given request answered with given bytes after given delays (none: not
// answered at all), the next `times` times, instead of by the controller.
struct ReplyRule {
    struct Part {
        std::chrono::milliseconds after{0};  // from the request's arrival
        std::string bytes;
    };
    std::string request;  // as it arrives, its end character included
    std::vector<Part> parts;
    int times = 1;
};

}  // namespace sim
