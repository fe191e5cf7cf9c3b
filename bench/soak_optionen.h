#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What one soak run does: its seed, how long, how fast, at which time scale.
struct SoakOptionen {
    uint64_t seed = 1;
    double zeitmassstab = 1.0 / 48;  // the simulator's time scale: 8 h of moves and waits in 10 min
    double stunden = 8;              // simulated hours of the bench day
    double sekunden = 900;           // wall limit
    double vorgaengeProSekunde = 10; // per simulated second
    double stoerungenProStunde = 20; // faults per simulated hour
    double strengeProStunde = 4;     // strict spells per simulated hour
    double stoppGrenzeMs = 5;        // from the Stop's call to its arrival
    bool hilfe = false;
};

extern const char* const kSoakNutzung;

// From the command line (`--help`: hilfe); throws std::invalid_argument with the reason.
SoakOptionen Soak_Optionen(const std::vector<std::string>& args);
