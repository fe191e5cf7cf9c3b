#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/mitschnitt_zeile.h"
#include "link/leitungsbeobachter.h"
#include "link/mitschnitt_datei.h"

// Records the line's traffic into a text file (format: common/mitschnitt_zeile.h),
// so that a fault seen at the bench can be played again by "pelto-sim --replay".
// A line hands it bytes as its observer (each new line's, unless another
// is set); a thread of the recording's own writes them, so a slow disk never
// holds up the line.
class Mitschnitt : public TLeitungsbeobachter {
public:
    // The variable that names the file when no option does.
    static constexpr const char* kUmgebung = "PELTO_RECORD";

    // The one recording of the process, which every line feeds by default.
    static Mitschnitt& Prozess();
    // The file the option names, else the one PELTO_RECORD names; empty: none.
    static std::string Pfad_waehlen(const std::string& option);

    Mitschnitt() = default;
    ~Mitschnitt() override;
    Mitschnitt(const Mitschnitt&) = delete;
    Mitschnitt& operator=(const Mitschnitt&) = delete;

    // Appends to `pfad` from now on, a run line naming `wer` first. Returns
    // why the file cannot be written (nothing is recorded then), else empty.
    std::string Starten(const std::string& pfad, const std::string& wer);
    // Writes what is left and closes the file. Returns why the recording
    // stopped short (a full disk), once; else empty.
    std::string Beenden();
    bool Laeuft() const { return laeuft_.load(std::memory_order_relaxed); }
    const std::string& Pfad() const { return pfad_; }

    void Gesendet(const char* bytes, std::size_t n, bool bOhneAntwort) override;
    void Empfangen(unsigned char c) override;
    // A comment line with its time: the port opened or closed, the line
    // gone ("# line gone at MS", which a replay plays) or back.
    void Vermerken(const std::string& text) override;
    void Leitung(bool bWeg) override;

private:
    using Clock = std::chrono::steady_clock;

    void Anhaengen(std::string zeile);
    void Stueck_schliessen();
    bool Stueck_veraltet(Clock::time_point jetzt) const;
    int64_t Ms(Clock::time_point t) const;
    void Schreiber();
    void Ausschreiben(std::unique_lock<std::mutex>& lock);

    std::atomic<bool> laeuft_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
    bool bEnde_ = false;
    MitschnittDatei datei_;
    std::string pfad_;
    Clock::time_point beginn_;
    std::vector<std::string> zeilen_;  // waiting for the writer
    std::optional<MitschnittZeile> offen_;  // received bytes still growing
    Clock::time_point letztesByte_;
    std::thread schreiber_;
};
