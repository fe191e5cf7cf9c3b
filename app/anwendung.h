#pragma once

#include <QString>

// What the program entry sets up before the first window, and the window
// tests the same way: the name the desktop shows for the running program
// (WM_CLASS), one style and one font, so the window looks alike everywhere.
void Anwendung_einrichten();

// The exact family of the console's font.
QString Schriftfamilie();
