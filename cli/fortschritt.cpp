#include "cli/fortschritt.h"

namespace {

constexpr auto kTakt = std::chrono::milliseconds(200);

}  // namespace

std::string Fortschritt::Text(std::size_t fertig, std::size_t gesamt, double sekunden) {
    std::string t = "pelto: " + std::to_string(fertig) + (gesamt ? "/" + std::to_string(gesamt) : "") + " lines";
    if (sekunden <= 0 || fertig == 0) return t;
    const double rate = static_cast<double>(fertig) / sekunden;
    t += ", " + std::to_string(static_cast<long>(rate + 0.5)) + " lines/s";
    if (gesamt > fertig) t += ", " + std::to_string(static_cast<long>(static_cast<double>(gesamt - fertig) / rate + 0.5)) + " s left";
    return t;
}

void Fortschritt::Fertig() {
    ++fertig_;
    const auto jetzt = std::chrono::steady_clock::now();
    if (jetzt - gezeichnet_ < kTakt) return;
    gezeichnet_ = jetzt;
    Zeichnen();
}

void Fortschritt::Zeichnen() {
    const double sekunden = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // Erases what a longer line left behind.
    std::fprintf(ziel_, "\r%s\033[K", Text(fertig_, fertig_ <= gesamt_ ? gesamt_ : 0, sekunden).c_str());
    std::fflush(ziel_);
    bSichtbar_ = true;
}

void Fortschritt::Wegnehmen() {
    if (!bSichtbar_) return;
    std::fputs("\r\033[K", ziel_);
    std::fflush(ziel_);
    bSichtbar_ = false;
}

void Fortschritt::Abschliessen() {
    if (fertig_ == 0) return;
    Zeichnen();
    std::fputc('\n', ziel_);
    bSichtbar_ = false;
}
