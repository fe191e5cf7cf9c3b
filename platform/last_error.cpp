#include "platform/last_error.h"

#include <cerrno>

namespace platform {

namespace {
thread_local uint32_t tLastError = 0;
}

uint32_t LastError() { return tLastError; }

void SetLastError(uint32_t code) { tLastError = code; }

void SetLastErrorFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        tLastError = kErrorFileNotFound;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        tLastError = kErrorAccessDenied;
        break;
    default:
        tLastError = static_cast<uint32_t>(err);
    }
}

}  // namespace platform
