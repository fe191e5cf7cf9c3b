#include "cli/abbruch.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>

#include "cli/aufnahme.h"

namespace {

// After the stop, the command has this long to end and close the link.
constexpr std::chrono::milliseconds kSchlussfrist{2000};
constexpr int kUnterbrochen = 130;

sigset_t Signale() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGINT);
    sigaddset(&s, SIGTERM);
    sigaddset(&s, SIGHUP);  // an SSH session that drops stops the axes too
    sigaddset(&s, SIGPIPE);  // so does a reader of our output that went away
    sigaddset(&s, SIGUSR1);  // wakes the thread at the end
    return s;
}

}  // namespace

void Abbruch::Signale_sperren() {
    const sigset_t s = Signale();
    pthread_sigmask(SIG_BLOCK, &s, nullptr);
}

Abbruch::Abbruch(std::function<void()> stoppen, std::function<void()> schliessen)
    : stoppen_(std::move(stoppen)), schliessen_(std::move(schliessen)), thread_([this] { Lauf(); }) {}

Abbruch::~Abbruch() {
    {
        std::lock_guard lock(mutex_);
        bEnde_ = true;
    }
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
}

// A failed write raises SIGPIPE in the writing thread, where it stays blocked.
void Abbruch::Ausloesen() { pthread_kill(thread_.native_handle(), SIGPIPE); }

void Abbruch::Stoppbar(bool bEin) {
    std::lock_guard lock(mutex_);
    bStoppbar_ = bEin;
}

bool Abbruch::Ausgeloest() const {
    std::lock_guard lock(mutex_);
    return bAusgeloest_;
}

void Abbruch::Fertig() {
    std::unique_lock lock(mutex_);
    bFertig_ = true;
    cv_.notify_all();
    cv_.wait(lock, [this] { return !bStoppLaeuft_; });
}

void Abbruch::Lauf() {
    const sigset_t s = Signale();
    for (;;) {
        int nummer = 0;
        if (sigwait(&s, &nummer) != 0) continue;
        {
            std::lock_guard lock(mutex_);
            if (bEnde_) return;
        }
        if (nummer != SIGUSR1) Signal_behandeln();
    }
}

void Abbruch::Signal_behandeln() {
    std::unique_lock lock(mutex_);
    const bool bErstes = !bAusgeloest_;
    bAusgeloest_ = true;  // before the stop: the command sends nothing more
    if (bErstes && bStoppbar_ && !bFertig_) {
        bStoppLaeuft_ = true;
        lock.unlock();
        stoppen_();
        lock.lock();
        bStoppLaeuft_ = false;
        cv_.notify_all();
    }
    // Signals meanwhile stay pending; a command that cannot end in time
    // (no answer on the line) is left to the system to close.
    if (cv_.wait_for(lock, kSchlussfrist, [this] { return bFertig_ || bEnde_; })) return;
    lock.unlock();
    schliessen_();
    // What led up to the hang is what a recording is for.
    Aufnahme_beenden();
    std::_Exit(kUnterbrochen);
}
