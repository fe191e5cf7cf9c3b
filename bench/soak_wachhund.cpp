#include "bench/soak_wachhund.h"

#include <cstdlib>

SoakWachhund::SoakWachhund(std::chrono::seconds grenze, std::function<void(const std::string&)> melden)
    : grenze_(grenze), melden_(std::move(melden)), thread_([this] { Wachen(); }) {}

SoakWachhund::~SoakWachhund() {
    {
        std::lock_guard lock(mutex_);
        ende_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void SoakWachhund::Beginnen(const std::string& was) {
    std::lock_guard lock(mutex_);
    was_ = was;
    seit_ = std::chrono::steady_clock::now();
    laeuft_ = true;
}

void SoakWachhund::Enden() {
    std::lock_guard lock(mutex_);
    laeuft_ = false;
}

void SoakWachhund::Wachen() {
    std::unique_lock lock(mutex_);
    while (!ende_) {
        cv_.wait_for(lock, std::chrono::milliseconds(100));
        if (laeuft_ && std::chrono::steady_clock::now() - seit_ > grenze_) {
            melden_(was_ + " did not end within " + std::to_string(grenze_.count()) + " s");
            std::_Exit(1);
        }
    }
}
