#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/soak_messung.h"
#include "bench/soak_optionen.h"
#include "bench/soak_stoerung.h"
#include "bench/soak_umgebung.h"
#include "bench/soak_vorgang.h"

// A bench day at the simulator: operations from a seeded schedule, faults
// at random, every operation checked from both ends. Prints one summary
// line, and on a failure the seed and the last exchanges.
class SoakLauf {
public:
    explicit SoakLauf(const SoakOptionen& o);
    // 0 when nothing failed.
    int Laufen();

private:
    void Einen_Vorgang(const SoakVorgang& v, const SoakStoerung& st);
    void Pruefen(const SoakVorgang& v, const SoakStoerung& st, const SoakErgebnis& e);
    void Aufraeumen(const SoakStoerung& st);
    void Strenge_wechseln(std::mt19937_64& zufall);
    void Abgleichen();
    void Messen(double stunde);
    void Fehlschlag(const std::string& was);
    void Bericht(const std::string& grund) const;
    std::string Zusammenfassung(double stunden, double sekunden) const;
    void Dauern_zeigen() const;

    SoakOptionen o_;
    SoakUmgebung u_;
    uint64_t vorgaenge_ = 0, stoerungen_ = 0, spells_ = 0, fehlschlaege_ = 0, erholungen_ = 0, inis_ = 0;
    uint64_t gelesen_ = 0, stopps_ = 0, gestockt_ = 0;
    uint64_t bisStrengeEnde_ = 0;
    double schlimmsterStopp_ = 0;
    uint64_t protokollHoechst_ = 0;
    SoakMessreihe messungen_;
    double dauer_[16] = {}, hoechst_[16] = {};
    uint64_t anzahl_[16] = {};
    std::vector<std::string> befunde_;
    std::string vorgangName_;
};
