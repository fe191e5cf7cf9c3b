#include "platform/sysfs.h"

#include <mutex>

namespace platform {

namespace {

std::mutex gRootMutex;
std::string gRoot = "/sys";

}  // namespace

void SetSysfsRoot(const std::string& root) {
    std::lock_guard lock(gRootMutex);
    gRoot = root.empty() ? "/sys" : root;
}

std::string SysfsRoot() {
    std::lock_guard lock(gRootMutex);
    return gRoot;
}

}  // namespace platform
