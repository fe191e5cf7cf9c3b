#include "bench/soak_optionen.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

const std::string& Wert(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
    return args[++i];
}

[[noreturn]] void Falsch(const std::vector<std::string>& args, std::size_t i) {
    throw std::invalid_argument("bad value for " + args[i - 1] + ": " + args[i]);
}

double Zahl(const std::vector<std::string>& args, std::size_t& i) {
    const std::string& wert = Wert(args, i);
    std::size_t ende = 0;
    double d = -1;
    try {
        d = std::stod(wert, &ende);
    } catch (const std::exception&) {
        Falsch(args, i);
    }
    if (ende != wert.size() || !(d >= 0) || !std::isfinite(d)) Falsch(args, i);
    return d;
}

// A seed is a whole number, every digit of it counted.
uint64_t Saat(const std::vector<std::string>& args, std::size_t& i) {
    const std::string& wert = Wert(args, i);
    uint64_t n = 0;
    const auto [p, ec] = std::from_chars(wert.data(), wert.data() + wert.size(), n);
    if (ec != std::errc() || p != wert.data() + wert.size()) Falsch(args, i);
    return n;
}

}  // namespace

const char* const kSoakNutzung =
    "usage: soak [--seed N] [--hours H] [--seconds S] [--time-scale F] [--ops-per-second R]\n"
    "            [--faults-per-hour K] [--strict-per-hour K] [--stop-bound MS]\n"
    "A bench day against the simulator from a seed (defaults: seed 1, 8 h, 900 s wall limit,\n"
    "time scale 1/48, 10 operations a second, 20 faults and 4 strict spells an hour, Stop within 5 ms).\n"
    "Exit status 0: no failure; 1: a failure (the seed and the last exchanges on standard error);\n"
    "2: bad options.\n";

SoakOptionen Soak_Optionen(const std::vector<std::string>& args) {
    SoakOptionen o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help") o.hilfe = true;
        else if (a == "--seed") o.seed = Saat(args, i);
        else if (a == "--time-scale") o.zeitmassstab = Zahl(args, i);
        else if (a == "--hours") o.stunden = Zahl(args, i);
        else if (a == "--seconds") o.sekunden = Zahl(args, i);
        else if (a == "--ops-per-second") o.vorgaengeProSekunde = Zahl(args, i);
        else if (a == "--faults-per-hour") o.stoerungenProStunde = Zahl(args, i);
        else if (a == "--stop-bound") o.stoppGrenzeMs = Zahl(args, i);
        else if (a == "--strict-per-hour") o.strengeProStunde = Zahl(args, i);
        else throw std::invalid_argument("unknown option " + a);
    }
    if (o.zeitmassstab <= 0 || o.vorgaengeProSekunde <= 0) throw std::invalid_argument("time scale and rate must be > 0");
    return o;
}
