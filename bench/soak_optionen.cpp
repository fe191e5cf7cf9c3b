#include "bench/soak_optionen.h"

#include <stdexcept>

namespace {

double Zahl(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
    const std::string& wert = args[++i];
    std::size_t ende = 0;
    const double d = std::stod(wert, &ende);
    if (ende != wert.size() || !(d >= 0)) throw std::invalid_argument("bad value for " + args[i - 1] + ": " + wert);
    return d;
}

}  // namespace

SoakOptionen Soak_Optionen(const std::vector<std::string>& args) {
    SoakOptionen o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--seed") o.seed = static_cast<uint64_t>(Zahl(args, i));
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
