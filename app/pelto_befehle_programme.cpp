// Program memory and command files: the buttons and the worker routines,
// which run the transfer routines on the window's log and slot choice.
#include "app/fenster_sink.h"
#include "app/pelto_befehle_main.h"
#include "routinen/transfer_ablauf.h"

namespace {
int Slot(TMainForm& f) { return f.Index(f.Programm_RadioGroup) + 1; }
}  // namespace

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

void TMainForm::ProgrammSchreiben_Befehl() {
    FensterSink s(*this);
    const int n = Slot(*this);
    Schreiben_Ablauf(s, n, Dateien_von(n));
}

void TMainForm::ProgrammGroesseErmitteln_Befehl() {
    FensterSink s(*this);
    const int n = Slot(*this);
    Groesse_Ablauf(s, n, Dateien_von(n));
}

void TMainForm::ProgrammLesen_Befehl() {
    FensterSink s(*this);
    Lesen_Ablauf(s, Slot(*this));
}

void TMainForm::ProgrammHeaderLesen_Befehl() {
    FensterSink s(*this);
    Header_Ablauf(s, Slot(*this));
}

void TMainForm::ProgrammLoeschen_Befehl() {
    FensterSink s(*this);
    Loeschen_Ablauf(s, Slot(*this));
}

void TMainForm::FATLesen_Befehl() {
    FensterSink s(*this);
    FAT_Ablauf(s, Slot(*this));
}

void TMainForm::ProgrammLesenAlle_Befehl() {
    FensterSink s(*this);
    Alle_lesen_Ablauf(s);
}

void TMainForm::ProgrammLoeschenAlle_Befehl() {
    FensterSink s(*this);
    Alle_loeschen_Ablauf(s);
}

void TMainForm::FATLesenAlle_Befehl() {
    FensterSink s(*this);
    Gesamte_FAT_Ablauf(s);
}

void TMainForm::ProgrammSchreibenDatei_Befehl() {
    FensterSink s(*this);
    Befehlsdatei_Ablauf(s, "ini.txt");
}

void TMainForm::IniDatei_Befehl() {
    FensterSink s(*this);
    Befehlsdatei_Ablauf(s, "ini.txt");
}

void TMainForm::BefehleDatei_Befehl() {
    FensterSink s(*this);
    Befehlsdatei_Ablauf(s, "befehle.txt");
}
