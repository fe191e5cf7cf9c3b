#pragma once

#include <random>
#include <string>
#include <vector>

// A program pair the soak writes into a slot: the files' lines as written
// (comments, blank lines and trailing blanks included) and what the
// controller must store and read back.
struct SoakProgramm {
    std::vector<std::string> headerDatei, programmDatei;
    std::string header;              // the header text as stored
    std::vector<std::string> rumpf;  // the body lines as stored, "T1" first

    static SoakProgramm Zufaellig(std::mt19937_64& zufall);
    // Writes both files (CR LF after every line).
    void Schreiben(const std::string& headerPfad, const std::string& programmPfad) const;
    // Every reply of a read of slot n, one after the other.
    std::string Lesetext(int n) const;
};

// A command file of settings, waits and short moves; its lines as written.
std::vector<std::string> Soak_Befehlsdatei(std::mt19937_64& zufall);
void Soak_Datei_schreiben(const std::string& pfad, const std::vector<std::string>& zeilen);
