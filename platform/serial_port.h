#pragma once

#include <cstddef>
#include <cstdint>
#include <atomic>
#include <memory>
#include <shared_mutex>
#include <string>

#include "platform/handle.h"
#include "platform/low_latency.h"

struct termios;

namespace platform {

class Event;

// A serial port opened exclusively: raw 8N1, no flow control, DTR off, RTS
// on. A read waits up to a quarter of a second for one byte and ends at once
// when the given event is signalled; writes are bounded by 1000 ms plus 10 ms
// per byte. A terminal that is no serial device and was in use as a terminal
// (/dev/tty) gets its settings back at close. Safe against a Close() from
// another thread: the descriptor is closed only when no call is using it.
class SerialPort : public Handle {
public:
    enum class ReadResult { Byte, Cancelled, Failed, Idle };

    // Null on failure, with the reason in LastError().
    static std::shared_ptr<SerialPort> Open(const std::string& devicePath, uint32_t baud);

    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    bool Close() override;
    bool IsOpen() const { return fd_.load() >= 0; }
    void PurgeReceive();
    void PurgeTransmit();
    // Returns the number of bytes written before the time limit or an error.
    size_t Write(const char* data, size_t length);
    ReadResult ReadByte(Event& cancel, unsigned char& byte);
    // What the device refused of low latency; empty when all was granted.
    const std::string& LatencyNote() const { return latency_.Note(); }

private:
    SerialPort(int fd, std::unique_ptr<const termios> restore, LowLatency latency);
    static bool Configure(int fd, uint32_t baud);
    void Restore(int fd) const;

    const std::unique_ptr<const termios> restore_;  // null: left as we set it
    const LowLatency latency_;  // put back at close

    // Shared by every call that uses the descriptor, exclusive for Close().
    mutable std::shared_mutex zugriff_;
    std::atomic<int> fd_;
};

}  // namespace platform
