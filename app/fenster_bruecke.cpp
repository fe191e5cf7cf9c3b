#include "app/fenster_bruecke.h"

#include <chrono>
#include <future>

FensterBruecke::FensterBruecke(QObject* parent) : QObject(parent), fensterThread_(std::this_thread::get_id()) {}

void FensterBruecke::Einreihen(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    auftraege_.push_back(std::move(fn));
    hEventAuftrag_.Set();
    if (angestossen_) return;
    angestossen_ = true;
    QMetaObject::invokeMethod(this, &FensterBruecke::Abarbeiten, Qt::QueuedConnection);
}

void FensterBruecke::Post(std::function<void()> fn) {
    if (AufFensterThread()) {
        Abarbeiten();
        fn();
        return;
    }
    Einreihen(std::move(fn));
}

void FensterBruecke::Call(const std::function<void()>& fn) {
    if (AufFensterThread()) {
        Abarbeiten();
        Ausgeben();
        fn();
        return;
    }
    std::promise<void> fertig;
    auto ergebnis = fertig.get_future();
    Einreihen([&] {
        try {
            Ausgeben();
            fn();
            fertig.set_value();
        } catch (...) {
            fertig.set_exception(std::current_exception());
        }
    });
    ergebnis.get();
}

void FensterBruecke::Abarbeiten() {
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (auftraege_.empty()) {
                angestossen_ = false;
                return;
            }
            fn = std::move(auftraege_.front());
            auftraege_.pop_front();
        }
        fn();
    }
}

bool FensterBruecke::WartenUndBedienen(platform::Event& ereignis, int64_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto ende = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Abarbeiten();
        int64_t rest = platform::kInfinite;
        if (timeoutMs >= 0) {
            rest = std::chrono::duration_cast<std::chrono::milliseconds>(ende - Clock::now()).count();
            if (rest < 0) return false;
        }
        const int i = platform::Event::WaitAny({&ereignis, &hEventAuftrag_}, rest);
        if (i != 1) return i == 0;
    }
}
