#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/soak_programm.h"

struct SoakUmgebung;

// One operation of the bench day, drawn whole before it runs, so that the
// schedule of a seed does not depend on how earlier operations went.
struct SoakVorgang {
    enum class Art {
        Einstellung, Ausgang, Abfrage, Position, Fahrt, Referenzfahrt, Schreiben, Lesen, Header, Groesse,
        Loeschen, FAT, GesamteFAT, AlleLoeschen, Befehlsdatei, Modultest,
    };
    Art art = Art::Abfrage;
    std::array<uint32_t, 6> z{};  // the operation's own draws
    SoakProgramm programm;
    std::vector<std::string> befehlsdatei;

    static SoakVorgang Ziehen(std::mt19937_64& zufall);
    // Runs a job on the controller (a move, a wait, erasing) that goes on
    // when its answers are lost.
    bool MitAuftrag() const;
    // Its first request, where a rule can take it; empty: none known.
    std::string Erste_Anfrage() const;
    // A move ended with Stop rather than Halt. Few are: after a Stop the
    // link holds the next normal request back a second, in case the stopped
    // job's own final answer still comes.
    bool Stopp() const;
    int Platz() const { return int(z[1] % 7) + 1; }
    const char* Name() const;
};

// How it went: the code the routine ended with and the one it should end
// with on a healthy line, what the checks found, and the Stop's way.
struct SoakErgebnis {
    int32_t code = 0, erwartet = 0;
    std::string befund;             // a check that failed
    std::optional<double> stoppMs;  // from the call to "@S" or "@B" at the controller
    double geschriebenMs = 0;       // from the call to its write
    double stockungMs = 0;          // the machine's longest stall meanwhile
    bool stoppGesendet = false;
    bool gelesen = false;           // a written program was read back
};

// bGestoert: a fault falls into its span, so what it wrote or read proves nothing.
SoakErgebnis Soak_ausfuehren(SoakUmgebung& u, SoakVorgang v, bool bGestoert);
