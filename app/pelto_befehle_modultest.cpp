// The module self-test.
#include "app/fenster_sink.h"
#include "app/pelto_befehle_main.h"
#include "routinen/modultest_ablauf.h"

void TMainForm::ModulTest_ButtonClick() { Befehl_starten(41); }

void TMainForm::ModulTest_Befehl() {
    FensterSink s(*this);
    Modultest_Ablauf(s);
}
