#include "link/mitschnitt.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/zeichen.h"

namespace {

// Received bytes closer together than this are one piece; a reply's end
// character closes its piece at once.
constexpr auto kLuecke = std::chrono::milliseconds(5);
constexpr auto kSchreibtakt = std::chrono::milliseconds(100);

bool Endet_Antwort(unsigned char c) {
    using namespace zeichen;
    return c == STX || c == ETX || c == ACK || c == BEL || c == CR || c == NAK;
}

std::string Uhrzeit() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// A comment stays one line: control characters as the bytes show them.
std::string Kommentar(const std::string& text) {
    std::string zeile;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        zeile += u < 0x20 || u == 0x7f ? Mitschnitt_maskieren(std::string(1, c)) : std::string(1, c);
    }
    return zeile;
}

}  // namespace

Mitschnitt& Mitschnitt::Prozess() {
    static Mitschnitt mitschnitt;
    return mitschnitt;
}

std::string Mitschnitt::Pfad_waehlen(const std::string& option) {
    if (!option.empty()) return option;
    const char* umgebung = std::getenv(kUmgebung);
    return umgebung ? umgebung : "";
}

Mitschnitt::~Mitschnitt() { Beenden(); }

std::string Mitschnitt::Starten(const std::string& pfad, const std::string& wer) {
    Beenden();
    if (const std::string grund = datei_.Oeffnen(pfad); !grund.empty()) return grund;
    std::lock_guard lock(mutex_);
    pfad_ = pfad;
    bEnde_ = false;
    beginn_ = Clock::now();
    zeilen_.push_back("# run of " + Kommentar(wer) + ", " + Uhrzeit() + "; ms since then, > sent, < received");
    laeuft_ = true;
    schreiber_ = std::thread([this] { Schreiber(); });
    return {};
}

std::string Mitschnitt::Beenden() {
    {
        std::lock_guard lock(mutex_);
        if (!schreiber_.joinable()) return {};
        laeuft_ = false;
        bEnde_ = true;
    }
    cv_.notify_one();
    schreiber_.join();
    datei_.Schliessen();
    return datei_.Fehler();
}

int64_t Mitschnitt::Ms(Clock::time_point t) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - beginn_).count();
}

void Mitschnitt::Anhaengen(std::string zeile) { zeilen_.push_back(std::move(zeile)); }

void Mitschnitt::Stueck_schliessen() {
    if (!offen_) return;
    Anhaengen(offen_->Text());
    offen_.reset();
}

bool Mitschnitt::Stueck_veraltet(Clock::time_point jetzt) const { return offen_ && jetzt - letztesByte_ > kLuecke; }

void Mitschnitt::Gesendet(const char* bytes, std::size_t n, bool /*bOhneAntwort*/) {
    if (!Laeuft() || n == 0) return;
    const auto jetzt = Clock::now();
    std::lock_guard lock(mutex_);
    if (!laeuft_) return;
    Stueck_schliessen();
    Anhaengen(MitschnittZeile{Ms(jetzt), MitschnittZeile::Richtung::Gesendet, std::string(bytes, n)}.Text());
}

void Mitschnitt::Empfangen(unsigned char c) {
    if (!Laeuft()) return;
    const auto jetzt = Clock::now();
    std::lock_guard lock(mutex_);
    if (!laeuft_) return;
    if (Stueck_veraltet(jetzt)) Stueck_schliessen();
    if (!offen_) offen_ = MitschnittZeile{Ms(jetzt), MitschnittZeile::Richtung::Empfangen, {}};
    offen_->bytes += static_cast<char>(c);
    letztesByte_ = jetzt;
    if (Endet_Antwort(c)) Stueck_schliessen();
}

void Mitschnitt::Vermerken(const std::string& text) {
    if (!Laeuft()) return;
    const auto jetzt = Clock::now();
    std::lock_guard lock(mutex_);
    if (!laeuft_) return;
    Stueck_schliessen();
    Anhaengen("# " + Kommentar(text) + " at " + std::to_string(Ms(jetzt)));
}

void Mitschnitt::Leitung(bool bWeg) { Vermerken(bWeg ? "line gone" : "line back"); }

// Formatting and writing happen here, outside the link's lock.
void Mitschnitt::Ausschreiben(std::unique_lock<std::mutex>& lock) {
    if (bEnde_ || Stueck_veraltet(Clock::now())) Stueck_schliessen();
    std::vector<std::string> zeilen;
    zeilen.swap(zeilen_);
    lock.unlock();
    datei_.Schreiben(zeilen);
    lock.lock();
    // A full disk ends the recording, not the run; Beenden() says why.
    if (!datei_.Fehler().empty()) laeuft_ = false;
}

void Mitschnitt::Schreiber() {
    std::unique_lock lock(mutex_);
    while (!bEnde_) {
        cv_.wait_for(lock, kSchreibtakt);
        Ausschreiben(lock);
    }
    Ausschreiben(lock);
}
