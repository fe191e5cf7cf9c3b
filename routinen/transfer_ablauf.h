#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "routinen/routinenrahmen.h"
#include "routinen/routinen_sink.h"

// The program-memory and command-file routines as a whole: file checks, the
// grey start and end lines, the exchanges, and the report of a failure. The
// window's buttons and the command-line tool run the same ones.

// How a routine ended: 0, the error code it reported, or kDateiNichtSendbar.
// A missing file ends it before anything is shown or sent.

struct Programmpaar {
    std::string header, programm;
};

// "header<n>.txt" and "programm<n>.txt".
Programmpaar Dateien_von(int n);

// Why a file cannot be sent (missing, unreadable, a line too long or with a
// NUL), or nothing. The text names the file.
std::optional<std::string> Befehlsdatei_pruefen(const std::string& datei);
std::optional<std::string> Programmpaar_pruefen(const Programmpaar& p);

int32_t Schreiben_Ablauf(RoutinenSink& s, int n, const Programmpaar& p);
// The request carries no slot number: n only names the routine, if given.
int32_t Groesse_Ablauf(RoutinenSink& s, std::optional<int> n, const Programmpaar& p);
int32_t Lesen_Ablauf(RoutinenSink& s, int n);
int32_t Header_Ablauf(RoutinenSink& s, int n);
int32_t Loeschen_Ablauf(RoutinenSink& s, int n);
int32_t FAT_Ablauf(RoutinenSink& s, int n);
int32_t Alle_lesen_Ablauf(RoutinenSink& s);
int32_t Alle_loeschen_Ablauf(RoutinenSink& s);
int32_t Gesamte_FAT_Ablauf(RoutinenSink& s);
int32_t Befehlsdatei_Ablauf(RoutinenSink& s, const std::string& datei);
