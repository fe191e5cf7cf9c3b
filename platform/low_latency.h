#pragma once

#include <optional>
#include <string>

namespace platform {

// Asks a serial device for low latency while it is open, and puts back what
// it found at close: the driver's low-latency flag, and a USB adapter's
// latency timer in sysfs (1 ms instead of the usual 16, which would hold
// every reply that long). A refusal is no error: Note() says what was
// refused, for the protocol log.
class LowLatency {
public:
    // `devicePath` names the device as opened (a by-id link is followed).
    static LowLatency Apply(int fd, const std::string& devicePath);
    void Restore(int fd) const;

    // Empty when everything asked for was granted.
    const std::string& Note() const { return note_; }

private:
    void ApplyFlag(int fd);
    void ApplyTimer(const std::string& devicePath);

    std::optional<int> oldFlags_;  // the driver's flags before
    std::string timerPath_;        // empty: no timer, or not ours to change
    std::string oldTimer_;
    std::string note_;
};

}  // namespace platform
