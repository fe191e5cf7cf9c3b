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

#include "app/pelto_befehle_main.h"
#include "app/radio_group.h"
#include "common/dialog.h"
#include "common/pane_flags.h"
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
        keloCOM->Eingang_abfragen('G');
        f.Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
        QApplication::processEvents();
    } while (f.IO_SpeedButton->isChecked() && f.isVisible());
}

}  // namespace

void TMainForm::Versionsabfrage_ButtonClick() {
    try {
        char szVersion[32] = {};
        keloCOM->Version_abfragen(szVersion, sizeof szVersion);
        Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
        SetzeText(Versionsabfrage_Panel, szVersion);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::Statusabfrage_ButtonClick() {
    try {
        // Room for any "@" reply, so that a longer status is seen as wrong
        // instead of being cut down to six characters.
        char szStatus[32] = {};
        keloCOM->Status_abfragen(szStatus, sizeof szStatus);
        Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
        char szAnzeige[32] = {};
        if (std::strlen(szStatus) == 6)
            std::snprintf(szAnzeige, sizeof szAnzeige, "%c - %c - %c - %c - %c - %c", szStatus[0], szStatus[1],
                          szStatus[2], szStatus[3], szStatus[4], szStatus[5]);
        SetzeText(Statusabfrage_Panel, szAnzeige);
    } catch (int& e) {
        Befehl_beenden(e);
    }
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
    try {
        i8Ansteuersignal = static_cast<int8_t>(Index(Ansteuersignal_RadioGroup));
        keloCOM->Ansteuersignale_einstellen(i8Ansteuersignal);
        Protokoll_schreiben(bLoeschen, pane::kAnfrage, pane::kAntwort);
        if (i8Ansteuersignal != 0) return;
        i8Schrittbetrieb = static_cast<int8_t>(Index(Schrittbetrieb_RadioGroup));
        i8Ruhestrom = static_cast<int8_t>(Index(Ruhestrom_RadioGroup));
        keloCOM->Halb_Vollschrittbetrieb_einstellen(i8Schrittbetrieb, i8Ruhestrom);
        Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::Startgeschw_Befehl() {
    try {
        iStartgeschw = Zahl_einlesen(Text(Startgeschw_Edit));
        // A negative entry becomes a huge unsigned value, which the command refuses.
        keloCOM->Startgeschwindigkeit_einstellen(static_cast<uint32_t>(iStartgeschw));
        Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::Rampenlaenge_Befehl() {
    try {
        ui16Rampenlaenge = static_cast<uint16_t>(Zahl_einlesen(Text(Rampenlaenge_Edit)));
        keloCOM->Rampenlaenge_einstellen(ui16Rampenlaenge);
        Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::Endgeschw_Befehl() {
    try {
        iEndgeschw = static_cast<uint16_t>(Zahl_einlesen(Text(Endgeschw_Edit)));
        const bool bVektor = Checked(Vektorfahrt_CheckBox);
        if (bVektor) {
            keloCOM->Endgeschwindigkeit_einstellen(1, iEndgeschw);
            Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
        }
        if (Checked(Referenzfahrt_CheckBox)) {
            keloCOM->Endgeschwindigkeit_einstellen(9, iEndgeschw);
            Protokoll_schreiben(!bVektor, pane::kAnfrage, pane::kAntwort);
        }
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::Wartezeit_Befehl() {
    try {
        iWartezeitMS = Zahl_einlesen(Text(Wartezeit_Edit));
        keloCOM->Wartezeit_einfuegen(static_cast<uint32_t>(iWartezeitMS));
        Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
        // The command limits the wait to one hour, so twice that still fits.
        keloCOM->WaitResp(2 * iWartezeitMS);
        Protokoll_schreiben(pane::kBehalten, pane::kOhneAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::E1Verknuepfung_Befehl() {
    try {
        keloCOM->E1Verknuepfung(Checked(E1Verknuepfung_CheckBox) ? 1 : 0);
        Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::A1_OFF_Befehl() { Ausgang_Befehl(1, 0); }
void TMainForm::A1_ON_Befehl() { Ausgang_Befehl(1, 1); }
void TMainForm::A2_OFF_Befehl() { Ausgang_Befehl(2, 0); }
void TMainForm::A2_ON_Befehl() { Ausgang_Befehl(2, 1); }
void TMainForm::A3_OFF_Befehl() { Ausgang_Befehl(3, 0); }
void TMainForm::A3_ON_Befehl() { Ausgang_Befehl(3, 1); }
void TMainForm::A4_ON_Befehl() { Ausgang_Befehl(4, 1); }
void TMainForm::A4_OFF_Befehl() { Ausgang_Befehl(4, 0); }

// Output n (1 to 4) off (m = 0) or on (m = 1). The I2C bus takes precedence;
// only A1 doubles as the watchdog.
void TMainForm::Ausgang_Befehl(int n, int m) {
    try {
        const auto iNr = static_cast<int8_t>(n);
        const auto iModus = static_cast<int8_t>(m);
        if (Checked(I2C_CheckBox)) {
            keloCOM->I2C_Ausgangssignal_setzen(iNr, iModus);
        } else if (n == 1 && Checked(Watchdog_CheckBox)) {
            keloCOM->WatchDog_setzen(iModus);
        } else {
            keloCOM->Ausgangssignal_setzen(iNr, iModus);
        }
        Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::EingangAbfragen_Befehl() {
    const int iIndex = Index(Eingang_ComboBox);
    if (iIndex < 0 || iIndex >= kEingaenge) {
        // Text typed into the box names no input: ask rather than guess.
        ShowMessage("Kein Eingang ausgewählt!", "Pelto-Befehle", MessageIcon::Warning);
        return;
    }
    try {
        keloCOM->Eingang_abfragen("0123456789ABCDEF"[iIndex]);
        Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}
