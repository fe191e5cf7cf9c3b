#include "bench/soak_programm.h"

#include <fstream>

namespace {

constexpr const char* kBefehle[] = {"A1,1", "A2,0", "#S200", "#E1,500", "#R250", "T1", "FH2", "&E1,0", "L1,x20", "W10"};
constexpr char kZeichen[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 _-,.#+*=";

int Wuerfel(std::mt19937_64& z, int von, int bis) { return std::uniform_int_distribution<int>(von, bis)(z); }

std::string Text(std::mt19937_64& z, int laenge) {
    std::string t;
    for (int i = 0; i < laenge; ++i) t += kZeichen[Wuerfel(z, 0, int(sizeof kZeichen) - 2)];
    while (!t.empty() && t.back() == ' ') t.back() = 'x';
    if (!t.empty() && t.front() == ' ') t.front() = 'x';
    return t;
}

std::string Befehl(std::mt19937_64& z) { return kBefehle[Wuerfel(z, 0, int(std::size(kBefehle)) - 1)]; }

}  // namespace

SoakProgramm SoakProgramm::Zufaellig(std::mt19937_64& z) {
    SoakProgramm p;
    for (int i = Wuerfel(z, 1, 3); i > 0; --i) {
        const std::string zeile = Text(z, Wuerfel(z, 1, 60));
        p.header += zeile;
        p.headerDatei.push_back(Wuerfel(z, 0, 3) == 0 ? zeile + " \t" : zeile);
    }
    p.rumpf.push_back("T1");
    for (int i = Wuerfel(z, 0, 20); i > 0; --i) {
        switch (Wuerfel(z, 0, 5)) {
            case 0: p.programmDatei.push_back("' " + Text(z, 12)); break;
            case 1: p.programmDatei.push_back(Wuerfel(z, 0, 1) ? "" : "/ note"); break;
            default: {
                std::string b = Befehl(z);
                p.rumpf.push_back(b);
                p.programmDatei.push_back(Wuerfel(z, 0, 4) == 0 ? b + "  " : b);
            }
        }
    }
    return p;
}

void SoakProgramm::Schreiben(const std::string& headerPfad, const std::string& programmPfad) const {
    Soak_Datei_schreiben(headerPfad, headerDatei);
    Soak_Datei_schreiben(programmPfad, programmDatei);
}

std::string SoakProgramm::Lesetext(int n) const {
    std::string t = "*PR" + std::to_string(n) + "\r" + header + "\x02";
    for (const std::string& zeile : rumpf) t += zeile + "\r";
    return t + "\x03\x06";
}

std::vector<std::string> Soak_Befehlsdatei(std::mt19937_64& z) {
    std::vector<std::string> zeilen;
    for (int i = Wuerfel(z, 1, 8); i > 0; --i) {
        switch (Wuerfel(z, 0, 6)) {
            case 0: zeilen.push_back("' comment"); break;
            case 1: zeilen.push_back("W" + std::to_string(Wuerfel(z, 0, 200))); break;
            case 2: zeilen.push_back("L1,y" + std::to_string(Wuerfel(z, -30, 30))); break;
            default: zeilen.push_back(Befehl(z));
        }
    }
    return zeilen;
}

void Soak_Datei_schreiben(const std::string& pfad, const std::vector<std::string>& zeilen) {
    std::ofstream f(pfad, std::ios::binary | std::ios::trunc);
    for (const std::string& zeile : zeilen) f << zeile << "\r\n";
}
