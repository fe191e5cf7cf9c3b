#pragma once

#include <cstdint>

namespace platform {

// Sets any rate, not only the termios table's, through the kernel's
// arbitrary-rate interface. False (errno set) when the device refuses it
// or keeps a rate other than the one asked for.
bool SetBaudRate(int fd, uint32_t baud);

// The output rate the terminal is set to; 0 when it cannot be read.
uint32_t BaudRate(int fd);

}  // namespace platform
