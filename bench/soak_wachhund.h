#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Ends a soak run whose operation does not end within a generous bound: a
// hung routine cannot be recovered, so the report is made and the process
// leaves with a failure.
class SoakWachhund {
public:
    SoakWachhund(std::chrono::seconds grenze, std::function<void(const std::string&)> melden);
    ~SoakWachhund();

    void Beginnen(const std::string& was);
    void Enden();

private:
    void Wachen();

    const std::chrono::seconds grenze_;
    std::function<void(const std::string&)> melden_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::string was_;
    std::chrono::steady_clock::time_point seit_{};
    bool laeuft_ = false, ende_ = false;
    std::thread thread_;
};
