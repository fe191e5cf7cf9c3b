#include "cli/standardkanaele.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool Standardkanaele_belegen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower ones are open, so this takes the free one.
        const int neu = ::open("/dev/null", O_RDWR);
        if (neu != fd) {
            if (neu >= 0) ::close(neu);
            return false;
        }
    }
    return true;
}
