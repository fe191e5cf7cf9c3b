#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/event.h"

// Carries out work on the window's thread, in the order it was handed in.
// Post() queues and returns; Call() queues and waits until it has run.
// From the window's thread itself both run at once, after whatever is
// already queued, so the order of changes always holds. Posted work is for
// the eye: the first after a quiet spell runs at once, and while more keeps
// coming it runs at screen rate, so a worker posting per line does not wake
// the window per line. A Call wakes it at once.
class FensterBruecke : public QObject {
    Q_OBJECT
public:
    explicit FensterBruecke(QObject* parent = nullptr);
    ~FensterBruecke() override;

    void Post(std::function<void()> fn);
    void Call(const std::function<void()>& fn);
    template <typename R>
    R Get(const std::function<R()>& fn) {
        R result {};
        Call([&] { result = fn(); });
        return result;
    }
    bool AufFensterThread() const { return std::this_thread::get_id() == fensterThread_; }

    // Output that its owner holds back for screen rate (the log pane) is
    // put in place before a Call's work runs, so that a box or a read-back
    // sees everything handed in before it. Null removes it (window's thread).
    void Ausgabe_setzen(std::function<void()> ausgeben) { ausgeben_ = std::move(ausgeben); }

    static constexpr int kTaktMs = 40;

    // Runs everything queued so far (window's thread only); how many.
    int Abarbeiten();
    // Waits up to timeoutMs (< 0: without limit) for the event while still
    // carrying out queued work, so that a worker that needs the window can
    // get on (window's thread only). True when the event came.
    bool WartenUndBedienen(platform::Event& ereignis, int64_t timeoutMs = platform::kInfinite);

private:
    void Einreihen(std::function<void()> fn, bool sofort);
    void Angestossen();
    void Takt();
    void Ausgeben() {
        if (ausgeben_) ausgeben_();
    }

    const std::thread::id fensterThread_;
    std::mutex mutex_;
    std::deque<std::function<void()>> auftraege_;
    bool angestossen_ = false;  // a run is due: queued at once or by the timer
    QTimer takt_;
    std::function<void()> ausgeben_;
    // Wakes the window's thread: a worker only writes to a descriptor and
    // creates no object of the window's.
    int weckFd_ = -1;
    QSocketNotifier* wecker_ = nullptr;
    platform::Event hEventAuftrag_{platform::Event::Mode::AutoReset};
};
