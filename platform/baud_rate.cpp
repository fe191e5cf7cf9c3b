#include "platform/baud_rate.h"

// termios2 lives in the kernel's headers, which clash with <termios.h>:
// this unit uses only these.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace platform {

namespace {
// A UART that cannot hit a rate within this many per mille garbles the line.
constexpr uint64_t kToleranzPromille = 20;
}  // namespace

bool SetBaudRate(int fd, uint32_t baud) {
    termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
    if (baud == 0) {  // rate 0 would hang the line up
        errno = EINVAL;
        return false;
    }
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    if (::ioctl(fd, TCSETS2, &tio) != 0) return false;
    const uint32_t gesetzt = BaudRate(fd);
    const uint64_t abstand = gesetzt > baud ? gesetzt - baud : baud - gesetzt;
    if (abstand * 1000 > uint64_t {baud} * kToleranzPromille) {
        errno = EINVAL;
        return false;
    }
    return true;
}

uint32_t BaudRate(int fd) {
    termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return tio.c_ospeed;
}

}  // namespace platform
