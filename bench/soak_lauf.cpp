#include "bench/soak_lauf.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "bench/soak_wachhund.h"
#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "common/steuerzeichen.h"
#include "link/keloCOMv1.h"
#include "routinen/sofortbefehl.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWachhund = std::chrono::seconds(60);
constexpr std::size_t kOffenHoechstens = 200;
constexpr uint64_t kMessenAlle = 50;

bool Sauber(int32_t code) {
    return code == 0 || (code >= COM_PORT_ERROR && code <= WAIT_FAILED_ERROR && code != OUT_OF_RANGE) ||
           code > CONTROLLER_ERROR_BASE;
}

uint64_t Dateigroesse(const std::string& pfad) {
    std::error_code fehler;
    const auto n = std::filesystem::file_size(pfad, fehler);
    return fehler ? 0 : uint64_t(n);
}

}  // namespace

SoakLauf::SoakLauf(const SoakOptionen& o) : o_(o), u_(o), messungen_(o.stunden) {}

int SoakLauf::Laufen() {
    std::mt19937_64 plan(o_.seed), stoerplan(o_.seed ^ 0x5eedfa17u);
    SoakWachhund wachhund(kWachhund, [this](const std::string& was) { Fehlschlag(was); });
    const double p = o_.stoerungenProStunde / (3600 * o_.vorgaengeProSekunde);
    std::exponential_distribution<double> abstand(o_.vorgaengeProSekunde);
    const auto t0 = Clock::now();
    double t = 0;  // simulated seconds
    Messen(0);
    std::string vorher;
    while (t < o_.stunden * 3600) {
        const double wand = std::chrono::duration<double>(Clock::now() - t0).count();
        if (wand >= o_.sekunden) break;
        // Never ahead of the day at its time scale; behind it, as fast as it goes.
        if (t * o_.zeitmassstab > wand) std::this_thread::sleep_for(std::chrono::duration<double>(t * o_.zeitmassstab - wand));
        const SoakVorgang v = SoakVorgang::Ziehen(plan);
        const SoakStoerung st = SoakStoerung::Ziehen(stoerplan, p, v);
        Strenge_wechseln(stoerplan);
        u_.verlauf.Vorgang(++vorgaenge_);
        vorgangName_ = std::string(v.Name()) + " (operation " + std::to_string(vorgaenge_) + ", fault: " + st.Name() + ")";
        wachhund.Beginnen(vorgangName_);
        const auto beginn = Clock::now();
        Einen_Vorgang(v, st);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - beginn).count();
        wachhund.Enden();
        const int k = int(v.art);
        dauer_[k] += ms;
        hoechst_[k] = std::max(hoechst_[k], ms);
        ++anzahl_[k];
        if (std::getenv("SOAK_LANGSAM") && ms > 50) std::fprintf(stderr, "slow: %s %.0f ms after %s\n", vorgangName_.c_str(), ms, vorher.c_str());
        vorher = vorgangName_;
        if (vorgaenge_ % kMessenAlle == 0) Messen(t / 3600);
        t += abstand(plan);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Abgleichen();
    if (u_.abgleich.Offen()) Fehlschlag(std::to_string(u_.abgleich.Offen()) + " requests written never reached the controller");
    Messen(t / 3600);
    if (messungen_.Vergleichbar() && !messungen_.Flach()) Fehlschlag("memory or descriptors grew from the first hour to the last");
    if (protokollHoechst_ > uint64_t(kProtokollGrenze) + 512) Fehlschlag("the protocol log outgrew its bound");
    const double sekunden = std::chrono::duration<double>(Clock::now() - t0).count();
    Dauern_zeigen();
    std::printf("%s\n", Zusammenfassung(t / 3600, sekunden).c_str());
    return fehlschlaege_ ? 1 : 0;
}

void SoakLauf::Einen_Vorgang(const SoakVorgang& v, const SoakStoerung& st) {
    if (st.art != SoakStoerung::Art::Keine) {
        ++stoerungen_;
        u_.verlauf.Ereignis(std::string("fault: ") + st.Name() + " " + std::to_string(st.z[1]));
    }
    st.Anlegen(u_, v);
    const SoakErgebnis e = Soak_ausfuehren(u_, v, st.art != SoakStoerung::Art::Keine);
    try {
        st.Aufheben(u_);
    } catch (int& code) {
        Fehlschlag("\"Ini\" after the line came back failed with " + std::to_string(code));
    }
    if (st.art == SoakStoerung::Art::Leitung) ++inis_;
    Aufraeumen(st);
    Pruefen(v, st, e);
}

// What an operator does after a failure the console itself names: a write
// cut off leaves the controller taking program text ("Reset ausführen"; a
// controller that keeps "@" as text is switched off and on); axes still
// moving after a fault are stopped.
void SoakLauf::Aufraeumen(const SoakStoerung& st) {
    const bool bText = u_.arbeiter.ProgrammtextOffen();
    if (bText) u_.abgleich.Kopf_verwerfen();
    if (bText && u_.streng) {
        u_.sim.PowerCycle();
        u_.sim.TakeArrivals();
        u_.abgleich.Verwerfen();
    }
    const char taetig = u_.sim.Status()[0];
    const bool bBewegt = st.art != SoakStoerung::Art::Keine && (taetig == 'M' || taetig == 'R' || taetig == 'H' || taetig == 'W');
    if ((bText && !u_.streng) || bBewegt) {
        ++erholungen_;
        u_.fensterThread.Starten([this, bText] {
            Sofort_ausfuehren(u_.fenster, bText ? &TkeloCOM::Reset_ausfuehren : &TkeloCOM::Achsen_stoppen);
        });
        u_.fensterThread.Warten();
    } else if (bText) {
        ++erholungen_;
    }
}

void SoakLauf::Pruefen(const SoakVorgang& v, const SoakStoerung& st, const SoakErgebnis& e) {
    const bool bGestoert = st.art != SoakStoerung::Art::Keine;
    if (!Sauber(e.code)) Fehlschlag(std::string(v.Name()) + " ended with " + std::to_string(e.code) + ", no clean error code");
    if (!bGestoert && e.code != e.erwartet)
        Fehlschlag(std::string("a ") + v.Name() + " without a fault ended with " + std::to_string(e.code) + " (expected " +
                   std::to_string(e.erwartet) + "): the link needed \"Ini\"");
    if (!e.befund.empty()) Fehlschlag(e.befund);
    if (e.gelesen) ++gelesen_;
    if (e.stoppMs) {
        ++stopps_;
        schlimmsterStopp_ = std::max(schlimmsterStopp_, *e.stoppMs);
        // Within the bound but for a stall of the whole machine meanwhile:
        // counted and shown, not the link's failure.
        if (*e.stoppMs > o_.stoppGrenzeMs && *e.stoppMs - e.stockungMs <= o_.stoppGrenzeMs) {
            ++gestockt_;
        } else if (*e.stoppMs > o_.stoppGrenzeMs) {
            Fehlschlag("Stop or Halt took " + std::to_string(*e.stoppMs) + " ms to reach the controller (written after " +
                       std::to_string(e.geschriebenMs) + " ms, the machine stalled " + std::to_string(e.stockungMs) +
                       " ms meanwhile)");
        }
    } else if (e.stoppGesendet && !bGestoert) {
        Fehlschlag("Stop or Halt never reached the controller");
    }
    Abgleichen();
}

void SoakLauf::Abgleichen() {
    if (vorgaenge_ % 1000 == 0) u_.sim.ClearHistory();
    if (auto fehler = u_.abgleich.Pruefen(u_.sim.TakeArrivals())) Fehlschlag(*fehler);
    if (u_.abgleich.Offen() > kOffenHoechstens) {
        Fehlschlag(std::to_string(u_.abgleich.Offen()) + " requests written and not taken by the controller");
        u_.abgleich.Verwerfen();
    }
}

// Strict spells: for a stretch of operations the controller reads the
// protocol in one of its unkind but allowed ways.
void SoakLauf::Strenge_wechseln(std::mt19937_64& zufall) {
    const uint64_t z = zufall();
    const sim::StrictProfile profil = Soak_Strenge(zufall);
    if (bisStrengeEnde_ && vorgaenge_ >= bisStrengeEnde_) {
        u_.sim.SetStrict({});
        u_.streng = false;
        bisStrengeEnde_ = 0;
        return;
    }
    if (bisStrengeEnde_ || double(z % 1'000'000) / 1e6 >= o_.strengeProStunde / (3600 * o_.vorgaengeProSekunde)) return;
    ++spells_;
    ++stoerungen_;
    u_.sim.SetStrict(profil);
    u_.streng = profil.opaqueText;
    bisStrengeEnde_ = vorgaenge_ + 50 + (z >> 32) % 450;
    u_.verlauf.Ereignis("strict spell: " + Soak_Strenge_Name(profil));
}

void SoakLauf::Dauern_zeigen() const {
    std::fprintf(stderr, "soak: wall time per operation, mean/max ms:");
    for (int k = 0; k < 16; ++k) {
        if (!anzahl_[k]) continue;
        SoakVorgang v;
        v.art = SoakVorgang::Art(k);
        std::fprintf(stderr, " %s %llu x %.2f/%.0f;", v.Name(), (unsigned long long)anzahl_[k], dauer_[k] / anzahl_[k],
                     hoechst_[k]);
    }
    std::fprintf(stderr, "\n");
}

void SoakLauf::Messen(double stunde) {
    messungen_.Messen(stunde);
    const std::string log = Protokolldatei_Pfad();
    protokollHoechst_ = std::max({protokollHoechst_, Dateigroesse(log), Dateigroesse(log + ".1")});
}

void SoakLauf::Fehlschlag(const std::string& was) {
    ++fehlschlaege_;
    if (befunde_.size() < 20) {
        befunde_.push_back(was);
        Bericht(was);
    }
}

void SoakLauf::Bericht(const std::string& grund) const {
    std::fprintf(stderr, "soak: FAILURE (seed %llu) in %s: %s\n", (unsigned long long)o_.seed, vorgangName_.c_str(),
                 grund.c_str());
    for (const std::string& z : u_.verlauf.Zeilen()) std::fprintf(stderr, "  %s\n", z.c_str());
    const std::string geschrieben = u_.sim.Written();
    std::fprintf(stderr, "  the controller's last bytes: %s\n",
                 Dargestellt(geschrieben.substr(geschrieben.size() - std::min<std::size_t>(geschrieben.size(), 300)).c_str()).c_str());
    std::fflush(stderr);
}

std::string SoakLauf::Zusammenfassung(double stunden, double sekunden) const {
    const SoakMessung& a = messungen_.Start();
    const SoakMessung& b = messungen_.Letzte();
    char s[768];
    std::snprintf(s, sizeof s,
                  "soak: seed %llu, %.2f h simulated in %.0f s, %llu operations, %llu faults (%llu strict spells, "
                  "%llu line drops), %llu failures, %llu requests matched, %llu programs read back, %llu stops, worst "
                  "stop %.2f ms (%llu late while the machine stalled, worst stall %.2f ms), memory %.1f MiB -> %.1f MiB (first eighth %.2f, last %.2f), descriptors %d -> %d, "
                  "protocol log %.1f KiB, %llu recoveries",
                  (unsigned long long)o_.seed, stunden, sekunden, (unsigned long long)vorgaenge_,
                  (unsigned long long)stoerungen_, (unsigned long long)spells_, (unsigned long long)inis_,
                  (unsigned long long)fehlschlaege_, (unsigned long long)u_.abgleich.Verglichen(),
                  (unsigned long long)gelesen_, (unsigned long long)stopps_, schlimmsterStopp_,
                  (unsigned long long)gestockt_, u_.stockungen.Schlimmste(), a.rssBytes / 1048576.0,
                  b.rssBytes / 1048576.0, messungen_.Erstes_Achtel().rssBytes / 1048576.0,
                  messungen_.Letztes_Achtel().rssBytes / 1048576.0, a.deskriptoren,
                  b.deskriptoren, protokollHoechst_ / 1024.0, (unsigned long long)erholungen_);
    return s;
}
