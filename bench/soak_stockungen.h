#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Watches the machine: a thread on each processor sleeps half a millisecond
// at a time and notes each wake-up that came over a millisecond late. A Stop that reaches
// the controller late while the machine itself stalled is the machine's
// delay, not the link's; the run tells the two apart and counts both.
class SoakStockungen {
public:
    using Clock = std::chrono::steady_clock;
    SoakStockungen();
    // The longest stall (ms) that overlaps [von, bis].
    double Laengste(Clock::time_point von, Clock::time_point bis) const;
    double Schlimmste() const;

private:
    struct Stockung {
        Clock::time_point von, bis;
    };
    void Wachen(const std::stop_token& halt, unsigned prozessor);

    mutable std::mutex mutex_;
    std::deque<Stockung> stockungen_;
    double schlimmste_ = 0;
    std::vector<std::jthread> threads_;
};
