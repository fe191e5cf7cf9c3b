#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "routinen/routinen_sink.h"

// The exchanges of the program-memory and command-file routines with the
// controller. They show every request and reply through the sink and raise
// int error codes (common/fehler.h). Files are loaded and checked by the
// caller, so nothing of a bad file is ever sent.

// Zeroes the sink's request buffer and puts the request into it (cut to it).
void Befehl_setzen(RoutinenSink& s, const std::string& anfrage);

// A reset or stop confirmed since `iResetStand` (the link's iResets when the
// transfer began) ends it before the next exchange, as the "!" does within
// one: after it the controller would run the rest as live commands.
// Precondition: the request buffer holds the opening request ("*PW<n>\r" or
// "*PS\r"). Opens the transfer, streams the header lines within the
// 251-character budget and sends the end mark.
void Header_uebertragen(RoutinenSink& s, const std::vector<std::string>& zeilen, uint32_t iResetStand);
// Sends every program line, each acknowledged, then the end mark ETX.
void Programm_uebertragen(RoutinenSink& s, const std::vector<std::string>& zeilen, uint32_t iResetStand);

// "*PR<n>" (or "*PR<n>H") and its echo; an empty slot raises 1023.
void Programm_anfordern(RoutinenSink& s, int n, bool bNurHeader);
// Further replies of a program read, up to the one that ends with ACK.
void Programm_empfangen(RoutinenSink& s);

void Programm_loeschen(RoutinenSink& s, int n);
void FAT_lesen(RoutinenSink& s, int n);
void Alle_Programme_loeschen(RoutinenSink& s);
void Gesamte_FAT_lesen(RoutinenSink& s);

// One command line (without its CR): sent, and when the controller answers
// NAK its final answer is waited for. Error replies are shown, not raised.
void Befehl_senden(RoutinenSink& s, const std::string& zeile);
// How many lines of a program or command file the line rules let through.
std::size_t Befehlszeilen_zahl(const std::vector<std::string>& zeilen);
// Sends the lines of a command file that the line rules let through.
void Befehlszeilen_senden(RoutinenSink& s, const std::vector<std::string>& zeilen);
