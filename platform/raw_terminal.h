#pragma once

#include <cstdint>

namespace platform {

// How a terminal is set raw. Always: no line editing, echo, signals or
// translation either way, 8 data bits without parity; the rest is what the
// caller's end of the line needs.
struct RawTerminal {
    // One stop bit, receiver on, modem lines ignored, no XOFF sent.
    bool serialLine = false;
    // No handshake by wire or by any byte, no parity check, no hang-up at
    // close: what a real serial port needs on top.
    bool noHandshake = false;
    // A rate of the standard table, or 0 to leave the speed as it is.
    uint32_t baud = 0;
    // A read waits for one byte; false leaves VMIN and VTIME as they are,
    // for a descriptor that is read without blocking anyway.
    bool readsWaitForOneByte = true;
};

// All in one tcsetattr. False with errno set when the terminal refuses, or
// EINVAL for a rate outside the standard table.
bool SetRaw(int fd, const RawTerminal& how = {});

}  // namespace platform
