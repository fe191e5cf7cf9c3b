// A bench day against the simulator: `soak --seed N --hours H --seconds S
// --time-scale F --ops-per-second R --faults-per-hour K`. Exit status 1 on
// any failure, 2 on bad options.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/soak_lauf.h"

int main(int argc, char** argv) {
    SoakOptionen o;
    try {
        o = Soak_Optionen(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soak: %s\n%s", e.what(), kSoakNutzung);
        return 2;
    }
    if (o.hilfe) {
        std::fputs(kSoakNutzung, stdout);
        return 0;
    }
    SoakLauf lauf(o);
    return lauf.Laufen();
}
