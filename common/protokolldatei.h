#pragma once

#include <optional>
#include <string>

// Appends one line (control characters shown by name, at most 255
// characters, CR LF at the end) to "~protokoll.log" beside the executable,
// or, where that folder is not writable (an installed program), in
// Protokolldatei_Ersatzordner(). Never fails loudly: a line that cannot be
// written is lost.
void Protokolldatei_schreiben(const char* szText);

// A file that has grown to this size is kept as "~protokoll.log.1" (the
// one before is replaced) and a new one begins.
inline constexpr long kProtokollGrenze = 8L * 1024 * 1024;

// Why no line can go to the file because its name is taken by something
// that is no regular file (a pipe would block, a device would take the
// lines), or nothing. Lines are then dropped without waiting.
std::optional<std::string> Protokolldatei_Problem();

// The file's full path, as the next line would go.
std::string Protokolldatei_Pfad();

// $XDG_STATE_HOME/pelto-befehle/, or ~/.local/state/pelto-befehle/ when the
// variable is unset (created with the first line).
std::string Protokolldatei_Ersatzordner();

// Puts the file into another folder (tests); an empty folder restores the
// executable's folder.
void Protokolldatei_Ordner_setzen(const std::string& ordner);
