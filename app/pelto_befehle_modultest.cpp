// The module self-test.
#include "app/pelto_befehle_main.h"
#include "link/keloCOMv1.h"

void TMainForm::ModulTest_ButtonClick() { Befehl_starten(41); }

void TMainForm::ModulTest_Befehl() {}
