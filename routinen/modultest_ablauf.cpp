#include "routinen/modultest_ablauf.h"

#include <chrono>
#include <thread>
#include <vector>

#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"

namespace {

constexpr const char* kTrennlinie = "----------------------------";
// Time the controller gets after a reset and after each query.
constexpr auto kPause = std::chrono::milliseconds(50);
constexpr int32_t kFahrtMS = 60000;

// What follows a step's operation.
enum class Danach { Nichts, Pause };

struct Schritt {
    const char* name;
    std::function<void(TkeloCOM&)> tun;
    Danach danach = Danach::Nichts;
    bool bLeerzeileDavor = false;  // in the protocol log
};

const char* Modulname(int32_t iModulTyp) { return iModulTyp == 2 ? "Quandro" : ""; }

void Ueberschrift(const TkeloCOM& link) {
    Protokolldatei_schreiben(kTrennlinie);
    const std::string titel = std::string("Funktionsüberprüfung ") + Modulname(link.iModulTyp);
    Protokolldatei_schreiben(titel.c_str());
    Protokolldatei_schreiben("");
}

void Schluss() {
    Protokolldatei_schreiben("");
    Protokolldatei_schreiben("");
    Protokolldatei_schreiben(kTrennlinie);
}

// A wait ends with its own final answer; the test gives it twice its time.
Schritt Warten(uint32_t iMS) {
    return {"Wartezeit_einfuegen", [iMS](TkeloCOM& k) {
                k.Wartezeit_einfuegen(iMS);
                k.WaitResp(static_cast<int32_t>(2 * iMS));
            }};
}

Schritt Fahrt(int32_t x, int32_t y, int32_t z) {
    return {"xyzVektor_fahren", [=](TkeloCOM& k) {
                k.xyzVektor_fahren(1, 1, x, y, z);
                k.WaitResp(kFahrtMS);
            }};
}

Schritt Position(char achse, bool bLeerzeileDavor = false) {
    return {"Position_abfragen",
            [achse](TkeloCOM& k) {
                char szPosition[32] = {};
                k.Position_abfragen(achse, szPosition, sizeof szPosition);
            },
            Danach::Pause, bLeerzeileDavor};
}

Schritt Ausgang(int8_t nr, int8_t wert) {
    return {"Ausgangssignal_setzen", [=](TkeloCOM& k) { k.Ausgangssignal_setzen(nr, wert); }};
}

template <typename Abfrage>
Schritt Text(const char* name, Abfrage abfrage) {
    return {name,
            [abfrage](TkeloCOM& k) {
                char szText[32] = {};
                (k.*abfrage)(szText, sizeof szText);
            },
            Danach::Pause};
}

std::vector<Schritt> Schritte_bauen() {
    std::vector<Schritt> s = {
        {"Reset_ausfuehren", [](TkeloCOM& k) { k.Reset_ausfuehren(); }, Danach::Pause},
        Text("Version_abfragen", &TkeloCOM::Version_abfragen),
        Text("Status_abfragen", &TkeloCOM::Status_abfragen),
        {"Ansteuersignale_einstellen", [](TkeloCOM& k) { k.Ansteuersignale_einstellen(0); }},
        {"Halb_Vollschrittbetrieb_einstellen", [](TkeloCOM& k) { k.Halb_Vollschrittbetrieb_einstellen(0, 0); }},
        {"Ansteuersignale_einstellen", [](TkeloCOM& k) { k.Ansteuersignale_einstellen(1); }},
        {"Startgeschwindigkeit_einstellen", [](TkeloCOM& k) { k.Startgeschwindigkeit_einstellen(200); }},
        {"Rampenlaenge_einstellen", [](TkeloCOM& k) { k.Rampenlaenge_einstellen(100); }},
        {"Endgeschwindigkeit_einstellen", [](TkeloCOM& k) { k.Endgeschwindigkeit_einstellen(1, 400); }},
        Warten(0),
        Warten(123),
    };
    for (int8_t nr = 1; nr <= 4; ++nr) {
        s.push_back(Ausgang(nr, 1));
        s.push_back(Ausgang(nr, 0));
    }
    const auto positionen = [&s](bool bLeerzeile) {
        for (char achse : {'x', 'y', 'z', 'u'}) s.push_back(Position(achse, bLeerzeile && achse == 'x'));
    };
    positionen(true);
    s.push_back(Fahrt(20, 0, 0));
    s.push_back(Fahrt(0, 40, 0));
    s.push_back(Fahrt(0, 0, 60));
    s.push_back({"uVektor_fahren", [](TkeloCOM& k) {
                     k.uVektor_fahren(1, 1, 80);
                     k.WaitResp(kFahrtMS);
                 }});
    positionen(false);
    return s;
}

const std::vector<Schritt>& Schritte() {
    static const std::vector<Schritt> schritte = Schritte_bauen();
    return schritte;
}

// Runs the steps in order; a raised code ends them, the rest are reported
// as skipped.
class Lauf {
public:
    Lauf(RoutinenSink& s, const ModultestMelder& melden) : s_(s), melden_(melden) {}

    void Alle() {
        for (const Schritt& schritt : Schritte()) Einer(schritt);
    }

    void Rest_ueberspringen() {
        for (std::size_t i = static_cast<std::size_t>(nummer_); i < Schritte().size(); ++i)
            Melden({static_cast<int>(i) + 1, Schritte()[i].name, "", "", 0, Schrittausgang::Uebersprungen, 0});
    }

private:
    void Einer(const Schritt& schritt) {
        ++nummer_;
        ModultestSchritt m{nummer_, schritt.name, "", "", 0, Schrittausgang::Bestanden, 0};
        // An interrupted test fails the step it stopped at, even one that
        // the stop itself ended (a move's "!").
        if (s_.Abgebrochen()) Unterbrochen(m);
        if (schritt.bLeerzeileDavor) Protokolldatei_schreiben("");
        const auto start = std::chrono::steady_clock::now();
        TkeloCOM& link = s_.Link();
        const uint64_t iAntwortenVorher = link.Antworten();
        try {
            schritt.tun(link);
        } catch (int& e) {
            m.ausgang = Schrittausgang::Fehlgeschlagen;
            m.fehler = e;
        }
        m.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        m.anfrage = link.Anfrage();
        // A step that got no reply at all shows none, not the step's before.
        if (link.Antworten() != iAntwortenVorher) m.antwort = link.Antwort();
        if (!m.fehler && s_.Abgebrochen()) Unterbrochen(m);
        Melden(m);
        if (m.fehler) throw m.fehler;
        if (schritt.danach == Danach::Pause) std::this_thread::sleep_for(kPause);
    }

    [[noreturn]] void Unterbrochen(ModultestSchritt& m) const {
        m.ausgang = Schrittausgang::Fehlgeschlagen;
        m.fehler = ACK_ERROR;
        Melden(m);
        throw m.fehler;
    }

    void Melden(const ModultestSchritt& m) const {
        if (melden_) melden_(m);
    }

    RoutinenSink& s_;
    const ModultestMelder& melden_;
    int nummer_ = 0;
};

}  // namespace

int32_t Modultest_Ablauf(RoutinenSink& s, const ModultestMelder& melden) {
    Lauf lauf(s, melden);
    try {
        s.Leeren();
        s.Zeile("ModulTest - Start", Zeilenart::Rahmen);
        Ueberschrift(s.Link());
        lauf.Alle();
        Schluss();
        s.Zeile("ModulTest - Ende", Zeilenart::Rahmen);
        return 0;
    } catch (int& e) {
        s.Zeile("ModulTest - Fehler", Zeilenart::Fehler);
        Protokolldatei_schreiben(("Exception->iFehler=" + std::to_string(e)).c_str());
        s.Befehl_beenden(e);
        lauf.Rest_ueberspringen();
        return e;
    }
}
