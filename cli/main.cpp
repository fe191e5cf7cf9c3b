// pelto: the controller from a shell and from scripts.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/abbruch.h"
#include "cli/aufruf.h"
#include "cli/ausgabekanal.h"
#include "cli/cli_befehle.h"
#include "cli/cli_dialoge.h"
#include "cli/cli_sink.h"
#include "cli/exitstatus.h"
#include "cli/fortschritt.h"
#include "cli/json_text.h"
#include "cli/ports_befehl.h"
#include "cli/standardkanaele.h"
#include "common/protokolldatei.h"
#include "common/schnittstellen.h"
#include "link/keloCOMv1.h"
#include "cli/aufnahme.h"

namespace {

void Ausgabefehler_melden(int iFehler) { std::fprintf(stderr, "pelto: standard output: %s\n", std::strerror(iFehler)); }

// Ends before the link is opened: nothing has been sent.
int Vorher_beenden(Ausgabekanal& aus, bool bJson, int iStatus, const std::string& text, bool bNutzung) {
    std::fprintf(stderr, "pelto: %s\n", text.c_str());
    if (bNutzung) std::fputs(Nutzung(), stderr);
    if (bJson)
        aus.Zeile("{\"outcome\":\"error\",\"exit\":" + std::to_string(iStatus) +
                  ",\"error\":" + JsonText(bNutzung ? "USAGE" : "FILE_ERROR") + "}");
    return iStatus;
}

int Ausfuehren(const Aufruf& a, Ausgabekanal& aus) {
    TkeloCOM link;
    // The signal thread sends its stop as a sender of its own.
    const std::unique_ptr<TkeloCOM> unterbrecher = link.Neuer_Absender();
    CliSink s(link, a.ausgabe, aus);
    Abbruch abbruch([&s, &unterbrecher] { s.Stoppen(*unterbrecher); }, [&link] { link.Port_freigeben(); });
    // A reader that went away stops the command as SIGPIPE would.
    aus.Bei_Fehler([&abbruch](int iFehler) {
        Ausgabefehler_melden(iFehler);
        if (iFehler == EPIPE) abbruch.Ausloesen();
    });
    s.Abbruch_abfragen([&abbruch] { return abbruch.Ausgeloest(); });
    std::optional<Fortschritt> fortschritt;
    if (Mit_Fortschritt(a) && ::isatty(STDERR_FILENO)) {
        fortschritt.emplace(stderr);
        s.Fortschritt_zeigen(&*fortschritt, ::isatty(STDOUT_FILENO));
    }
    int32_t iErgebnis = Verbinden(a, s);
    if (iErgebnis == 0 && !abbruch.Ausgeloest()) {
        abbruch.Stoppbar(Stoppbar(a));
        s.Uhr_stellen();
        iErgebnis = Befehl_ausfuehren(a, s);
        if (fortschritt) fortschritt->Abschliessen();
        if (iErgebnis == 0 && (iErgebnis = s.Fehlerantwort())) s.Fehler_melden(iErgebnis);
    } else if (iErgebnis != 0) {
        Verbindung_berichten(a, s, iErgebnis);
    }
    abbruch.Fertig();
    link.UnInit();
    const bool bUnterbrochen = abbruch.Ausgeloest();
    if (bUnterbrochen) std::fprintf(stderr, "pelto: interrupted\n");
    const int iStatus = bUnterbrochen ? kExitUnterbrochen : Exitstatus(iErgebnis);
    s.Abschluss(iStatus, iErgebnis, bUnterbrochen);
    aus.Bei_Fehler(Ausgabefehler_melden);
    return iStatus;
}

int Starten(const std::vector<std::string>& args, Ausgabekanal& aus) {
    Aufruf a;
    try {
        a = Aufruf_lesen(args);
    } catch (const Nutzungsfehler& f) {
        const bool bJson = std::find(args.begin(), args.end(), "--json") != args.end();
        return Vorher_beenden(aus, bJson, kExitNutzung, f.text, true);
    }
    if (a.bHilfe) {
        aus.Schreiben(Nutzung());
        return kExitOk;
    }
    if (a.befehl == "ports") {
        if (const std::string hinweis = Umgebungs_Hinweise(); !hinweis.empty())
            std::fprintf(stderr, "pelto: %s\n", hinweis.c_str());
        return Ports_zeigen(a.ausgabe, aus);
    }
    if (const auto problem = Dateien_pruefen(a))
        return Vorher_beenden(aus, a.ausgabe == Ausgabe::Json, kExitDatei, *problem, false);
    if (const auto problem = Protokolldatei_Problem()) std::fprintf(stderr, "pelto: %s\n", problem->c_str());
    Aufnahme_starten(a.mitschnitt, args);
    CliDialoge dialoge;
    SetDialogs(&dialoge);
    const int iStatus = Ausfuehren(a, aus);
    SetDialogs(nullptr);
    Aufnahme_beenden();
    return iStatus;
}

}  // namespace

int main(int argc, char** argv) {
    // Closed, standard output would be the next file opened: the serial line.
    if (!Standardkanaele_belegen()) return kExitAusgabe;
    // A file-size limit makes a write fail, checked like any other, rather
    // than end the tool with a move running.
    std::signal(SIGXFSZ, SIG_IGN);
    // Before any thread exists, so that only the signal thread takes them.
    Abbruch::Signale_sperren();
    Ausgabekanal aus(stdout);
    aus.Bei_Fehler(Ausgabefehler_melden);
    int iStatus = kExitIntern;
    try {
        iStatus = Starten(std::vector<std::string>(argv + 1, argv + argc), aus);
    } catch (const std::bad_alloc&) {
        std::fputs("pelto: out of memory\n", stderr);
    }
    // A result that did not reach its reader is no success.
    return iStatus == kExitOk && aus.Fehler() ? kExitAusgabe : iStatus;
}
