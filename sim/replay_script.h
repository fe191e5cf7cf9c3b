#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/reply_rule.h"

namespace sim {

// A wire recording read as the controller's part: each request the console
// sent, with the bytes it received after it, each piece timed from the
// request's last byte. Bytes received before the first request go with the
// first request at once; bytes the console sent without a request's end
// after them are left out.
class ReplayScript {
public:
    struct Exchange {
        std::string request;  // with its end character (CR, STX or ETX)
        std::vector<ReplyRule::Part> replies;
        std::size_t line = 0;  // in the recording, counted from 1
        // The line went this long after the request, and came back after downFor.
        std::optional<std::chrono::milliseconds> dropAfter;
        std::chrono::milliseconds downFor{300};
    };

    // Throws std::runtime_error naming the line that is not a recording's.
    static ReplayScript FromText(std::string_view text);
    // Throws std::runtime_error also when the file cannot be read.
    static ReplayScript FromFile(const std::string& path);

    const std::vector<Exchange>& Exchanges() const { return exchanges_; }

private:
    void Sent(std::string_view bytes, long long ms, std::size_t line);
    void Received(std::string bytes, long long ms);
    void Comment(std::string_view line);

    std::vector<Exchange> exchanges_;
    std::string partial_;  // sent, its end still to come
    long long lastRequestMs_ = 0;
    std::vector<ReplyRule::Part> early_;  // received before any request
    std::optional<long long> goneMs_;      // the line went then, and is not yet open again
};

}  // namespace sim
