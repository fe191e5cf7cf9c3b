#pragma once

#include <string>

// Any list the port names can go into (the window passes its combo box).
class PortListe {
public:
    virtual ~PortListe() = default;
    // Empties the text and the items and selects nothing.
    virtual void Leeren() = 0;
    virtual void Hinzufuegen(const std::string& name) = 0;
};

// Fills each given list with "COM1" ... "COM63" for the ports present, in
// ascending order. Either list may be null.
void Schnittstellen_suchen(PortListe* pListe1, PortListe* pListe2);

// Why the device at `pfad` cannot serve as a port ("... gibt es nicht.",
// "... ist keine serielle Schnittstelle."), or nothing when it can.
std::string Pfad_Hinweis(const std::string& pfad);

// The same for COM<n> when PELTO_COM<n> names its device, with the
// variable named; nothing when the variable is unset.
std::string Umgebungs_Hinweis(int n);

// A line for each PELTO_COM<n> that names an existing file which is no
// serial device (and so is left out of the list), joined by blanks; or
// nothing.
std::string Umgebungs_Hinweise();
