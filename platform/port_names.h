#pragma once

#include <string>

namespace platform {

constexpr int kMaxComPort = 63;

// "COM<n>" stands for the device in the environment variable PELTO_COM<n>
// when set (a symbolic link such as a /dev/serial/by-id name is resolved to
// its device); otherwise COM1-32 are ttyS0-31, COM33-48 ttyUSB0-15 and
// COM49-63 ttyACM0-14. Empty for numbers outside 1..63.
std::string ComDevicePath(int n);

// Parses the port number out of "COM<n>" or "\\.\COM<n>"; 0 when it is not one.
int ComNumberFromName(const std::string& name);

// A character device that is a terminal (or one held by another program,
// or not ours to open, which opening it will tell).
bool IsTerminalDevice(const char* path);

// Present without opening the port: a real serial device (with a device
// behind it in sysfs, and a known UART type for 8250 ports), or, when named
// through PELTO_COM<n>, any existing terminal, pseudo-terminals included.
bool ComPortPresent(int n);

}  // namespace platform
