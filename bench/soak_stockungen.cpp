#include "bench/soak_stockungen.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>

namespace {
constexpr auto kSchlaf = std::chrono::microseconds(500);
constexpr auto kSpaet = std::chrono::milliseconds(1);
constexpr std::size_t kHoechstens = 4096;

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
}  // namespace

SoakStockungen::SoakStockungen() {
    // A stall may hit one processor only: each has its own watcher.
    const unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    for (unsigned i = 0; i < n; ++i)
        threads_.emplace_back([this, i](const std::stop_token& halt) { Wachen(halt, i); });
}

void SoakStockungen::Wachen(const std::stop_token& halt, unsigned prozessor) {
    cpu_set_t menge;
    CPU_ZERO(&menge);
    CPU_SET(prozessor, &menge);
    pthread_setaffinity_np(pthread_self(), sizeof menge, &menge);  // unpinned, it still watches
    while (!halt.stop_requested()) {
        const auto faellig = Clock::now() + kSchlaf;
        std::this_thread::sleep_until(faellig);
        const auto jetzt = Clock::now();
        if (jetzt - faellig < kSpaet) continue;
        std::lock_guard lock(mutex_);
        stockungen_.push_back({faellig, jetzt});
        if (stockungen_.size() > kHoechstens) stockungen_.pop_front();
        schlimmste_ = std::max(schlimmste_, Ms(jetzt - faellig));
    }
}

double SoakStockungen::Laengste(Clock::time_point von, Clock::time_point bis) const {
    std::lock_guard lock(mutex_);
    double ms = 0;
    for (const Stockung& s : stockungen_)
        if (s.von < bis && s.bis > von) ms = std::max(ms, Ms(s.bis - s.von));
    return ms;
}

double SoakStockungen::Schlimmste() const {
    std::lock_guard lock(mutex_);
    return schlimmste_;
}
