#include "bench/soak_stoerung.h"

#include <chrono>
#include <thread>

#include "bench/soak_umgebung.h"
#include "bench/soak_vorgang.h"

namespace {

using namespace std::chrono_literals;

// Noise: text, and now and then the bytes that end or open replies; never
// a lone ACK, which no link can tell from the answer it stands in for.
std::string Rauschen(uint32_t z) {
    static constexpr char kBytes[] = "abcXYZ0123 ,.#*\x06\x15\r\x07\x02\x03@E";
    std::mt19937 r(z);
    std::string s;
    for (uint32_t i = 0, n = 2 + z % 40; i < n; ++i) s += kBytes[r() % (sizeof kBytes - 1)];
    return s;
}

// How late the replies come that noise amid an operation runs ahead of.
std::chrono::milliseconds Verzug(uint32_t z) { return std::chrono::milliseconds(2 + (z >> 1) % 30); }

}  // namespace

SoakStoerung SoakStoerung::Ziehen(std::mt19937_64& zufall, double p, const SoakVorgang& v) {
    SoakStoerung s;
    const double w = std::uniform_real_distribution<double>(0, 1)(zufall);
    for (auto& x : s.z) x = uint32_t(zufall());
    if (w >= p) return s;
    s.art = Art(1 + s.z[0] % 5);
    // A job of the controller goes on without the line; the link set up
    // again would find it busy. And a rule needs the request it takes.
    if (s.art == Art::Leitung && v.MitAuftrag()) s.art = Art::Spaet;
    if (s.art == Art::Verloren && v.Erste_Anfrage().empty()) s.art = Art::Stille;
    return s;
}

void SoakStoerung::Anlegen(SoakUmgebung& u, const SoakVorgang& v) const {
    switch (art) {
        case Art::Keine: break;
        case Art::Rauschen:
            // On an idle line, or amid the operation ahead of its late
            // replies, where it falls into a reply or stands in for one.
            if (z[2] % 2 == 0) {
                u.sim.InjectGarbage(Rauschen(z[1]));
                std::this_thread::sleep_for(2ms);
                break;
            }
            u.sim.SetLate(Verzug(z[2]));
            rauscher = std::jthread([&u, text = Rauschen(z[1]), ms = (z[2] >> 8) % Verzug(z[2]).count()] {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                u.sim.InjectGarbage(text);
            });
            break;
        case Art::Spaet: u.sim.SetLate(std::chrono::milliseconds(1 + z[1] % 300)); break;
        case Art::Verloren: u.sim.AddRule({v.Erste_Anfrage(), {}, 1}); break;
        case Art::Stille: u.sim.SetSilent(true); break;
        case Art::Leitung:
            generation = u.sim.LineGeneration();
            u.sim.DropLine(std::chrono::milliseconds(5 + z[1] % 45));
            break;
    }
}

void SoakStoerung::Aufheben(SoakUmgebung& u) const {
    switch (art) {
        case Art::Spaet:
            u.sim.SetLate(0ms);
            // The late replies are still on their way and hold back the ones
            // behind them: the fault lasts until they are out.
            std::this_thread::sleep_for(std::chrono::milliseconds(1 + z[1] % 300) + 5ms);
            break;
        case Art::Rauschen:
            // The noise stays in the operation's span; a true reply it stood
            // in for may still be on its way when the next one begins.
            if (rauscher.joinable()) rauscher.join();
            u.sim.SetLate(0ms);
            std::this_thread::sleep_for(2ms);
            break;
        case Art::Verloren: u.sim.ClearRules(); break;
        case Art::Stille: u.sim.SetSilent(false); break;
        case Art::Leitung: {
            const auto bis = std::chrono::steady_clock::now() + 5s;
            while ((u.sim.LineGeneration() <= generation || u.sim.DevicePath().empty()) &&
                   std::chrono::steady_clock::now() < bis)
                 std::this_thread::sleep_for(1ms);
            // What was in flight when the line went is lost on the way.
            u.sim.TakeArrivals();
            u.abgleich.Verwerfen();
            u.Ini();
            break;
        }
        default: break;
    }
}

const char* SoakStoerung::Name() const {
    static constexpr const char* kNamen[] = {"none", "noise", "late replies", "lost reply", "silence", "line dropped"};
    return kNamen[int(art)];
}

sim::StrictProfile Soak_Strenge(std::mt19937_64& zufall) {
    const uint64_t z = zufall();
    sim::StrictProfile p;
    p.plainAcks = z & 1;
    if (z & 2) p.uartSeed = uint32_t(z >> 32);
    p.busy = sim::StrictProfile::Busy((z >> 2) % 3);
    p.stoppedFinal = sim::StrictProfile::StoppedFinal((z >> 4) % 3);
    p.strictErrors = (z >> 6) & 1;
    p.opaqueText = (z >> 7) & 1;
    if ((z >> 8) & 1) p.linePause = std::chrono::milliseconds((z >> 9) % 20);
    if ((z >> 14) % 4 == 0) p.atLimit = 0.1 + double((z >> 16) % 30) / 100;
    return p;
}

std::string Soak_Strenge_Name(const sim::StrictProfile& p) {
    std::string s;
    auto dazu = [&s](bool an, const char* name) {
        if (an) s += (s.empty() ? "" : "+") + std::string(name);
    };
    dazu(p.plainAcks, "plain-acks");
    dazu(bool(p.uartSeed), "uart");
    dazu(p.busy == sim::StrictProfile::Busy::Error, "busy-error");
    dazu(p.busy == sim::StrictProfile::Busy::Drop, "busy-drop");
    dazu(p.stoppedFinal != sim::StrictProfile::StoppedFinal::None, "stopped-final");
    dazu(p.strictErrors, "strict-errors");
    dazu(p.opaqueText, "opaque-text");
    dazu(p.linePause.count() > 0, "line-pause");
    dazu(p.atLimit > 0, "at-limit");
    return s.empty() ? "none" : s;
}
