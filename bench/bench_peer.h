#pragma once

#include <string>
#include <thread>

// A peer on a pseudo-terminal that answers every CR-terminated request with
// one ACK at once. The slave side is for the party under test.
class AckPeer {
public:
    AckPeer();
    ~AckPeer();
    AckPeer(const AckPeer&) = delete;
    AckPeer& operator=(const AckPeer&) = delete;
    const std::string& SlavePath() const { return slavePath_; }

private:
    void Run();

    int master_ = -1;
    int slaveKeep_ = -1;
    int stop_[2] = {-1, -1};
    std::string slavePath_;
    std::thread thread_;
};

// Opens a terminal raw, the way the console's port is set up.
int OpenRaw(const std::string& path);
