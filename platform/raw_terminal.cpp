#include "platform/raw_terminal.h"

#include <termios.h>

#include <cerrno>

namespace platform {

namespace {

speed_t SpeedCode(uint32_t baud) {
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

void ApplyExtras(termios& tio, const RawTerminal& how) {
    if (how.serialLine) {
        tio.c_cflag &= ~tcflag_t(CSTOPB);
        tio.c_cflag |= CREAD | CLOCAL;
        tio.c_iflag &= ~tcflag_t(IXOFF);
    }
    if (how.noHandshake) {
        tio.c_cflag &= ~tcflag_t(CRTSCTS | HUPCL);
        tio.c_iflag &= ~tcflag_t(IXANY | INPCK);
    }
}

}  // namespace

bool SetRaw(int fd, const RawTerminal& how) {
    const speed_t speed = SpeedCode(how.baud);
    if (how.baud != 0 && speed == B0) {
        errno = EINVAL;
        return false;
    }
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0) return false;
    const cc_t vmin = tio.c_cc[VMIN], vtime = tio.c_cc[VTIME];
    ::cfmakeraw(&tio);
    if (!how.readsWaitForOneByte) {
        tio.c_cc[VMIN] = vmin;
        tio.c_cc[VTIME] = vtime;
    }
    ApplyExtras(tio, how);
    if (how.baud != 0) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    }
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace platform
