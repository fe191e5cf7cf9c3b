#include "bench/soak_stockungen.h"

#include <algorithm>

namespace {
constexpr auto kSchlaf = std::chrono::microseconds(500);
constexpr auto kSpaet = std::chrono::milliseconds(1);
constexpr std::size_t kHoechstens = 4096;

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
}  // namespace

SoakStockungen::SoakStockungen() : thread_([this](const std::stop_token& halt) { Wachen(halt); }) {}

void SoakStockungen::Wachen(const std::stop_token& halt) {
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
