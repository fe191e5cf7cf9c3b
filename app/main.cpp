#include <QApplication>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "app/anwendung.h"
#include "app/fenster_bruecke.h"
#include "routinen/arbeitsordner.h"
#include "routinen/startoptionen.h"
#include "app/pelto_befehle_main.h"
#include "app/qt_dialogs.h"
#include "app/signal_schliessen.h"
#include "routinen/ausnahme.h"
#include "common/dialog.h"
#include "link/keloCOMv1.h"
#include "link/mitschnitt.h"

namespace {

// A file that cannot be written costs the recording, not the run.
void Mitschnitt_starten(const std::string& option) {
    const std::string pfad = Mitschnitt::Pfad_waehlen(option);
    if (pfad.empty()) return;
    if (const std::string grund = Mitschnitt::Prozess().Starten(pfad, "pelto-befehle"); !grund.empty())
        ShowMessage("Der Mitschnitt '" + pfad + "' kann nicht geschrieben werden: " + grund +
                        "\nDie Konsole arbeitet ohne Mitschnitt weiter.",
                    "Pelto-Befehle", MessageIcon::Warning);
}

}  // namespace

int main(int argc, char* argv[]) {
    // A file-size limit makes a write fail (the protocol log, a default
    // file) rather than end the console.
    std::signal(SIGXFSZ, SIG_IGN);
    const Startoptionen optionen(argc, argv);
    if (optionen.hilfe) {
        std::fputs(kHilfetext, stdout);
        return 0;
    }
    // Outside the try: the last-resort box below still needs it.
    QApplication app(argc, argv);
    SignalSchliessen signale;
    Anwendung_einrichten();
    FensterBruecke bruecke;
    QtDialogs dialogs(bruecke);
    SetDialogs(&dialogs);
    // Before the desktop's folder: a relative name means where it was given.
    Mitschnitt_starten(optionen.mitschnitt);
    try {
        // Without its own folder the console writes no files into whatever
        // folder the desktop started it in.
        bool bStandarddateien = true;
        if (optionen.desktop) {
            const std::string fehler = Arbeitsordner_betreten(Arbeitsordner_Desktop());
            bStandarddateien = fehler.empty();
            if (!bStandarddateien)
                ShowMessage(fehler + "\nDie Programm-, Header- und Befehlsdateien werden nicht geschrieben.",
                            "Pelto-Befehle", MessageIcon::Warning);
        }
        auto* form = new TMainForm(bruecke, QApplication::arguments(), nullptr, bStandarddateien);
        form->setAttribute(Qt::WA_DeleteOnClose);
        MainForm = form;
        TkeloCOM link;
        keloCOM = &link;
        form->show();
        app.exec();
        keloCOM = nullptr;
    } catch (...) {
        keloCOM = nullptr;
        Ausnahme_melden(std::current_exception(), "Pelto-Befehle");
    }
    if (const std::string grund = Mitschnitt::Prozess().Beenden(); !grund.empty())
        ShowMessage("Der Mitschnitt '" + Mitschnitt::Prozess().Pfad() + "' ist unvollständig: " + grund, "Pelto-Befehle",
                    MessageIcon::Warning);
    SetDialogs(nullptr);
    return 0;
}
