#pragma once

#include <cstdint>

// The process's footprint at one moment: resident memory and open descriptors.
struct SoakMessung {
    double stunde = 0;  // simulated
    uint64_t rssBytes = 0;
    int deskriptoren = 0;

    static SoakMessung Jetzt(double stunde);
};

// The highest readings of each eighth of a run (an hour of an 8-hour day),
// kept in a fixed place so that keeping them does not grow the process.
class SoakMessreihe {
public:
    explicit SoakMessreihe(double stunden) : stunden_(stunden) {}
    void Messen(double stunde);
    const SoakMessung& Start() const { return start_; }
    const SoakMessung& Letzte() const { return letzte_; }
    const SoakMessung& Erstes_Achtel() const { return achtel_[0]; }
    const SoakMessung& Letztes_Achtel() const { return achtel_[bis_]; }
    // The first and the last eighth are apart by one at least, in a run of
    // two simulated hours or more: a shorter one is still warming up.
    bool Vergleichbar() const { return bis_ >= 2 && letzte_.stunde >= 2; }
    // The last eighth no higher than the first, within 5 %.
    bool Flach() const;

private:
    double stunden_;
    SoakMessung start_, letzte_;
    SoakMessung achtel_[9];
    int bis_ = 0;
    bool begonnen_ = false;
};
