#include "cli/aufnahme.h"

#include <cstdio>

#include "link/mitschnitt.h"

void Aufnahme_starten(const std::string& option, const std::vector<std::string>& args) {
    const std::string pfad = Mitschnitt::Pfad_waehlen(option);
    if (pfad.empty()) return;
    std::string wer = "pelto";
    for (const std::string& arg : args) wer += " " + arg;
    if (const std::string grund = Mitschnitt::Prozess().Starten(pfad, wer); !grund.empty())
        std::fprintf(stderr, "pelto: cannot record to '%s': %s; going on without a recording\n", pfad.c_str(),
                     grund.c_str());
}

void Aufnahme_beenden() {
    if (const std::string grund = Mitschnitt::Prozess().Beenden(); !grund.empty())
        std::fprintf(stderr, "pelto: the recording '%s' stopped short: %s\n", Mitschnitt::Prozess().Pfad().c_str(),
                     grund.c_str());
}
