// Settings, outputs and inputs: the upper half of the window.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "app/fenster_sink.h"
#include "app/pelto_befehle_main.h"
#include "app/radio_group.h"
#include "common/dialog.h"
#include "common/pane_flags.h"
#include "routinen/abfragen.h"
#include "routinen/einstellungen.h"
#include "routinen/zahl_einlesen.h"
#include "link/keloCOMv1.h"

namespace {

constexpr int kIOTaktMS = 200;
constexpr int kSchliessenBlickMS = 20;
constexpr int kEingaenge = 16;

// The controls that stay locked while the I/O test runs. Panel9 holds the
// test's own button and stays usable.
void IOTest_sperren(TMainForm& f, bool bSperren) {
    for (QWidget* w : {f.Panel1, f.Panel2, f.Panel3, f.Panel4, f.Panel5, f.Panel6, f.Panel7, f.Panel8, f.Panel10,
                       f.Panel11, f.Panel12, f.Panel13, f.Panel14})
        w->setEnabled(!bSperren);
    f.EingangAbfragen_Button->setEnabled(!bSperren);
    f.Eingang_ComboBox->setEnabled(!bSperren);
    f.Beenden_BitBtn->setVisible(!bSperren);
}

// Waits one pass of the I/O test while the window keeps working. True when
// the pass should go on: the window is still open and the button has not
// been toggled meanwhile (a stop click ran its own, nested pass already).
bool IOTest_warten(TMainForm& f) {
    const bool bGedrueckt = f.IO_SpeedButton->isChecked();
    QEventLoop schleife;
    QTimer ende;
    ende.setSingleShot(true);
    QObject::connect(&ende, &QTimer::timeout, &schleife, &QEventLoop::quit);
    QObject::connect(f.IO_SpeedButton, &QAbstractButton::toggled, &schleife, &QEventLoop::quit);
    QTimer blick;  // closing the window gives no signal of its own here
    QObject::connect(&blick, &QTimer::timeout, &schleife, [&] {
        if (!f.isVisible()) schleife.quit();
    });
    blick.start(kSchliessenBlickMS);
    ende.start(kIOTaktMS);
    schleife.exec();
    return f.isVisible() && f.IO_SpeedButton->isChecked() == bGedrueckt;
}

void IOTest_Schleife(TMainForm& f) {
    do {
        if (!IOTest_warten(f)) return;
        FensterSink s(f);
        Eingang_abfragen(s, 'G');
        QApplication::processEvents();
    } while (f.IO_SpeedButton->isChecked() && f.isVisible());
}

}  // namespace

void TMainForm::Versionsabfrage_ButtonClick() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        SetzeText(Versionsabfrage_Panel, Abfrage_ausfuehren(s, &TkeloCOM::Version_abfragen));
    });
}

void TMainForm::Statusabfrage_ButtonClick() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        const std::string status = Abfrage_ausfuehren(s, &TkeloCOM::Status_abfragen);
        char szAnzeige[32] = {};
        if (status.size() == 6)
            std::snprintf(szAnzeige, sizeof szAnzeige, "%c - %c - %c - %c - %c - %c", status[0], status[1],
                          status[2], status[3], status[4], status[5]);
        SetzeText(Statusabfrage_Panel, szAnzeige);
    });
}

void TMainForm::Ansteuersignal_RadioGroupClick() {
    i8Ansteuersignal = static_cast<int8_t>(RadioGroup_ItemIndex(Ansteuersignal_RadioGroup));
    const bool lvx = i8Ansteuersignal == 0;
    RadioGroup_SetItemIndex(Schrittbetrieb_RadioGroup, lvx ? i8Schrittbetrieb : -1);
    RadioGroup_SetItemIndex(Ruhestrom_RadioGroup, lvx ? i8Ruhestrom : -1);
    Schrittbetrieb_RadioGroup->setEnabled(lvx);
    Ruhestrom_RadioGroup->setEnabled(lvx);
}

void TMainForm::Kovra_ButtonClick() { Befehl_starten(1); }
void TMainForm::Startgeschw_ButtonClick() { Befehl_starten(2); }
void TMainForm::Rampenlaenge_ButtonClick() { Befehl_starten(3); }
void TMainForm::Endgeschw_ButtonClick() { Befehl_starten(4); }
void TMainForm::Wartezeit_ButtonClick() { Befehl_starten(5); }
void TMainForm::E1Verknuepfung_ButtonClick() { Befehl_starten(6); }
void TMainForm::A1_OFF_SpeedButtonClick() { Befehl_starten(7); }
void TMainForm::A1_ON_SpeedButtonClick() { Befehl_starten(8); }
void TMainForm::A2_OFF_SpeedButtonClick() { Befehl_starten(9); }
void TMainForm::A2_ON_SpeedButtonClick() { Befehl_starten(10); }
void TMainForm::A3_OFF_SpeedButtonClick() { Befehl_starten(11); }
void TMainForm::A3_ON_SpeedButtonClick() { Befehl_starten(12); }
void TMainForm::A4_ON_SpeedButtonClick() { Befehl_starten(13); }
void TMainForm::A4_OFF_SpeedButtonClick() { Befehl_starten(14); }
void TMainForm::EingangAbfragen_ButtonClick() { Befehl_starten(40); }

void TMainForm::IO_SpeedButtonClick() {
    IOTest_sperren(*this, true);
    try {
        IOTest_Schleife(*this);
    } catch (int& e) {
        Befehl_beenden(e);
    }
    LogLeeren();
    IOTest_sperren(*this, false);
}

void TMainForm::Kovra_Befehl(bool bLoeschen) {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        i8Ansteuersignal = static_cast<int8_t>(Index(Ansteuersignal_RadioGroup));
        if (i8Ansteuersignal == 0) {
            i8Schrittbetrieb = static_cast<int8_t>(Index(Schrittbetrieb_RadioGroup));
            i8Ruhestrom = static_cast<int8_t>(Index(Ruhestrom_RadioGroup));
        }
        Ansteuerung_senden(s, i8Ansteuersignal, i8Schrittbetrieb, i8Ruhestrom, bLoeschen);
    });
}

void TMainForm::Startgeschw_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        iStartgeschw = Zahl_einlesen(Text(Startgeschw_Edit));
        Startgeschwindigkeit_senden(s, iStartgeschw);
    });
}

void TMainForm::Rampenlaenge_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        ui16Rampenlaenge = static_cast<uint16_t>(Zahl_einlesen(Text(Rampenlaenge_Edit)));
        Rampenlaenge_senden(s, ui16Rampenlaenge);
    });
}

void TMainForm::Endgeschw_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        iEndgeschw = static_cast<uint16_t>(Zahl_einlesen(Text(Endgeschw_Edit)));
        const bool bVektor = Checked(Vektorfahrt_CheckBox);
        Endgeschwindigkeit_senden(s, iEndgeschw, bVektor, Checked(Referenzfahrt_CheckBox));
    });
}

void TMainForm::Wartezeit_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        iWartezeitMS = Zahl_einlesen(Text(Wartezeit_Edit));
        Wartezeit_senden(s, iWartezeitMS);
    });
}

void TMainForm::E1Verknuepfung_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) { E1Verknuepfung_senden(s, Checked(E1Verknuepfung_CheckBox)); });
}

void TMainForm::A1_OFF_Befehl() { Ausgang_Befehl(1, 0); }
void TMainForm::A1_ON_Befehl() { Ausgang_Befehl(1, 1); }
void TMainForm::A2_OFF_Befehl() { Ausgang_Befehl(2, 0); }
void TMainForm::A2_ON_Befehl() { Ausgang_Befehl(2, 1); }
void TMainForm::A3_OFF_Befehl() { Ausgang_Befehl(3, 0); }
void TMainForm::A3_ON_Befehl() { Ausgang_Befehl(3, 1); }
void TMainForm::A4_ON_Befehl() { Ausgang_Befehl(4, 1); }
void TMainForm::A4_OFF_Befehl() { Ausgang_Befehl(4, 0); }

void TMainForm::Ausgang_Befehl(int n, int m) {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        const bool bI2C = Checked(I2C_CheckBox);
        Ausgang_setzen(s, n, m, bI2C, !bI2C && n == 1 && Checked(Watchdog_CheckBox));
    });
}

void TMainForm::EingangAbfragen_Befehl() {
    const int iIndex = Index(Eingang_ComboBox);
    if (iIndex < 0 || iIndex >= kEingaenge) {
        // Text typed into the box names no input: ask rather than guess.
        ShowMessage("Kein Eingang ausgewählt!", "Pelto-Befehle", MessageIcon::Warning);
        return;
    }
    Fensterroutine(*this, [&](RoutinenSink& s) { Eingang_abfragen(s, "0123456789ABCDEF"[iIndex]); });
}
