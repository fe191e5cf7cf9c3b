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
    std::FILE* datei = std::fopen(pfad.c_str(), "ae");
    if (!datei) return std::strerror(errno);
    std::lock_guard lock(mutex_);
    datei_ = datei;
    bEnde_ = false;
    beginn_ = Clock::now();
    zeilen_.push_back("# run of " + wer + ", " + Uhrzeit() + "; ms since then, > sent, < received");
    laeuft_ = true;
    schreiber_ = std::thread([this] { Schreiber(); });
    return {};
}

void Mitschnitt::Beenden() {
    {
        std::lock_guard lock(mutex_);
        if (!laeuft_) return;
        laeuft_ = false;
        bEnde_ = true;
    }
    cv_.notify_one();
    schreiber_.join();
    std::fclose(datei_);
    datei_ = nullptr;
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
    std::lock_guard lock(mutex_);
    if (!laeuft_) return;
    Stueck_schliessen();
    Anhaengen("# " + text);
}

// Formatting and writing happen here, outside the link's lock.
void Mitschnitt::Ausschreiben(std::unique_lock<std::mutex>& lock) {
    if (bEnde_ || Stueck_veraltet(Clock::now())) Stueck_schliessen();
    std::vector<std::string> zeilen;
    zeilen.swap(zeilen_);
    lock.unlock();
    for (const std::string& z : zeilen) {
        std::fputs(z.c_str(), datei_);
        std::fputc('\n', datei_);
    }
    if (!zeilen.empty()) std::fflush(datei_);
    lock.lock();
}

void Mitschnitt::Schreiber() {
    std::unique_lock lock(mutex_);
    while (!bEnde_) {
        cv_.wait_for(lock, kSchreibtakt);
        Ausschreiben(lock);
    }
    Ausschreiben(lock);
}
