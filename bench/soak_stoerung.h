#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <thread>

#include "sim/strict_profile.h"

struct SoakUmgebung;
struct SoakVorgang;

// A fault laid on one operation through the simulator, and taken off after
// it: noise on the line, late replies, a lost reply, silence, the line
// dropped and back.
struct SoakStoerung {
    enum class Art { Keine, Rauschen, Spaet, Verloren, Stille, Leitung };
    Art art = Art::Keine;
    uint32_t z[3] = {};
    mutable unsigned generation = 0;  // the line's, before it was dropped
    mutable std::jthread rauscher;    // noise sent amid the operation

    // With probability p; the draws are the same whatever the operation.
    static SoakStoerung Ziehen(std::mt19937_64& zufall, double p, const SoakVorgang& v);
    void Anlegen(SoakUmgebung& u, const SoakVorgang& v) const;
    // Takes it off; after a dropped line, waits for the line and sets the
    // link up again ("Ini"), which throws its code when that fails.
    void Aufheben(SoakUmgebung& u) const;
    const char* Name() const;
};

// The unkind readings of a strict spell, drawn at random.
sim::StrictProfile Soak_Strenge(std::mt19937_64& zufall);
std::string Soak_Strenge_Name(const sim::StrictProfile& p);
