#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

// The receive thread's lines about dropped replies. While they are few, each
// is written; on a noisy line the rest are counted, and the count is written
// at most once a second, so noise cannot fill the protocol log.
class TVerwurf {
public:
    static constexpr int kZeilenJeSekunde = 5;

    void Schreiben(const std::string& zeile);
    // Writes the count still open.
    void Abschliessen();

private:
    using Clock = std::chrono::steady_clock;
    void ZaehlungSchreiben();

    std::mutex mutex_;
    Clock::time_point fenster_{};
    int iImFenster_ = 0;
    uint64_t iGezaehlt_ = 0;
};
