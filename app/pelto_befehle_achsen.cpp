// Axis operations: positions, moves, reference runs and the immediate buttons.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/fenster_sink.h"
#include "app/log_pane.h"
#include "app/pelto_befehle_main.h"
#include "common/pane_flags.h"
#include "routinen/abfragen.h"
#include "routinen/achsen.h"
#include "routinen/sofortbefehl.h"
#include "routinen/zahl_einlesen.h"
#include "link/keloCOMv1.h"

namespace {

// The axis boxes as they stand now (they may have changed since the click).
Achsenwahl Achsen_gewaehlt(TMainForm& f, bool bMitU) {
    Achsenwahl w;
    w.x = f.Checked(f.RefX_CheckBox);
    w.y = f.Checked(f.RefY_CheckBox);
    w.z = f.Checked(f.RefZ_CheckBox);
    w.u = bMitU && f.Checked(f.RefU_CheckBox);
    return w;
}

// One of the immediate buttons, on the window's thread.
void Sofort(TMainForm& f, void (TkeloCOM::*befehl)()) {
    FensterSink sink(f);
    Sofort_ausfuehren(sink, befehl);
}

}  // namespace

void TMainForm::xyzVektorFahren_ButtonClick() { Befehl_starten(52); }
void TMainForm::uVektorFahren_ButtonClick() { Befehl_starten(53); }
void TMainForm::RefOffset_ButtonClick() { Befehl_starten(54); }
void TMainForm::RefAnforderung_ButtonClick() { Befehl_starten(55); }
void TMainForm::xyzReferenzfahrt_ButtonClick() {
    if (RefX_CheckBox->isChecked() || RefY_CheckBox->isChecked() || RefZ_CheckBox->isChecked()) Befehl_starten(56);
}
void TMainForm::uReferenzfahrt_ButtonClick() { Befehl_starten(57); }

void TMainForm::Positionsabfrage_ButtonClick() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        const int iAchse = Index(Positionsabfrage_RadioGroup);
        std::string position;
        if (iAchse >= 0 && iAchse <= 2) {
            position = Position_abfragen(s, "xyz"[iAchse]);
        } else {
            Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
        }
        SetzeText(Positionsabfrage_Panel, position);
    });
}

// The encoder controls are disabled for good; nothing is sent.
void TMainForm::EncoderEinstellung_ButtonClick() {}
void TMainForm::Reset_ButtonClick() { Sofort(*this, &TkeloCOM::Reset_ausfuehren); }
void TMainForm::Stoppen_ButtonClick() { Sofort(*this, &TkeloCOM::Achsen_stoppen); }
void TMainForm::Anhalten_ButtonClick() { Sofort(*this, &TkeloCOM::Achsen_anhalten); }
void TMainForm::Unterbrechen_ButtonClick() { Sofort(*this, &TkeloCOM::Fahrt_unterbrechen); }
void TMainForm::Weiterfahrt_ButtonClick() { Sofort(*this, &TkeloCOM::Pause_beenden); }

void TMainForm::xyzVektorFahren_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        QLineEdit* felder[3] = {VektorX_Edit, VektorY_Edit, VektorZ_Edit};
        for (int i = 0; i < 3; ++i) iVektor[i] = Zahl_einlesen(Text(felder[i]));
        i8VektorModus = static_cast<int8_t>(Index(Vektor_RadioGroup));
        xyzVektor_fahren(s, i8VektorModus == 0, iVektor[0], iVektor[1], iVektor[2]);
    });
}

void TMainForm::uVektorFahren_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        i8VektorModus = static_cast<int8_t>(Index(Vektor_RadioGroup));
        iVektor[3] = Zahl_einlesen(Text(VektorU_Edit));
        uVektor_fahren(s, i8VektorModus == 0, iVektor[3]);
    });
}

void TMainForm::RefOffset_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        iRefOffset = Zahl_einlesen(Text(RefOffset_Edit));
        Referenzoffset_senden(s, iRefOffset, bUAchse);
    });
}

void TMainForm::RefAnforderung_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) { Referenz_anfordern(s, Achsen_gewaehlt(*this, true)); });
}

void TMainForm::xyzReferenzfahrt_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) { Referenzfahrt(s, Achsen_gewaehlt(*this, false)); });
}

void TMainForm::uReferenzfahrt_Befehl() {
    Fensterroutine(*this, [&](RoutinenSink& s) {
        Achsenwahl u;
        u.u = true;
        Referenzfahrt(s, u);
    });
}
