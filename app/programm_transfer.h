#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TMainForm;

// The exchanges of the program-memory and command-file routines with the
// controller. They run on the worker, show every request and reply in the
// log pane and raise int error codes (common/fehler.h). Files are loaded and
// checked by the caller, so nothing of a bad file is ever sent.

// Zeroes szBefehl and puts the request into it (cut to the buffer).
void Befehl_setzen(TMainForm& f, const std::string& anfrage);

// A reset or stop confirmed since `iResetStand` (keloCOM->iResets when the
// transfer began) ends it before the next exchange, as the "!" does within
// one: after it the controller would run the rest as live commands.
// Precondition: szBefehl holds the opening request ("*PW<n>\r" or "*PS\r").
// Opens the transfer, streams the header lines within the 251-character
// budget and sends the end mark.
void Header_uebertragen(TMainForm& f, const std::vector<std::string>& zeilen, uint32_t iResetStand);
// Sends every program line, each acknowledged, then the end mark ETX.
void Programm_uebertragen(TMainForm& f, const std::vector<std::string>& zeilen, uint32_t iResetStand);

// "*PR<n>" (or "*PR<n>H") and its echo; an empty slot raises 1023.
void Programm_anfordern(TMainForm& f, int n, bool bNurHeader);
// Further replies of a program read, up to the one that ends with ACK.
void Programm_empfangen(TMainForm& f);

void Programm_loeschen(TMainForm& f, int n);
void FAT_lesen(TMainForm& f, int n);
void Alle_Programme_loeschen(TMainForm& f);
void Gesamte_FAT_lesen(TMainForm& f);

// Sends the lines of a command file; a command answered with NAK is waited
// for. Error replies of the controller are shown, not raised.
void Befehlszeilen_senden(TMainForm& f, const std::vector<std::string>& zeilen);
