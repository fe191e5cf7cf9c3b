#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "app/fenster_bruecke.h"
#include "app/files/arbeitsordner.h"
#include "app/files/startoptionen.h"
#include "app/pelto_befehle_main.h"
#include "app/qt_dialogs.h"
#include "common/dialog.h"
#include "link/keloCOMv1.h"

int main(int argc, char* argv[]) {
    const Startoptionen optionen(argc, argv);
    if (optionen.hilfe) {
        std::fputs(kHilfetext, stdout);
        return 0;
    }
    try {
        QApplication app(argc, argv);
        QApplication::setApplicationName("Pelto-befehle");
        QApplication::setApplicationDisplayName("Pelto-befehle");
        FensterBruecke bruecke;
        QtDialogs dialogs(bruecke);
        SetDialogs(&dialogs);
        if (optionen.desktop) {
            const std::string fehler = Arbeitsordner_betreten(Arbeitsordner_Desktop());
            if (!fehler.empty()) ShowMessage(fehler, "Pelto-Befehle", MessageIcon::Warning);
        }
        auto* form = new TMainForm(bruecke, QApplication::arguments());
        form->setAttribute(Qt::WA_DeleteOnClose);
        MainForm = form;
        TkeloCOM link;
        keloCOM = &link;
        form->show();
        const int rc = app.exec();
        SetDialogs(nullptr);
        keloCOM = nullptr;
        return rc == 0 ? 0 : rc;
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Pelto-befehle", QString::fromUtf8(e.what()));
    }
    return 0;
}
