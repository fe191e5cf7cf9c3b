#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "routinen/file_lines.h"

// Contents of the default files, one entry per line.
std::vector<std::string> Testprogramm_Zeilen();      // programm.txt: L1,X00000 ... L1,X06552
std::vector<std::string> Testheader_Zeilen();        // header.txt
std::vector<std::string> Programm_Zeilen(int slot);  // programm<slot>.txt
std::vector<std::string> Header_Zeilen(int slot);    // header<slot>.txt
std::vector<std::string> Ini_Zeilen();               // ini.txt
std::vector<std::string> Befehle_Zeilen();           // befehle.txt

struct Standarddatei {
    std::string name;
    std::function<std::vector<std::string>()> zeilen;
};

// The eighteen default files in the order they are considered.
std::vector<Standarddatei> Standarddateien();

// The lines with CR LF after every one, the last included.
std::string MitCrLf(const std::vector<std::string>& zeilen);

struct AnlegenErgebnis {
    bool geschrieben = false;  // false: the name existed already
    std::optional<DateiFehler> fehler;
};

// Creates ordner/name with exactly these bytes unless that name already
// exists (then it is left alone, whatever it is). The name appears only
// once the content is complete; on failure nothing stays behind.
AnlegenErgebnis Datei_anlegen(const std::string& ordner, const std::string& name,
                              const std::string& inhalt);

struct StandarddateienErgebnis {
    std::vector<std::string> geschrieben;  // names, in the order written
    std::optional<DateiFehler> fehler;     // first failure; later files not tried
    bool ok() const { return !fehler.has_value(); }
};

// Writes every default file that is missing in the folder, never overwriting.
StandarddateienErgebnis Standarddateien_schreiben(const std::string& ordner = ".");
