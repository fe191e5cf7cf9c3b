#pragma once

#include <string>

// ~/Pelto-Befehle: where a console started from the desktop entry keeps its
// program, header and command files, rather than in the home folder.
std::string Arbeitsordner_Desktop();

// Creates the folder when missing and makes it the current folder. Returns
// an empty text, or what went wrong (the current folder then stays).
std::string Arbeitsordner_betreten(const std::string& ordner);
