// pelto: the controller from a shell and from scripts.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/abbruch.h"
#include "cli/aufruf.h"
#include "cli/cli_befehle.h"
#include "cli/cli_dialoge.h"
#include "cli/cli_sink.h"
#include "cli/exitstatus.h"
#include "cli/json_text.h"
#include "link/keloCOMv1.h"

namespace {

// Ends before the link is opened: nothing has been sent.
int Vorher_beenden(const Aufruf* a, int iStatus, const std::string& text, bool bNutzung) {
    std::fprintf(stderr, "pelto: %s\n", text.c_str());
    if (bNutzung) std::fputs(Nutzung(), stderr);
    if (a && a->ausgabe == Ausgabe::Json)
        std::printf("{\"outcome\":\"error\",\"exit\":%d,\"error\":%s}\n", iStatus,
                    JsonText(bNutzung ? "USAGE" : "FILE_ERROR").c_str());
    return iStatus;
}

int Ausfuehren(const Aufruf& a) {
    TkeloCOM link;
    CliSink s(link, a.ausgabe);
    Abbruch abbruch([&s] { s.Stoppen(); });
    s.Abbruch_abfragen([&abbruch] { return abbruch.Ausgeloest(); });
    int32_t iErgebnis = Verbinden(a, s);
    if (iErgebnis == 0 && !abbruch.Ausgeloest()) {
        abbruch.Stoppbar(Stoppbar(a));
        s.Uhr_stellen();
        iErgebnis = Befehl_ausfuehren(a, s);
        if (iErgebnis == 0 && (iErgebnis = s.Fehlerantwort())) s.Fehler_melden(iErgebnis);
    }
    abbruch.Fertig();
    link.UnInit();
    const bool bUnterbrochen = abbruch.Ausgeloest();
    if (bUnterbrochen) std::fprintf(stderr, "pelto: interrupted\n");
    const int iStatus = bUnterbrochen ? kExitUnterbrochen : Exitstatus(iErgebnis);
    s.Abschluss(iStatus, iErgebnis, bUnterbrochen);
    return iStatus;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread exists, so that only the signal thread takes them.
    Abbruch::Signale_sperren();
    const std::vector<std::string> args(argv + 1, argv + argc);
    Aufruf a;
    try {
        a = Aufruf_lesen(args);
    } catch (const Nutzungsfehler& f) {
        const bool bJson = std::find(args.begin(), args.end(), "--json") != args.end();
        Aufruf json;
        json.ausgabe = Ausgabe::Json;
        return Vorher_beenden(bJson ? &json : nullptr, kExitNutzung, f.text, true);
    }
    if (a.bHilfe) {
        std::fputs(Nutzung(), stdout);
        return kExitOk;
    }
    if (const auto problem = Dateien_pruefen(a)) return Vorher_beenden(&a, kExitDatei, *problem, false);
    CliDialoge dialoge;
    SetDialogs(&dialoge);
    const int iStatus = Ausfuehren(a);
    SetDialogs(nullptr);
    std::fflush(stdout);
    return iStatus;
}
