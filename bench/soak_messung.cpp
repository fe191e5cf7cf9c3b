#include "bench/soak_messung.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

SoakMessung SoakMessung::Jetzt(double stunde) {
    SoakMessung m;
    m.stunde = stunde;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        unsigned long groesse = 0, resident = 0;
        if (std::fscanf(f, "%lu %lu", &groesse, &resident) == 2)
            m.rssBytes = uint64_t(resident) * uint64_t(sysconf(_SC_PAGESIZE));
        std::fclose(f);
    }
    std::error_code fehler;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", fehler);
         !fehler && it != std::filesystem::directory_iterator(); it.increment(fehler))
        ++m.deskriptoren;
    return m;
}

bool SoakVergleich::Flach() const {
    return letzte.rssBytes <= erste.rssBytes * 1.05 && letzte.deskriptoren <= erste.deskriptoren * 1.05;
}

SoakVergleich Soak_Vergleich(const std::vector<SoakMessung>& messungen) {
    SoakVergleich v;
    // The first reading is taken before anything ran: a start, not a level.
    const std::size_t beginn = messungen.size() > 2 ? 1 : 0;
    if (messungen.size() <= beginn) return v;
    // Readings come at a steady pace of operations: an eighth of them is an
    // hour of the bench day.
    const std::size_t n = messungen.size() - beginn, achtel = std::max<std::size_t>(1, n / 8);
    auto hoechste = [](SoakMessung& ziel, const SoakMessung& m) {
        ziel.rssBytes = std::max(ziel.rssBytes, m.rssBytes);
        ziel.deskriptoren = std::max(ziel.deskriptoren, m.deskriptoren);
        ziel.stunde = m.stunde;
    };
    for (std::size_t i = 0; i < achtel; ++i) hoechste(v.erste, messungen[beginn + i]);
    for (std::size_t i = messungen.size() - achtel; i < messungen.size(); ++i) hoechste(v.letzte, messungen[i]);
    return v;
}
