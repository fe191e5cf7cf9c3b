// Settings, outputs and inputs: the upper half of the window.
#include <QGroupBox>
#include <QLabel>

#include "app/pelto_befehle_main.h"
#include "app/radio_group.h"
#include "link/keloCOMv1.h"

void TMainForm::Versionsabfrage_ButtonClick() {
    try {
        char szVersion[32] = {};
        keloCOM->Version_abfragen(szVersion, sizeof szVersion);
        Protokoll_schreiben(false, true, true);
        SetzeText(Versionsabfrage_Panel, szVersion);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::Statusabfrage_ButtonClick() {}

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
void TMainForm::IO_SpeedButtonClick() {}

void TMainForm::Kovra_Befehl(bool) {}
void TMainForm::Startgeschw_Befehl() {}
void TMainForm::Rampenlaenge_Befehl() {}
void TMainForm::Endgeschw_Befehl() {}
void TMainForm::Wartezeit_Befehl() {}
void TMainForm::E1Verknuepfung_Befehl() {}
void TMainForm::A1_OFF_Befehl() {}
void TMainForm::A1_ON_Befehl() {}
void TMainForm::A2_OFF_Befehl() {}
void TMainForm::A2_ON_Befehl() {}
void TMainForm::A3_OFF_Befehl() {}
void TMainForm::A3_ON_Befehl() {}
void TMainForm::A4_ON_Befehl() {}
void TMainForm::A4_OFF_Befehl() {}
void TMainForm::Ausgang_Befehl(int, int) {}
void TMainForm::EingangAbfragen_Befehl() {}
