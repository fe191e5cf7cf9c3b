#include <QApplication>

#include <csignal>
#include <cstdio>
#include <exception>

#include "app/anwendung.h"
#include "app/fenster_bruecke.h"
#include "routinen/arbeitsordner.h"
#include "routinen/startoptionen.h"
#include "app/pelto_befehle_main.h"
#include "app/qt_dialogs.h"
#include "routinen/ausnahme.h"
#include "common/dialog.h"
#include "link/keloCOMv1.h"

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
    Anwendung_einrichten();
    FensterBruecke bruecke;
    QtDialogs dialogs(bruecke);
    SetDialogs(&dialogs);
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
    SetDialogs(nullptr);
    return 0;
}
