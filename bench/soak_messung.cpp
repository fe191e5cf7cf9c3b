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

void SoakMessreihe::Messen(double stunde) {
    letzte_ = SoakMessung::Jetzt(stunde);
    // The first reading is taken before anything ran: a start, not a level.
    if (!begonnen_) {
        start_ = letzte_;
        begonnen_ = true;
        return;
    }
    const int i = std::clamp(int(stunde * 8 / stunden_), 0, 8);
    SoakMessung& a = achtel_[i];
    a.stunde = stunde;
    a.rssBytes = std::max(a.rssBytes, letzte_.rssBytes);
    a.deskriptoren = std::max(a.deskriptoren, letzte_.deskriptoren);
    bis_ = std::max(bis_, i);
}

bool SoakMessreihe::Flach() const {
    const SoakMessung& a = Erstes_Achtel();
    const SoakMessung& b = Letztes_Achtel();
    return b.rssBytes <= a.rssBytes * 1.05 && b.deskriptoren <= a.deskriptoren * 1.05;
}
