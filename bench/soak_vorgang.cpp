#include "bench/soak_vorgang.h"

#include <chrono>
#include <thread>

#include "bench/soak_umgebung.h"
#include "common/fehler.h"
#include "link/keloCOMv1.h"
#include "routinen/abfragen.h"
#include "routinen/achsen.h"
#include "routinen/einstellungen.h"
#include "routinen/modultest_ablauf.h"
#include "routinen/routinenrahmen.h"
#include "routinen/sofortbefehl.h"
#include "routinen/transfer_ablauf.h"

namespace {

using Art = SoakVorgang::Art;
using Clock = std::chrono::steady_clock;

// Weights per 10000 operations.
struct Gewicht {
    Art art;
    int anteil;
};
constexpr Gewicht kGewichte[] = {
    {Art::Einstellung, 2600}, {Art::Ausgang, 1500}, {Art::Abfrage, 1200}, {Art::Position, 1000},
    {Art::Fahrt, 600},        {Art::Referenzfahrt, 60}, {Art::Schreiben, 600}, {Art::Lesen, 400},
    {Art::Header, 250},       {Art::Groesse, 250},   {Art::Loeschen, 300},  {Art::FAT, 500},
    {Art::GesamteFAT, 150},   {Art::AlleLoeschen, 20}, {Art::Befehlsdatei, 300}, {Art::Modultest, 1},
};

constexpr int32_t kLeererPlatz = CONTROLLER_ERROR_BASE + 3;  // "E3": no program there

Art Art_ziehen(std::mt19937_64& z) {
    int summe = 0;
    for (const Gewicht& g : kGewichte) summe += g.anteil;
    int w = std::uniform_int_distribution<int>(0, summe - 1)(z);
    for (const Gewicht& g : kGewichte) {
        if (w < g.anteil) return g.art;
        w -= g.anteil;
    }
    return Art::Abfrage;
}

int32_t Einstellung(SoakSink& s, const SoakVorgang& v) {
    const auto& z = v.z;
    return Routine_ausfuehren(s, [&] {
        switch (z[0] % 6) {
            case 0: Ansteuerung_senden(s, int8_t(z[2] % 2), int8_t(z[3] % 2), int8_t(z[4] % 3), true); break;
            case 1: Startgeschwindigkeit_senden(s, int32_t(50 + z[2] % 450)); break;
            case 2: Rampenlaenge_senden(s, uint16_t(10 + z[2] % 490)); break;
            case 3: Endgeschwindigkeit_senden(s, uint16_t(1000 + z[2] % 4000), z[3] % 3 != 0, z[3] % 3 != 1); break;
            case 4: E1Verknuepfung_senden(s, z[2] % 2); break;
            default: Wartezeit_senden(s, int32_t(z[2] % 500)); break;
        }
    });
}

int32_t Abfrage(SoakSink& s, const SoakVorgang& v) {
    return Routine_ausfuehren(s, [&] {
        switch (v.z[0] % 3) {
            case 0: Abfrage_ausfuehren(s, &TkeloCOM::Status_abfragen); break;
            case 1: Abfrage_ausfuehren(s, &TkeloCOM::Version_abfragen); break;
            default: Eingang_abfragen(s, "0123456789ABCDEFG"[v.z[2] % 17]); break;
        }
    });
}

// The window's thread: when the move has gone out, at a random moment, maybe
// a query first, then Stop or Halt. The time of the call is kept.
void Stoppen_lassen(SoakUmgebung& u, const SoakVorgang& v, uint64_t fahrtenVorher, Clock::time_point& aufruf) {
    u.fensterThread.Starten([&u, &v, fahrtenVorher, &aufruf] {
        // The move may wait at its gate for an answer given up on.
        const auto bis = Clock::now() + std::chrono::seconds(5);
        while (u.fahrten <= fahrtenVorher && Clock::now() < bis) std::this_thread::sleep_for(std::chrono::microseconds(50));
        std::this_thread::sleep_for(std::chrono::microseconds(v.z[4] % 3000));
        u.fenster.Neu();
        if (v.z[5] % 4 == 0) Routine_ausfuehren(u.fenster, [&] { Position_abfragen(u.fenster, "xyz"[v.z[5] % 3]); });
        aufruf = Clock::now();
        Sofort_ausfuehren(u.fenster, v.Stopp() ? &TkeloCOM::Achsen_stoppen : &TkeloCOM::Achsen_anhalten);
    });
}

// Whether the controller answered the stop ahead of the move's NAK: the
// move is then released by the "!" and refused, by the controller's order.
bool Stopp_vor_dem_NAK(SoakUmgebung& u, const std::string& antwort) {
    const auto bis = Clock::now() + std::chrono::seconds(1);
    for (;;) {
        const std::string w = u.sim.Written();
        const auto stopp = w.rfind(antwort), nak = w.rfind('\x15');
        if (stopp != std::string::npos && nak != std::string::npos && nak > stopp) return true;
        if (Clock::now() >= bis) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Large moves are halted or stopped; small ones end by themselves.
SoakErgebnis Fahrt(SoakUmgebung& u, const SoakVorgang& v) {
    SoakErgebnis e;
    const bool bStoppen = v.art == Art::Referenzfahrt || v.z[2] % 100 < 60;
    const int32_t weg = int32_t(bStoppen ? 20000 + v.z[0] % 200000 : 1 + v.z[0] % 50) * (v.z[1] % 2 ? 1 : -1);
    Clock::time_point aufruf{};
    if (bStoppen) Stoppen_lassen(u, v, u.fahrten, aufruf);
    SoakSink& s = u.arbeiter;
    e.code = Routine_ausfuehren(s, [&] {
        if (v.art == Art::Referenzfahrt) {
            // The x-y-z button, or the u button alone.
            Achsenwahl w{v.z[0] % 2 == 0, v.z[0] % 3 == 0, true, false};
            if (v.z[0] % 5 == 0) w = {false, false, false, true};
            Referenzfahrt(s, w);
        } else if (v.z[1] % 5 == 0) {
            uVektor_fahren(s, true, weg);
        } else {
            xyzVektor_fahren(s, true, v.z[1] % 3 == 0 ? 0 : weg, v.z[1] % 3 == 1 ? 0 : weg / 2, v.z[1] % 7 == 0 ? weg : 0);
        }
    });
    if (!bStoppen) return e;
    u.fensterThread.Warten();
    e.stoppGesendet = true;
    if (u.fenster.Fehler() && !e.code) e.code = u.fenster.Fehler();
    if (e.code == NAK_ERROR && Stopp_vor_dem_NAK(u, v.Stopp() ? "@RS\x06" : "@B\x06")) e.erwartet = NAK_ERROR;
    const char* anfrage = v.Stopp() ? "@S\r" : "@B\r";
    const auto an = u.sim.LastArrival(anfrage);
    if (an && *an >= aufruf) {
        e.stoppMs = std::chrono::duration<double, std::milli>(*an - aufruf).count();
        e.stockungMs = u.stockungen.Laengste(aufruf, *an);
    }
    e.geschriebenMs = std::chrono::duration<double, std::milli>(u.sofortGeschrieben.load() - aufruf).count();
    return e;
}

// Writes the pair into slot n; the controller must then hold it as written.
SoakErgebnis Schreiben(SoakUmgebung& u, const SoakVorgang& v, bool bGestoert) {
    SoakErgebnis e;
    const int n = v.Platz();
    const Programmpaar paar{u.Pfad("header" + std::to_string(n) + ".txt"), u.Pfad("programm" + std::to_string(n) + ".txt")};
    v.programm.Schreiben(paar.header, paar.programm);
    e.code = Schreiben_Ablauf(u.arbeiter, n, paar);
    u.erwartet[n].reset();
    if (bGestoert || e.code) return e;
    u.erwartet[n] = v.programm;
    const sim::StoredProgram p = u.sim.Slot(n);
    if (p.header != v.programm.header || p.body != v.programm.rumpf)
        e.befund = "slot " + std::to_string(n) + " does not hold the program as written";
    return e;
}

SoakErgebnis Lesen(SoakUmgebung& u, const SoakVorgang& v, bool bGestoert) {
    SoakErgebnis e;
    const int n = v.Platz();
    e.code = Lesen_Ablauf(u.arbeiter, n);
    if (bGestoert || e.code || !u.erwartet[n]) return e;
    std::string gelesen;
    for (const std::string& a : u.arbeiter.Antworten()) gelesen += a;
    e.gelesen = true;
    if (gelesen != u.erwartet[n]->Lesetext(n))
        e.befund = "program " + std::to_string(n) + " does not read back byte for byte";
    return e;
}

SoakErgebnis Programmspeicher(SoakUmgebung& u, const SoakVorgang& v, bool bGestoert) {
    SoakErgebnis e;
    const int n = v.Platz();
    SoakSink& s = u.arbeiter;
    switch (v.art) {
        case Art::Header: e.code = Header_Ablauf(s, n); break;
        case Art::Groesse:
            e.code = Groesse_Ablauf(s, n, {u.Pfad("header" + std::to_string(n) + ".txt"),
                                           u.Pfad("programm" + std::to_string(n) + ".txt")});
            break;
        case Art::Loeschen:
            e.code = Loeschen_Ablauf(s, n);
            u.erwartet[n].reset();
            break;
        case Art::FAT: e.code = FAT_Ablauf(s, n); break;
        case Art::GesamteFAT: e.code = Gesamte_FAT_Ablauf(s); break;
        default:
            e.code = Alle_loeschen_Ablauf(s);
            for (auto& p : u.erwartet) p.reset();
    }
    (void)bGestoert;
    return e;
}

}  // namespace

SoakVorgang SoakVorgang::Ziehen(std::mt19937_64& zufall) {
    SoakVorgang v;
    v.art = Art_ziehen(zufall);
    for (auto& x : v.z) x = uint32_t(zufall());
    if (v.art == Art::Schreiben) v.programm = SoakProgramm::Zufaellig(zufall);
    if (v.art == Art::Befehlsdatei) v.befehlsdatei = Soak_Befehlsdatei(zufall);
    return v;
}

bool SoakVorgang::Stopp() const { return z[3] % 1000 < 5; }

bool SoakVorgang::MitAuftrag() const {
    return art == Art::Fahrt || art == Art::Referenzfahrt || art == Art::Befehlsdatei || art == Art::Modultest ||
           art == Art::Loeschen || art == Art::AlleLoeschen || (art == Art::Einstellung && z[0] % 6 == 5);
}

std::string SoakVorgang::Erste_Anfrage() const {
    const std::string n = std::to_string(Platz());
    switch (art) {
        case Art::Einstellung:
            if (z[0] % 6 == 1) return "#S" + std::to_string(50 + z[2] % 450) + "\r";
            if (z[0] % 6 == 2) return "#R" + std::to_string(10 + z[2] % 490) + "\r";
            return "";
        case Art::Ausgang: {
            const std::string nr = std::to_string(z[0] % 4 + 1), an = std::to_string(z[2] % 2);
            if (z[3] % 5 == 0) return "I2C-A" + nr + "," + an + "\r";
            if (nr == "1" && z[4] % 5 == 0) return "WD," + an + "\r";
            return "A" + nr + "," + an + "\r";
        }
        case Art::Lesen: return "*PR" + n + "\r";
        case Art::Header: return "*PR" + n + "H\r";
        case Art::FAT: return "*FR" + n + "\r";
        case Art::GesamteFAT: return "*FRa\r";
        case Art::Schreiben: return "*PW" + n + "\r";
        default: return "";
    }
}

const char* SoakVorgang::Name() const {
    static constexpr const char* kNamen[] = {"setting", "output", "query", "position", "move", "reference run",
                                             "program write", "program read", "header read", "size", "delete",
                                             "FAT", "whole FAT", "delete all", "command file", "module test"};
    return kNamen[int(art)];
}

SoakErgebnis Soak_ausfuehren(SoakUmgebung& u, SoakVorgang v, bool bGestoert) {
    u.arbeiter.Neu();
    const int n = v.Platz();
    const bool bBelegt = u.sim.SlotOccupied(n);
    // A write into a taken slot would only be refused: the operator deletes first.
    if (v.art == Art::Schreiben && bBelegt) v.art = Art::Loeschen;
    SoakErgebnis e;
    switch (v.art) {
        case Art::Einstellung: e.code = Einstellung(u.arbeiter, v); break;
        case Art::Ausgang:
            e.code = Routine_ausfuehren(u.arbeiter, [&] {
                Ausgang_setzen(u.arbeiter, int(v.z[0] % 4 + 1), int(v.z[2] % 2), v.z[3] % 5 == 0, v.z[4] % 5 == 0);
            });
            break;
        case Art::Abfrage: e.code = Abfrage(u.arbeiter, v); break;
        case Art::Position:
            e.code = Routine_ausfuehren(u.arbeiter, [&] { Position_abfragen(u.arbeiter, "xyz"[v.z[0] % 3]); });
            break;
        case Art::Fahrt:
        case Art::Referenzfahrt: e = Fahrt(u, v); break;
        case Art::Schreiben: e = Schreiben(u, v, bGestoert); break;
        case Art::Lesen: e = Lesen(u, v, bGestoert); break;
        case Art::Befehlsdatei:
            Soak_Datei_schreiben(u.Pfad("befehle.txt"), v.befehlsdatei);
            e.code = Befehlsdatei_Ablauf(u.arbeiter, u.Pfad("befehle.txt"));
            break;
        case Art::Modultest: e.code = Modultest_Ablauf(u.arbeiter); break;
        default: e = Programmspeicher(u, v, bGestoert);
    }
    // As the window does: the routine is over, well or not.
    u.arbeiter.Link().Abbrechen(e.code == 0);
    const bool bPlatzFrage = v.art == Art::Lesen || v.art == Art::Header || v.art == Art::Loeschen;
    if (bPlatzFrage && !bBelegt) e.erwartet = kLeererPlatz;
    return e;
}
