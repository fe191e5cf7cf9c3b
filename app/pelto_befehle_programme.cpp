// Program memory and command files.
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/files/file_lines.h"
#include "app/log_pane.h"
#include "app/pelto_befehle_main.h"
#include "app/programm_transfer.h"
#include "common/dialog.h"
#include "link/keloCOMv1.h"

namespace {

// A file that must not be sent: the text names it and says why.
struct DateiProblem {
    std::string text;
};

// The grey lines that frame one routine.
struct Rahmenzeilen {
    std::string start, ende, fehler;
};

Rahmenzeilen Programmrahmen(const std::string& was) {
    return {"### " + was + " ###", "### " + was + " - Ende ###", "### " + was + " - Fehler ###"};
}

Rahmenzeilen Dateirahmen(const std::string& datei) {
    const std::string kopf = "### " + datei + " übertragen ###";
    return {kopf, kopf + " - Ende", kopf + " - Fehler"};
}

void Grau_zeigen(TMainForm& f, const std::string& zeile) {
    std::memset(f.szZeile, 0, sizeof f.szZeile);
    zeile.copy(f.szZeile, sizeof f.szZeile - 1);
    f.LogZeile(f.szZeile, kGrau);
}

// Clears the pane and runs the operation between its start line and its
// end line; a failure is reported and ends it with the error line.
template <typename Vorgang>
void Im_Rahmen(TMainForm& f, const Rahmenzeilen& r, Vorgang vorgang) {
    f.LogLeeren();
    Grau_zeigen(f, r.start);
    const std::string* schluss = &r.ende;
    try {
        vorgang();
    } catch (int& e) {
        f.Befehl_beenden(e);
        schluss = &r.fehler;
    } catch (const DateiProblem& p) {
        ShowMessage(p.text, "Fehler", MessageIcon::Exclamation);
        schluss = &r.fehler;
    }
    Grau_zeigen(f, *schluss);
}

// Shows the operator's box for a missing file. A name that cannot even be
// looked at counts as present: loading it names the reason.
bool Vorhanden(const std::string& datei) {
    std::error_code fehler;
    if (std::filesystem::exists(datei, fehler) || fehler) return true;
    ShowMessage(" Die Datei '" + datei + "' kann nicht gefunden werden! ", "Fehler", MessageIcon::Exclamation);
    return false;
}

using ZeilenPruefung = std::optional<ZuLangeZeile> (*)(const std::vector<std::string>&);

// The whole file, or a DateiProblem when it cannot be read or holds a line
// longer than the link takes.
std::vector<std::string> Laden(const std::string& datei, ZeilenPruefung zuLang) {
    DateiZeilen d = LoadLines(datei);
    if (!d.ok()) throw DateiProblem{d.fehler->text};
    if (const auto zeile = zuLang(d.zeilen)) throw DateiProblem{ZuLangeZeileText(datei, *zeile)};
    return std::move(d.zeilen);
}

struct Programmpaar {
    std::string header, programm;
};

Programmpaar Dateien_von(int n) {
    return {"header" + std::to_string(n) + ".txt", "programm" + std::to_string(n) + ".txt"};
}

bool Vorhanden(const Programmpaar& p) { return Vorhanden(p.header) && Vorhanden(p.programm); }

// Both files are read and checked before the first request goes out.
void Paar_uebertragen(TMainForm& f, const Programmpaar& p, const std::string& eroeffnung, bool bEinstellungen) {
    const std::vector<std::string> header = Laden(p.header, FirstTooLongHeaderLine);
    const std::vector<std::string> programm = Laden(p.programm, FirstTooLongProgramLine);
    const uint32_t iResetStand = keloCOM->iResets;
    Befehl_setzen(f, eroeffnung);
    Header_uebertragen(f, header, iResetStand);
    // The drive settings become the first commands of the stored program.
    if (bEinstellungen) f.Kovra_Befehl(false);
    Programm_uebertragen(f, programm, iResetStand);
}

int Slot(TMainForm& f) { return f.Index(f.Programm_RadioGroup) + 1; }

void Befehlsdatei_uebertragen(TMainForm& f, const std::string& datei) {
    if (!Vorhanden(datei)) return;
    Im_Rahmen(f, Dateirahmen(datei), [&] { Befehlszeilen_senden(f, Laden(datei, FirstTooLongProgramLine)); });
}

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
    const int n = Slot(*this);
    const Programmpaar p = Dateien_von(n);
    if (!Vorhanden(p)) return;
    Im_Rahmen(*this, Programmrahmen("Programm " + std::to_string(n) + " schreiben"),
              [&] { Paar_uebertragen(*this, p, "*PW" + std::to_string(n) + "\r", true); });
}

void TMainForm::ProgrammGroesseErmitteln_Befehl() {
    const int n = Slot(*this);
    const Programmpaar p = Dateien_von(n);
    if (!Vorhanden(p)) return;
    // The request carries no slot number: n only selects the file pair.
    Im_Rahmen(*this, Programmrahmen("Programmgröße " + std::to_string(n) + " ermitteln"),
              [&] { Paar_uebertragen(*this, p, "*PS\r", false); });
}

void TMainForm::ProgrammLesen_Befehl() {
    const int n = Slot(*this);
    Im_Rahmen(*this, Programmrahmen("Programm " + std::to_string(n) + " lesen"), [&] {
        Programm_anfordern(*this, n, false);
        Programm_empfangen(*this);
    });
}

void TMainForm::ProgrammHeaderLesen_Befehl() {
    const int n = Slot(*this);
    Im_Rahmen(*this, Programmrahmen("Programm-Header " + std::to_string(n) + " lesen"),
              [&] { Programm_anfordern(*this, n, true); });
}

void TMainForm::ProgrammLoeschen_Befehl() {
    const int n = Slot(*this);
    Im_Rahmen(*this, Programmrahmen("Programm " + std::to_string(n) + " löschen"),
              [&] { Programm_loeschen(*this, n); });
}

void TMainForm::FATLesen_Befehl() {
    const int n = Slot(*this);
    Im_Rahmen(*this, Programmrahmen("FAT " + std::to_string(n) + " lesen"), [&] { FAT_lesen(*this, n); });
}

void TMainForm::ProgrammLesenAlle_Befehl() {
    Im_Rahmen(*this, Programmrahmen("alle Programme lesen"), [] {});
}

void TMainForm::ProgrammLoeschenAlle_Befehl() {
    Im_Rahmen(*this, Programmrahmen("alle Programme löschen"), [&] { Alle_Programme_loeschen(*this); });
}

void TMainForm::FATLesenAlle_Befehl() {
    Im_Rahmen(*this, Programmrahmen("gesamte FAT lesen"), [&] { Gesamte_FAT_lesen(*this); });
}

void TMainForm::ProgrammSchreibenDatei_Befehl() { Befehlsdatei_uebertragen(*this, "ini.txt"); }
void TMainForm::IniDatei_Befehl() { Befehlsdatei_uebertragen(*this, "ini.txt"); }
void TMainForm::BefehleDatei_Befehl() { Befehlsdatei_uebertragen(*this, "befehle.txt"); }
