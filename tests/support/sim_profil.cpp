#include "support/sim_profil.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

sim::SimOptions Suitenprofil(sim::SimOptions o) {
    const char* wert = std::getenv("PELTO_SIM_STRICT");
    const std::string profil = wert ? wert : "";
    if (profil.empty()) return o;
    if (profil != "suite") throw std::invalid_argument("PELTO_SIM_STRICT: unknown profile " + profil);
    o.strict = sim::StrictProfile::Strict();
    // Replies at their limits and a deaf controller after a reset take
    // their own suites: here they would only make every case slow.
    o.strict.atLimit = 0;
    o.strict.deafAfterReset = {};
    return o;
}

std::string Eroeffnungsantwort(const std::string& echo) {
    return Suitenprofil().strict.plainAcks ? "<ACK>" : echo + "<ACK>";
}

sim::SimOptions SchnellesProfil() {
    sim::SimOptions o;
    o.timeScale = 0.05;
    return Suitenprofil(o);
}
