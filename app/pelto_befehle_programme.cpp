// Program memory and command files.
#include "app/pelto_befehle_main.h"
#include "link/keloCOMv1.h"

void TMainForm::ProgrammSchreiben_ButtonClick() { Befehl_starten(20); }
void TMainForm::ProgrammSchreibenDatei_ButtonClick() { Befehl_starten(21); }
void TMainForm::ProgrammLesen_ButtonClick() { Befehl_starten(22); }
void TMainForm::ProgrammHeaderLesen_ButtonClick() { Befehl_starten(23); }
void TMainForm::ProgrammGroesseErmitteln_ButtonClick() { Befehl_starten(24); }
void TMainForm::ProgrammLoeschen_ButtonClick() { Befehl_starten(25); }
void TMainForm::FATLesen_ButtonClick() { Befehl_starten(26); }
void TMainForm::ProgrammLesenAlle_ButtonClick() { Befehl_starten(30); }
void TMainForm::ProgrammLoeschenAlle_ButtonClick() { Befehl_starten(31); }
void TMainForm::FATLesenAlle_ButtonClick() { Befehl_starten(32); }
void TMainForm::IniDatei_ButtonClick() { Befehl_starten(50); }
void TMainForm::BefehleDatei_ButtonClick() { Befehl_starten(51); }

void TMainForm::ProgrammSchreiben_Befehl() {}
void TMainForm::ProgrammSchreibenDatei_Befehl() {}
void TMainForm::ProgrammLesen_Befehl() {}
void TMainForm::ProgrammHeaderLesen_Befehl() {}
void TMainForm::ProgrammGroesseErmitteln_Befehl() {}
void TMainForm::ProgrammLoeschen_Befehl() {}
void TMainForm::FATLesen_Befehl() {}
void TMainForm::ProgrammLesenAlle_Befehl() {}
void TMainForm::ProgrammLoeschenAlle_Befehl() {}
void TMainForm::FATLesenAlle_Befehl() {}
void TMainForm::IniDatei_Befehl() {}
void TMainForm::BefehleDatei_Befehl() {}
