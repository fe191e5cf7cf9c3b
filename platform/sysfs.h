#pragma once

#include <string>

namespace platform {

// Where sysfs is read: "/sys", or a fake tree that a test puts there.
void SetSysfsRoot(const std::string& root);
std::string SysfsRoot();

}  // namespace platform
