#include "platform/port_names.h"

#include "platform/sysfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace platform {

namespace {

const char* OverrideFor(int n) {
    const std::string var = "PELTO_COM" + std::to_string(n);
    const char* value = std::getenv(var.c_str());
    return (value && *value) ? value : nullptr;
}

std::string DefaultDeviceName(int n) {
    if (n >= 1 && n <= 32) return "ttyS" + std::to_string(n - 1);
    if (n >= 33 && n <= 48) return "ttyUSB" + std::to_string(n - 33);
    if (n >= 49 && n <= kMaxComPort) return "ttyACM" + std::to_string(n - 49);
    return {};
}

bool SysfsSerialPresent(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path cls = fs::path(SysfsRoot()) / "class/tty" / name;
    if (!fs::exists(cls / "device", ec) || !fs::exists(fs::path("/dev") / name, ec)) return false;
    const fs::path driver = fs::read_symlink(cls / "device" / "driver", ec);
    if (!ec && driver.filename() == "serial8250") {
        std::ifstream type(cls / "type");
        int uart = 0;
        if (!(type >> uart) || uart == 0) return false;  // an 8250 slot with no chip
    }
    return true;
}

}  // namespace

std::string ComDevicePath(int n) {
    if (n < 1 || n > kMaxComPort) return {};
    if (const char* path = OverrideFor(n)) {
        // A stable name such as /dev/serial/by-id/... stands for its device.
        std::error_code ec;
        const auto device = std::filesystem::canonical(path, ec);
        return ec ? path : device.string();
    }
    return "/dev/" + DefaultDeviceName(n);
}

int ComNumberFromName(const std::string& name) {
    std::string rest = name;
    if (rest.rfind("\\\\.\\", 0) == 0) rest = rest.substr(4);
    if (rest.size() < 4 || rest.compare(0, 3, "COM") != 0) return 0;
    int n = 0;
    for (size_t i = 3; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9' || n > kMaxComPort) return 0;
        n = n * 10 + (rest[i] - '0');
    }
    return n <= kMaxComPort ? n : 0;
}

bool IsTerminalDevice(const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    // Held exclusively, or not ours to open: present all the same, so that
    // opening it tells the operator why it fails.
    if (fd < 0) return errno == EBUSY || errno == EACCES || errno == EPERM;
    const bool tty = ::isatty(fd);
    ::close(fd);
    return tty;
}

bool ComPortPresent(int n) {
    if (n < 1 || n > kMaxComPort) return false;
    if (const char* path = OverrideFor(n)) {
        // A real serial device is judged by sysfs: opening it would raise
        // its modem lines. Only what sysfs does not know (a pseudo-terminal)
        // is opened to ask.
        std::error_code ec;
        const std::string name = std::filesystem::canonical(path, ec).filename().string();
        if (!ec && std::filesystem::exists(std::filesystem::path(SysfsRoot()) / "class/tty" / name / "device", ec))
            return SysfsSerialPresent(name);
        return IsTerminalDevice(path);
    }
    return SysfsSerialPresent(DefaultDeviceName(n));
}

}  // namespace platform
