#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "sim/sim_time.h"

namespace sim {

// A USB-serial adapter between the controller and the PC: the bytes it
// receives from the line wait in its buffer until a packet is full or its
// latency timer runs out, counted from the first byte waiting. With no
// timer set it passes every byte on at once.
class UsbAdapter {
public:
    static constexpr std::size_t kPaket = 62;  // payload of one 64-byte packet

    explicit UsbAdapter(std::chrono::milliseconds timer = {}) : timer_(timer) {}
    void SetTimer(std::chrono::milliseconds timer) { timer_ = timer; }

    // Bytes off the line at `now`.
    void Take(const std::string& bytes, SimTime now);
    // What reaches the PC by `now`.
    std::string Release(SimTime now);
    // When Release() next has something; nullopt when nothing waits.
    std::optional<SimTime> NextRelease() const;
    void Clear();

private:
    std::chrono::milliseconds timer_;
    std::string held_;
    std::string full_;  // full packets, gone at once
    SimTime firstHeldAt_{};
};

}  // namespace sim
