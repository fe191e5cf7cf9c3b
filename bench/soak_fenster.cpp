#include "bench/soak_fenster.h"

SoakFenster::SoakFenster() : thread_([this] { Laufen(); }) {}

SoakFenster::~SoakFenster() {
    {
        std::lock_guard lock(mutex_);
        ende_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void SoakFenster::Starten(std::function<void()> auftrag) {
    std::lock_guard lock(mutex_);
    auftrag_ = std::move(auftrag);
    beschaeftigt_ = true;
    cv_.notify_all();
}

void SoakFenster::Warten() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !beschaeftigt_; });
}

void SoakFenster::Laufen() {
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return ende_ || auftrag_; });
        if (ende_) return;
        auto auftrag = std::move(auftrag_);
        auftrag_ = nullptr;
        lock.unlock();
        auftrag();
        lock.lock();
        beschaeftigt_ = false;
        cv_.notify_all();
    }
}
