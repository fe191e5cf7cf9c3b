#pragma once

#include <string>

// Appends one line (control characters shown by name, at most 255
// characters, CR LF at the end) to "~protokoll.log" beside the executable.
// Never fails loudly: a line that cannot be written is lost.
void Protokolldatei_schreiben(const char* szText);

// The file's full path.
std::string Protokolldatei_Pfad();

// Puts the file into another folder (tests); an empty folder restores the
// executable's folder.
void Protokolldatei_Ordner_setzen(const std::string& ordner);
