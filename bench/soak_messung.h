#pragma once

#include <cstdint>
#include <vector>

// The process's footprint at one moment: resident memory and open descriptors.
struct SoakMessung {
    double stunde = 0;  // simulated
    uint64_t rssBytes = 0;
    int deskriptoren = 0;

    static SoakMessung Jetzt(double stunde);
};

// The highest reading of the first and of the last eighth of a run (an
// hour each of an 8-hour day).
struct SoakVergleich {
    SoakMessung erste, letzte;
    bool Flach() const;  // the last no higher than the first, within 5 %
};
SoakVergleich Soak_Vergleich(const std::vector<SoakMessung>& messungen);
