#include "app/fenster_bruecke.h"

#include <future>

#include "platform/event.h"

namespace {
// While closing, queued work is looked at this often.
constexpr int64_t kBedienTaktMS = 5;
}

FensterBruecke::FensterBruecke(QObject* parent) : QObject(parent), fensterThread_(std::this_thread::get_id()) {}

void FensterBruecke::Einreihen(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    auftraege_.push_back(std::move(fn));
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
        fn();
        return;
    }
    std::promise<void> fertig;
    auto ergebnis = fertig.get_future();
    Einreihen([&] {
        try {
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

void FensterBruecke::WartenUndBedienen(platform::Event& ereignis) {
    while (ereignis.Wait(kBedienTaktMS) == platform::WaitResult::TimedOut) Abarbeiten();
}
