#pragma once

#include <string>
#include <string_view>

namespace sim {

// The controller's end of a pseudo-terminal. It keeps its own descriptor of
// the slave open for its whole life, so the master never sees a hang-up when
// the console closes the device, and it can read the line settings the
// console made. Optionally keeps a symbolic link pointing at the slave.
class PtyEndpoint {
public:
    // Opens a new pseudo-terminal, raw at 9600 baud unless `raw` is false
    // (then the terminal's defaults stand); throws std::runtime_error.
    explicit PtyEndpoint(std::string linkPath = {}, bool raw = true);
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    int MasterFd() const { return master_; }
    const std::string& DevicePath() const { return devicePath_; }
    // Baud rate the slave is set to; 0 when unknown or hung up (B0).
    unsigned BaudRate() const;

private:
    void Open();
    void PlaceLink();
    void RemoveLink();
    void CloseAll();

    std::string linkPath_;
    std::string devicePath_;
    int master_ = -1;
    int slave_ = -1;
};

}  // namespace sim
