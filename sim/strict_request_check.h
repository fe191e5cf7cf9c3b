#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace sim {

// The longest request the console's link sends, its CR included.
inline constexpr std::size_t kMaxRequestBytes = 127;

// Forms of a normal request that the friendly reading lets pass although
// the console never composes them: a request over kMaxRequestBytes (E8),
// numbers with leading zeros or "-0", axis letters out of their order or
// twice, upper and lower case mixed in one move, u moved together with
// other axes (E1). Returns the error number, or nothing when the request
// may go on to the ordinary parsing. `text` comes without its CR.
std::optional<int> StrictRequestError(std::string_view text);

}  // namespace sim
