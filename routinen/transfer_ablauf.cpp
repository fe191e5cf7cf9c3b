#include "routinen/transfer_ablauf.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "routinen/file_lines.h"
#include "routinen/programm_transfer.h"
#include "routinen/routinenrahmen.h"
#include "common/dialog.h"
#include "common/fehler.h"
#include "common/zeichen.h"
#include "link/keloCOMv1.h"

namespace {

// "E5": the slot is taken, the controller refused the opening.
constexpr int32_t kProgrammVorhanden = CONTROLLER_ERROR_BASE + 5;

// The window composed its grey lines in a 260-character buffer.
constexpr std::size_t kZeileHoechstens = 259;


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

void Grau_zeigen(RoutinenSink& s, const std::string& zeile) {
    s.Zeile(zeile.substr(0, kZeileHoechstens), Zeilenart::Rahmen);
}

// Empties the log and runs the operation between its start line and its
// end line; a failure is reported and ends it with the error line.
template <typename Vorgang>
int32_t Im_Rahmen(RoutinenSink& s, const Rahmenzeilen& r, Vorgang vorgang) {
    s.Leeren();
    Grau_zeigen(s, r.start);
    const int32_t iErgebnis = Routine_ausfuehren(s, vorgang);
    Grau_zeigen(s, iErgebnis ? r.fehler : r.ende);
    return iErgebnis;
}

std::string Fehlt_Text(const std::string& datei) {
    return " Die Datei '" + datei + "' kann nicht gefunden werden! ";
}

// A name that cannot even be looked at counts as present: loading it names
// the reason.
bool Vorhanden(const std::string& datei) {
    std::error_code fehler;
    return std::filesystem::exists(datei, fehler) || fehler;
}

// Shows the operator's box for a missing file.
bool Vorhanden_melden(const std::string& datei) {
    if (Vorhanden(datei)) return true;
    ShowMessage(Fehlt_Text(datei), "Fehler", MessageIcon::Exclamation);
    return false;
}

bool Vorhanden_melden(const Programmpaar& p) { return Vorhanden_melden(p.header) && Vorhanden_melden(p.programm); }

using ZeilenPruefung = std::optional<UnsendbareZeile> (*)(const std::vector<std::string>&);

// The whole file, or a DateiProblem when it cannot be read or holds a line
// that cannot go out as it is.
std::vector<std::string> Laden(const std::string& datei, ZeilenPruefung unsendbar) {
    DateiZeilen d = LoadLines(datei);
    if (!d.ok()) throw DateiProblem{d.fehler->text};
    if (const auto zeile = unsendbar(d.zeilen)) throw DateiProblem{UnsendbareZeileText(datei, *zeile)};
    return std::move(d.zeilen);
}

std::optional<std::string> Pruefen(const std::string& datei, ZeilenPruefung unsendbar) {
    if (!Vorhanden(datei)) return Fehlt_Text(datei);
    try {
        Laden(datei, unsendbar);
    } catch (const DateiProblem& p) {
        return p.text;
    }
    return std::nullopt;
}

// Both files are read and checked before the first request goes out.
void Paar_uebertragen(RoutinenSink& s, const Programmpaar& p, const std::string& eroeffnung, bool bEinstellungen) {
    const std::vector<std::string> header = Laden(p.header, FirstUnsendableHeaderLine);
    const std::vector<std::string> programm = Laden(p.programm, FirstUnsendableProgramLine);
    const uint32_t iResetStand = s.Link().iResets;
    s.Zeilen_erwartet(header.size() + Befehlszeilen_zahl(programm));
    Befehl_setzen(s, eroeffnung);
    s.Im_Programmtext(true);
    try {
        Header_uebertragen(s, header, iResetStand);
        // The drive settings become the first commands of the stored program.
        if (bEinstellungen && !s.Abgebrochen()) s.Einstellungen_senden();
        Programm_uebertragen(s, programm, iResetStand);
        s.Im_Programmtext(false);
    } catch (int& e) {
        s.Im_Programmtext(false);
        // A refused opening, an answered body end mark, or a confirmed reset
        // or stop leaves nothing open; an interrupted tool sent none.
        const bool bEndeBeantwortet = s.Link().Anfrage()[0] == zeichen::ETX && s.Link().Antwort()[0] != '\0';
        if (e == kProgrammVorhanden || bEndeBeantwortet || (s.Link().iResets != iResetStand && !s.Abgebrochen()))
            throw;
        throw ProgrammtextOffen{e};
    }
}

std::string Nummer(int n) { return std::to_string(n); }

}  // namespace

Programmpaar Dateien_von(int n) { return {"header" + Nummer(n) + ".txt", "programm" + Nummer(n) + ".txt"}; }

std::optional<std::string> Befehlsdatei_pruefen(const std::string& datei) {
    return Pruefen(datei, FirstUnsendableCommandLine);
}

std::optional<std::string> Programmpaar_pruefen(const Programmpaar& p) {
    if (auto problem = Pruefen(p.header, FirstUnsendableHeaderLine)) return problem;
    return Pruefen(p.programm, FirstUnsendableProgramLine);
}

int32_t Schreiben_Ablauf(RoutinenSink& s, int n, const Programmpaar& p) {
    if (!Vorhanden_melden(p)) return kDateiNichtSendbar;
    return Im_Rahmen(s, Programmrahmen("Programm " + Nummer(n) + " schreiben"),
                     [&] { Paar_uebertragen(s, p, "*PW" + Nummer(n) + "\r", true); });
}

int32_t Groesse_Ablauf(RoutinenSink& s, std::optional<int> n, const Programmpaar& p) {
    if (!Vorhanden_melden(p)) return kDateiNichtSendbar;
    const std::string was = n ? "Programmgröße " + Nummer(*n) + " ermitteln" : "Programmgröße ermitteln";
    return Im_Rahmen(s, Programmrahmen(was), [&] { Paar_uebertragen(s, p, "*PS\r", false); });
}

int32_t Lesen_Ablauf(RoutinenSink& s, int n) {
    return Im_Rahmen(s, Programmrahmen("Programm " + Nummer(n) + " lesen"), [&] {
        Programm_anfordern(s, n, false);
        Programm_empfangen(s);
    });
}

int32_t Header_Ablauf(RoutinenSink& s, int n) {
    return Im_Rahmen(s, Programmrahmen("Programm-Header " + Nummer(n) + " lesen"),
                     [&] { Programm_anfordern(s, n, true); });
}

int32_t Loeschen_Ablauf(RoutinenSink& s, int n) {
    return Im_Rahmen(s, Programmrahmen("Programm " + Nummer(n) + " löschen"), [&] { Programm_loeschen(s, n); });
}

int32_t FAT_Ablauf(RoutinenSink& s, int n) {
    return Im_Rahmen(s, Programmrahmen("FAT " + Nummer(n) + " lesen"), [&] { FAT_lesen(s, n); });
}

int32_t Alle_lesen_Ablauf(RoutinenSink& s) { return Im_Rahmen(s, Programmrahmen("alle Programme lesen"), [] {}); }

int32_t Alle_loeschen_Ablauf(RoutinenSink& s) {
    return Im_Rahmen(s, Programmrahmen("alle Programme löschen"), [&] { Alle_Programme_loeschen(s); });
}

int32_t Gesamte_FAT_Ablauf(RoutinenSink& s) {
    return Im_Rahmen(s, Programmrahmen("gesamte FAT lesen"), [&] { Gesamte_FAT_lesen(s); });
}

int32_t Befehlsdatei_Ablauf(RoutinenSink& s, const std::string& datei) {
    if (!Vorhanden_melden(datei)) return kDateiNichtSendbar;
    return Im_Rahmen(s, Dateirahmen(datei), [&] { Befehlszeilen_senden(s, Laden(datei, FirstUnsendableCommandLine)); });
}
