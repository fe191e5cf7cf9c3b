#include "app/fenster_bruecke.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <stdexcept>

FensterBruecke::FensterBruecke(QObject* parent)
    : QObject(parent), fensterThread_(std::this_thread::get_id()), weckFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (weckFd_ < 0) throw std::runtime_error("eventfd");
    wecker_ = new QSocketNotifier(weckFd_, QSocketNotifier::Read, this);
    connect(wecker_, &QSocketNotifier::activated, this, &FensterBruecke::Angestossen);
    takt_.setSingleShot(true);
    takt_.setInterval(kTaktMs);
    connect(&takt_, &QTimer::timeout, this, &FensterBruecke::Takt);
}

FensterBruecke::~FensterBruecke() {
    delete wecker_;
    ::close(weckFd_);
}

void FensterBruecke::Angestossen() {
    uint64_t n = 0;
    [[maybe_unused]] const ssize_t r = ::read(weckFd_, &n, sizeof n);
    Takt();
}

void FensterBruecke::Einreihen(std::function<void()> fn, bool sofort) {
    std::lock_guard lock(mutex_);
    auftraege_.push_back(std::move(fn));
    hEventAuftrag_.Set();
    if (angestossen_ && !sofort) return;
    angestossen_ = true;
    const uint64_t eins = 1;
    [[maybe_unused]] const ssize_t r = ::write(weckFd_, &eins, sizeof eins);
}

// Runs what came, puts held-back output in place, and looks again a screen
// frame later; a look that finds nothing ends the busy spell.
void FensterBruecke::Takt() {
    if (Abarbeiten() > 0) {
        Ausgeben();
        takt_.start();
        return;
    }
    std::lock_guard lock(mutex_);
    if (auftraege_.empty()) {
        angestossen_ = false;
    } else {
        takt_.start();
    }
}

void FensterBruecke::Post(std::function<void()> fn) {
    if (AufFensterThread()) {
        Abarbeiten();
        fn();
        return;
    }
    Einreihen(std::move(fn), false);
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
    }, true);
    ergebnis.get();
}

int FensterBruecke::Abarbeiten() {
    for (int n = 0;; ++n) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (auftraege_.empty()) return n;
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
