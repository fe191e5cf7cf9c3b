// Axis operations: positions, moves, reference runs and the immediate buttons.
#include "app/pelto_befehle_main.h"
#include "link/keloCOMv1.h"

void TMainForm::xyzVektorFahren_ButtonClick() { Befehl_starten(52); }
void TMainForm::uVektorFahren_ButtonClick() { Befehl_starten(53); }
void TMainForm::RefOffset_ButtonClick() { Befehl_starten(54); }
void TMainForm::RefAnforderung_ButtonClick() { Befehl_starten(55); }
void TMainForm::xyzReferenzfahrt_ButtonClick() {
    if (RefX_CheckBox->isChecked() || RefY_CheckBox->isChecked() || RefZ_CheckBox->isChecked()) Befehl_starten(56);
}
void TMainForm::uReferenzfahrt_ButtonClick() { Befehl_starten(57); }

void TMainForm::Positionsabfrage_ButtonClick() {}
void TMainForm::EncoderEinstellung_ButtonClick() {}
void TMainForm::Reset_ButtonClick() {}
void TMainForm::Stoppen_ButtonClick() {}
void TMainForm::Anhalten_ButtonClick() {}
void TMainForm::Unterbrechen_ButtonClick() {}
void TMainForm::Weiterfahrt_ButtonClick() {}

void TMainForm::xyzVektorFahren_Befehl() {}
void TMainForm::uVektorFahren_Befehl() {}
void TMainForm::RefOffset_Befehl() {}
void TMainForm::RefAnforderung_Befehl() {}
void TMainForm::xyzReferenzfahrt_Befehl() {}
void TMainForm::uReferenzfahrt_Befehl() {}
