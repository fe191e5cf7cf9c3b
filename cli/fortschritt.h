#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

// One line on a terminal, redrawn with \r: lines done of total, the rate and
// the time left ("pelto: 1200/6553 lines, 210 lines/s, 26 s left"). Drawn at
// most every 200 ms and once more at the end.
class Fortschritt {
public:
    explicit Fortschritt(std::FILE* ziel) : ziel_(ziel), start_(std::chrono::steady_clock::now()) {}

    void Erwartet(std::size_t n) { gesamt_ += n; }
    void Fertig();
    // Takes the line away before other output on the same terminal.
    void Wegnehmen();
    // The last state, and the line ended.
    void Abschliessen();

    // The line's text for the figures given (a total of 0 is not known).
    static std::string Text(std::size_t fertig, std::size_t gesamt, double sekunden);

private:
    void Zeichnen();

    std::FILE* ziel_;
    std::chrono::steady_clock::time_point start_, gezeichnet_{};
    std::size_t fertig_ = 0, gesamt_ = 0;
    bool bSichtbar_ = false;
};
