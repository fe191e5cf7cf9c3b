#include "cli/cli_befehle.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "routinen/file_lines.h"
#include "common/pane_flags.h"
#include "common/steuerzeichen.h"
#include "routinen/modultest_ablauf.h"
#include "routinen/programm_transfer.h"
#include "routinen/abfragen.h"
#include "routinen/achsen.h"
#include "routinen/einstellungen.h"
#include "routinen/sofortbefehl.h"
#include "routinen/transfer_ablauf.h"
#include "cli/exitstatus.h"
#include "cli/modultest_bericht.h"
#include "cli/oeffnungsgrund.h"
#include "link/keloCOMv1.h"
#include "platform/port_names.h"

namespace {

Programmpaar Paar(const Aufruf& a, std::size_t ab) { return {a.argumente[ab + 1], a.argumente[ab]}; }

// A query whose text is the result.
int32_t Abfrage(CliSink& s, void (TkeloCOM::*abfrage)(char*, size_t)) {
    return Routine_ausfuehren(s, [&] { s.Ergebnis({Abfrage_ausfuehren(s, abfrage)}); });
}

// The replies from `ab` on without their end characters; empty ones left out.
std::vector<std::string> Textzeilen(const std::vector<std::string>& antworten, std::size_t ab, std::size_t vorne = 0) {
    std::vector<std::string> zeilen;
    for (std::size_t i = ab; i < antworten.size(); ++i) {
        std::string z = StripTrailing(antworten[i]);
        z.erase(0, std::min(vorne, z.size()));
        if (!z.empty()) zeilen.push_back(z);
    }
    return zeilen;
}

// An empty header is a bare STX, and as a reply's first character STX ends
// nothing: it comes glued to the first program line. Cut apart, the read
// looks as with a header of its own.
std::vector<std::string> Kopf_abgetrennt(std::vector<std::string> antworten) {
    if (antworten.size() > 1 && antworten[1].size() > 1 && antworten[1][0] == zeichen::STX) {
        antworten.insert(antworten.begin() + 2, antworten[1].substr(1));
        antworten[1].resize(1);
    }
    return antworten;
}

int32_t Lesen(const Aufruf& a, CliSink& s) {
    const int n = Slot_oder_alle(a.argumente[0]);
    const int32_t e = a.bNurHeader ? Header_Ablauf(s, n) : Lesen_Ablauf(s, n);
    // The header comes after its echo "*PR<n>H "; a program after the echo reply.
    const std::size_t echo = ("*PR" + std::to_string(n) + "H ").size();
    s.Ergebnis(a.bNurHeader ? Textzeilen(s.Antworten(), 0, echo) : Textzeilen(Kopf_abgetrennt(s.Antworten()), 1));
    return e;
}

int32_t Senden(const Aufruf& a, CliSink& s) {
    return Routine_ausfuehren(s, [&] {
        for (const std::string& anfrage : a.argumente) Befehl_senden(s, anfrage);
    });
}

int32_t Mit_Ergebnis(CliSink& s, int32_t e) {
    s.Ergebnis(Textzeilen(s.Antworten(), s.Antworten().empty() ? 0 : s.Antworten().size() - 1));
    return e;
}

// The report asked for, written; a failure to write it turns a success
// into kDateiNichtSendbar.
int32_t Bericht_schreiben(const Aufruf& a, const ModultestBericht& bericht, int32_t e) {
    if (a.junit.empty()) return e;
    const auto problem = bericht.Junit_schreiben(a.junit, a.port);
    if (problem) std::fprintf(stderr, "pelto: %s\n", problem->c_str());
    return problem && e == 0 ? kDateiNichtSendbar : e;
}

// The window's module test, each step shown as it ends.
int32_t Modultest(const Aufruf& a, CliSink& s) {
    ModultestBericht bericht(a.ausgabe, s.Kanal());
    s.Austausche_zeigen(false);
    const int32_t e = Modultest_Ablauf(s, [&bericht](const ModultestSchritt& m) { bericht.Schritt(m); });
    return Bericht_schreiben(a, bericht, e);
}

using Ausfuehrung = std::function<int32_t(const Aufruf&, CliSink&)>;

const std::map<std::string, Ausfuehrung>& Befehle() {
    static const std::map<std::string, Ausfuehrung> befehle = {
        {"version", [](const Aufruf&, CliSink& s) { return Abfrage(s, &TkeloCOM::Version_abfragen); }},
        {"status", [](const Aufruf&, CliSink& s) { return Abfrage(s, &TkeloCOM::Status_abfragen); }},
        {"position",
         [](const Aufruf& a, CliSink& s) {
             return Routine_ausfuehren(s, [&] { s.Ergebnis({Position_abfragen(s, a.argumente[0][0])}); });
         }},
        {"send", Senden},
        {"run", [](const Aufruf& a, CliSink& s) { return Befehlsdatei_Ablauf(s, a.argumente[0]); }},
        {"write",
         [](const Aufruf& a, CliSink& s) { return Schreiben_Ablauf(s, Slot_oder_alle(a.argumente[0]), Paar(a, 1)); }},
        {"read", Lesen},
        {"size", [](const Aufruf& a, CliSink& s) { return Mit_Ergebnis(s, Groesse_Ablauf(s, std::nullopt, Paar(a, 0))); }},
        {"delete",
         [](const Aufruf& a, CliSink& s) {
             const int n = Slot_oder_alle(a.argumente[0]);
             return n ? Loeschen_Ablauf(s, n) : Alle_loeschen_Ablauf(s);
         }},
        {"fat",
         [](const Aufruf& a, CliSink& s) {
             const int n = a.argumente.empty() ? 0 : Slot_oder_alle(a.argumente[0]);
             const int32_t e = n ? FAT_Ablauf(s, n) : Gesamte_FAT_Ablauf(s);
             s.Ergebnis(Textzeilen(s.Antworten(), 0));
             return e;
         }},
        {"reset", [](const Aufruf&, CliSink& s) { return Sofort_ausfuehren(s, &TkeloCOM::Reset_ausfuehren); }},
        {"stop", [](const Aufruf&, CliSink& s) { return Sofort_ausfuehren(s, &TkeloCOM::Achsen_stoppen); }},
        {"halt", [](const Aufruf&, CliSink& s) { return Sofort_ausfuehren(s, &TkeloCOM::Achsen_anhalten); }},
        {"modultest", Modultest},
        {"output",
         [](const Aufruf& a, CliSink& s) {
             const int n = a.argumente[0][0] - '0';
             const int m = a.argumente[1] == "on" ? 1 : 0;
             return Routine_ausfuehren(s, [&] { Ausgang_setzen(s, n, m, a.bI2C, a.bWatchdog); });
         }},
        {"input",
         [](const Aufruf& a, CliSink& s) {
             return Mit_Ergebnis(s, Routine_ausfuehren(s, [&] { Eingang_abfragen(s, Eingang_von(a.argumente[0])); }));
         }},
        {"move",
         [](const Aufruf& a, CliSink& s) {
             const auto k = [&a](std::size_t i) { return static_cast<int32_t>(std::stol(a.argumente[i])); };
             return Routine_ausfuehren(s, [&] { xyzVektor_fahren(s, !a.bAbsolut, k(0), k(1), k(2)); });
         }},
    };
    return befehle;
}

bool Ist_Pfad(const std::string& port) { return port.find('/') != std::string::npos; }

// Why the port did not open: a device that is missing, busy or not
// permitted; a console name given its device through PELTO_COM<n> names
// the variable.
void Oeffnung_erklaeren(CliSink& s, const std::string& port) {
    const int n = Ist_Pfad(port) ? 0 : platform::ComNumberFromName(port);
    std::string text = Oeffnungsgrund(Ist_Pfad(port) ? port : platform::ComDevicePath(n));
    const std::string variable = "PELTO_COM" + std::to_string(n);
    if (n > 0 && std::getenv(variable.c_str()) && !text.empty()) text = variable + "=" + text;
    if (!text.empty()) s.Zeile(text, Zeilenart::Hinweis);
}

// Goes out even when the connection check fails.

bool Ohne_Verbindungstest(const Aufruf& a) { return a.befehl == "reset" || a.befehl == "stop"; }

}  // namespace

std::optional<std::string> Dateien_pruefen(const Aufruf& a) {
    if (a.befehl == "run") return Befehlsdatei_pruefen(a.argumente[0]);
    if (a.befehl == "write") return Programmpaar_pruefen(Paar(a, 1));
    if (a.befehl == "size") return Programmpaar_pruefen(Paar(a, 0));
    // The report of a test that ran must not be lost at its end.
    if (!a.junit.empty()) return ModultestBericht::Junit_pruefen(a.junit);
    return std::nullopt;
}

bool Stoppbar(const Aufruf& a) {
    return a.befehl == "send" || a.befehl == "run" || a.befehl == "write" || a.befehl == "size" ||
           a.befehl == "modultest" || a.befehl == "move";
}

bool Mit_Fortschritt(const Aufruf& a) {
    return a.ausgabe == Ausgabe::Text &&
           (a.befehl == "write" || a.befehl == "read" || a.befehl == "size" || a.befehl == "run");
}

int32_t Verbinden(const Aufruf& a, CliSink& s) {
    bool bOffen = false;
    try {
        if (Ist_Pfad(a.port))
            s.Link().Init(a.port, a.baud);
        else
            s.Link().Init(static_cast<int8_t>(platform::ComNumberFromName(a.port)), a.baud);
        bOffen = true;
        s.Link().Connect();
    } catch (int& e) {
        // A controller left in the middle of a program text answers no
        // connection check, but still takes a reset or a stop.
        if (!bOffen || !Ohne_Verbindungstest(a)) {
            s.Fehler_melden(e);
            if (!bOffen) Oeffnung_erklaeren(s, a.port);
            return e;
        }
        s.Zeile("connection test failed with " + Fehlermeldung(e) + "; the " + a.befehl + " is sent all the same",
                Zeilenart::Hinweis);
        return 0;
    }
    s.Zeile(a.port + " " + std::to_string(a.baud) + " ist initialisiert!", Zeilenart::Rahmen);
    return 0;
}

void Verbindung_berichten(const Aufruf& a, CliSink& s, int32_t iFehler) {
    if (a.befehl != "modultest" || a.junit.empty()) return;
    ModultestBericht bericht(a.ausgabe, s.Kanal());
    bericht.Schritt({0, "Verbinden", "", "", 0, Schrittausgang::Fehlgeschlagen, iFehler});
    Bericht_schreiben(a, bericht, iFehler);
}

int32_t Befehl_ausfuehren(const Aufruf& a, CliSink& s) { return Befehle().at(a.befehl)(a, s); }
