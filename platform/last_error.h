#pragma once

#include <cstdint>

namespace platform {

// Error numbers in the form the link reports them: 2 for a device that does
// not exist, 5 for a port held by someone else, otherwise the errno.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;

uint32_t LastError();
void SetLastError(uint32_t code);
// Maps an errno onto the numbers above and stores it.
void SetLastErrorFromErrno(int err);

}  // namespace platform
