#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The window's thread of a soak run: it runs one errand at a time (stop,
// halt, queries) through its own sender while the worker runs a routine.
class SoakFenster {
public:
    SoakFenster();
    ~SoakFenster();
    SoakFenster(const SoakFenster&) = delete;
    SoakFenster& operator=(const SoakFenster&) = delete;

    void Starten(std::function<void()> auftrag);
    // Until the errand has ended.
    void Warten();

private:
    void Laufen();

    std::mutex mutex_;
    std::condition_variable cv_;
    std::function<void()> auftrag_;
    bool beschaeftigt_ = false;
    bool ende_ = false;
    std::thread thread_;
};
