#pragma once

#include <string>

// The control characters of the controller's line protocol: the one place
// that names their values, for the console, the simulator and the tests.
namespace zeichen {
inline constexpr char NUL = 0x00, STX = 0x02, ETX = 0x03, ACK = 0x06, BEL = 0x07, LF = 0x0A, CR = 0x0D, NAK = 0x15;

// One of them as a text of its own.
inline std::string Text(char c) { return std::string(1, c); }
}  // namespace zeichen
