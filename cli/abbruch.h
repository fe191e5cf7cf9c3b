#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Ctrl-C, SIGTERM, SIGHUP and SIGPIPE. A thread of its own takes the signals (they are
// blocked everywhere else), so the stop can go out on the link's "@"
// channel while the command waits. A signal that comes while the stop is
// on its way waits until it has gone out.
class Abbruch {
public:
    // Blocks the signals in the calling thread and in every thread it starts
    // from now on; call before any other thread exists.
    static void Signale_sperren();

    // `stoppen` sends the stop; it runs on the signal thread. `schliessen`
    // gives the port back (its settings, its lock) when the command cannot
    // end in time and the tool leaves without it.
    Abbruch(std::function<void()> stoppen, std::function<void()> schliessen);
    ~Abbruch();
    Abbruch(const Abbruch&) = delete;
    Abbruch& operator=(const Abbruch&) = delete;

    // While set, a signal sends the stop before anything else happens.
    void Stoppbar(bool bEin);
    // As if SIGPIPE had come: for a write that found its reader gone.
    void Ausloesen();
    bool Ausgeloest() const;
    // The command is over and the link may close: waits for a stop still on
    // its way, and a later signal sends none.
    void Fertig();

private:
    void Lauf();
    void Signal_behandeln();

    std::function<void()> stoppen_;
    std::function<void()> schliessen_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool bStoppbar_ = false;
    bool bAusgeloest_ = false;
    bool bStoppLaeuft_ = false;
    bool bFertig_ = false;
    bool bEnde_ = false;
    std::thread thread_;
};
