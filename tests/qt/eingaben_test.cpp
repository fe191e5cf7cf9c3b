// Bad input through the window: entries of every kind in the number fields,
// program, header and command files that are missing, unreadable, binary or
// oddly broken into lines, a working folder that is read-only or full, and
// the protocol log that keeps every earlier line.
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "routinen/arbeitsordner.h"
#include "routinen/default_files.h"
#include "common/protokolldatei.h"
#include "support/konsole.h"

namespace fs = std::filesystem;

namespace {

KonsolenStart MitUAchse() {
    KonsolenStart s;
    s.optionen = {"/UACHSE"};
    s.sim.timeScale = 0.05;
    return s;
}

std::vector<std::string> Anfragen(Konsole& k) { return k.Sim().Requests(); }

std::vector<std::string> Seit(Konsole& k, size_t ab) {
    const auto alle = Anfragen(k);
    return std::vector<std::string>(alle.begin() + std::min(ab, alle.size()), alle.end());
}

bool Ausfuehren(Konsole& k, QAbstractButton* knopf) {
    k.Klick(knopf);
    return k.Leerlauf();
}

void Schreiben(const std::string& name, const std::string& inhalt) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << inhalt;
}

std::vector<std::string> Liste(const QStringList& l) {
    std::vector<std::string> v;
    for (const auto& s : l) v.push_back(s.toStdString());
    return v;
}

// Every kind of entry that is not a number the field can take: each must
// be read as 0.
const QStringList kKeineZahlen = {
    "",
    "   ",
    "+",
    "-",
    "+-",
    "--5",
    "1-2",
    "12a",
    "0x10",
    "1.5",
    "\t12",
    "12\t",
    "1\t2",
    QString::fromUtf8("äöü"),
    QString::fromUtf8("１２"),                      // full-width digits
    QString::fromUtf8("1２"),                       // ASCII and full-width
    QString(40, '9'),                              // 40 digits
    QString(39, '0') + "7",                        // 40 characters, worth 7
    "99999999999",                                 // beyond 32 bits
    "-2147483649",
};

}  // namespace

class Eingaben : public QObject {
    Q_OBJECT
private slots:
    void zahlenfelder_data();
    void zahlenfelder();
    void grenzwerte_data();
    void grenzwerte();
    void dateien_data();
    void dateien();
    void abgebrochenesSchreiben_data();
    void abgebrochenesSchreiben();
    void portnummerAusserhalb_data();
    void portnummerAusserhalb();
    void keineSerielleSchnittstelle();
    void protokollIstKeineDatei();
    void desktopOhneArbeitsordner();
    void schreibgeschuetzterOrdner();
    void vollerDatentraeger();
    void protokollBehaeltFruehereZeilen();
};

void Eingaben::zahlenfelder_data() {
    QTest::addColumn<QString>("feld");
    QTest::addColumn<QString>("knopf");
    QTest::addColumn<QStringList>("anfragen");  // what an entry read as 0 sends
    QTest::newRow("Startgeschwindigkeit") << "Startgeschw_Edit"
                                          << "Startgeschw_Button" << QStringList{"#S0\r"};
    QTest::newRow("Rampenlaenge") << "Rampenlaenge_Edit"
                                  << "Rampenlaenge_Button" << QStringList{"#R0\r"};
    QTest::newRow("Endgeschwindigkeit") << "Endgeschw_Edit"
                                        << "Endgeschw_Button" << QStringList{"#E1,0\r", "#E9,0\r"};
    QTest::newRow("Wartezeit") << "Wartezeit_Edit"
                               << "Wartezeit_Button" << QStringList{"W0\r"};
    QTest::newRow("Referenzoffset") << "RefOffset_Edit"
                                    << "RefOffset_Button"
                                    << QStringList{"#Ox,0\r", "#Oy,0\r", "#Oz,0\r", "#Ou,0\r", "#Ou,0\r"};
    QTest::newRow("Vektor x") << "VektorX_Edit"
                              << "xyzVektorFahren_Button" << QStringList{"L1,x0,y0,z0\r"};
    QTest::newRow("Vektor u") << "VektorU_Edit"
                              << "uVektorFahren_Button" << QStringList{"L1,u0\r"};
}

// Each bad entry is sent as 0, exactly once, and nothing else goes out.
void Eingaben::zahlenfelder() {
    QFETCH(QString, feld);
    QFETCH(QString, knopf);
    QFETCH(QStringList, anfragen);
    Konsole k(MitUAchse());
    auto* edit = k.Form().findChild<QLineEdit*>(feld);
    auto* button = k.Form().findChild<QAbstractButton*>(knopf);
    QVERIFY(edit && button);
    int versucht = 0, gekuerzt = 0;
    for (const QString& eintrag : kKeineZahlen) {
        edit->setText(eintrag);
        if (edit->text() != eintrag) {
            // The field holds fewer characters than the entry: cut as typed.
            QCOMPARE(edit->text(), eintrag.left(edit->maxLength()));
            if (edit->text().toLongLong() != 0) {  // a real number now
                ++gekuerzt;
                continue;
            }
        }
        const size_t vorher = Anfragen(k).size();
        QVERIFY(Ausfuehren(k, button));
        QVERIFY2(Seit(k, vorher) == Liste(anfragen), qPrintable("Eintrag: '" + eintrag + "'"));
        QVERIFY2(k.Boxen().empty(), qPrintable("Eintrag: '" + eintrag + "'"));
        ++versucht;
    }
    qInfo("%d Eintraege versucht, %d vom Feld gekuerzt", versucht, gekuerzt);
    QCOMPARE(versucht + gekuerzt, int(kKeineZahlen.size()));
    QVERIFY(versucht >= 17);
}

void Eingaben::grenzwerte_data() {
    QTest::addColumn<QString>("feld");
    QTest::addColumn<QString>("knopf");
    QTest::addColumn<QString>("eintrag");
    QTest::addColumn<QStringList>("anfragen");
    QTest::addColumn<QString>("box");
    // Numbers the command refuses: a message, nothing sent.
    QTest::newRow("Start negativ") << "Startgeschw_Edit"
                                   << "Startgeschw_Button"
                                   << "-5" << QStringList{} << "Pelto-Befehle: OUT_OF_RANGE";
    QTest::newRow("Start zu hoch") << "Startgeschw_Edit"
                                   << "Startgeschw_Button"
                                   << "128001" << QStringList{} << "Pelto-Befehle: OUT_OF_RANGE";
    QTest::newRow("Wartezeit negativ") << "Wartezeit_Edit"
                                       << "Wartezeit_Button"
                                       << "- 1" << QStringList{} << "Pelto-Befehle: OUT_OF_RANGE";
    QTest::newRow("Wartezeit zu lang") << "Wartezeit_Edit"
                                       << "Wartezeit_Button"
                                       << "3600001" << QStringList{} << "Pelto-Befehle: OUT_OF_RANGE";
    QTest::newRow("Rampe ueber 60000") << "Rampenlaenge_Edit"
                                       << "Rampenlaenge_Button"
                                       << "60001" << QStringList{} << "Pelto-Befehle: OUT_OF_RANGE";
    // Blanks inside a number do not count; the 16 bits of the end speed wrap.
    QTest::newRow("Leerzeichen im Start") << "Startgeschw_Edit"
                                          << "Startgeschw_Button"
                                          << " 1 2 " << QStringList{"#S12\r"} << "";
    QTest::newRow("Endgeschwindigkeit -1") << "Endgeschw_Edit"
                                           << "Endgeschw_Button"
                                           << "-1" << QStringList{"#E1,65535\r", "#E9,65535\r"} << "";
    QTest::newRow("hoechste Startgeschwindigkeit") << "Startgeschw_Edit"
                                                   << "Startgeschw_Button"
                                                   << "+128000" << QStringList{"#S128000\r"} << "";
}

void Eingaben::grenzwerte() {
    QFETCH(QString, feld);
    QFETCH(QString, knopf);
    QFETCH(QString, eintrag);
    QFETCH(QStringList, anfragen);
    QFETCH(QString, box);
    Konsole k(MitUAchse());
    k.Form().findChild<QLineEdit*>(feld)->setText(eintrag);
    const size_t vorher = Anfragen(k).size();
    QVERIFY(Ausfuehren(k, k.Form().findChild<QAbstractButton*>(knopf)));
    QCOMPARE(Seit(k, vorher), Liste(anfragen));
    QCOMPARE(k.Boxen(), box.isEmpty() ? std::vector<std::string>{} : std::vector<std::string>{box.toStdString()});
}

namespace {

// The lines the test files hold, and how they are broken.
const std::string kZeile126 = "A" + std::string(125, '1');
const std::string kZeile127 = "A" + std::string(126, '1');
const std::string kZeile300 = "A" + std::string(299, '1');

// A file with `mitte` as its second line, CR LF after every line.
std::string Mit(const std::string& mitte) { return "A1,1\r\n" + mitte + "\r\nA1,0\r\n"; }

std::string Inhalt(const QString& art) {
    if (art == "ohne Umbruch") return "A1,1\r\n#S200\r\nA1,0";
    if (art == "nur CR") return "A1,1\r#S200\rA1,0\r";
    if (art == "nur LF") return "A1,1\n#S200\nA1,0\n";
    if (art == "0xFF") return Mit("\xff\xfe,1");
    if (art == "126") return Mit(kZeile126);
    if (art == "127") return Mit(kZeile127);
    if (art == "300") return Mit(kZeile300);
    if (art == "NUL") return Mit(std::string("A1\0,1", 5));
    if (art == "ETX") return Mit("\x03" "A2,1");
    if (art == "STX") return Mit("Kopf\x02" "A2,1");
    if (art == "BEL") return Mit("A2\a,1");
    if (art == "TAB") return Mit("A2,\t1");
    if (art == "@") return Mit("@V");
    if (art == "BOM") return "\xEF\xBB\xBF" + Mit("#S200");
    if (art == "Leerzeile") return "A1,1\r\n\r\n#S200\r\nA1,0\r\n";
    if (art == "Blankzeile") return "A1,1\r\n \t \r\n#S200\r\nA1,0\r\n";
    if (art == "Leerzeile am Ende") return Mit("#S200") + "\r\n";
    return {};
}

std::vector<std::string> Zeilen(const QString& art) {
    std::string mitte = "#S200";
    if (art == "0xFF") mitte = "\xff\xfe,1";
    if (art == "126") mitte = kZeile126;
    if (art == "127") mitte = kZeile127;
    if (art == "300") mitte = kZeile300;
    if (art == "TAB") mitte = "A2,\t1";
    if (art == "@") mitte = "@V";
    return {"A1,1", mitte, "A1,0"};
}

// The button that reads the file.
QAbstractButton* Knopf(TMainForm& f, const std::string& datei) {
    if (datei == "ini.txt") return f.IniDatei_Button;
    if (datei == "befehle.txt") return f.BefehleDatei_Button;
    return f.ProgrammSchreiben_Button;
}

// What reaches the controller when the file is read as `zeilen`.
std::vector<std::string> Gesendet(const std::string& datei, const std::vector<std::string>& zeilen) {
    std::vector<std::string> r;
    if (datei == "header1.txt") {
        std::string kopf;
        for (const auto& z : zeilen) kopf += z;
        r = {"*PW1\r", kopf + "\x02", "T1\r"};
        for (const auto& z : Programm_Zeilen(1))
            if (z[0] != '\'') r.push_back(z + "\r");
        r.push_back("\x03");
        return r;
    }
    if (datei == "programm1.txt") r = {"*PW1\r", "Header 1\x02", "T1\r"};
    for (const auto& z : zeilen) r.push_back(z + "\r");
    if (datei == "programm1.txt") r.push_back("\x03");
    return r;
}

// The pane holds the routine's grey start line and its error line only:
// "### <Programm> ###" ends "### <Programm> - Fehler ###", "### <Datei> ###"
// ends "... ### - Fehler".
void GrauerRahmenMitFehler(Konsole& k) {
    const auto zeilen = k.Zeilen();
    QCOMPARE(zeilen.size(), size_t(2));
    const std::string start = zeilen.front();
    QVERIFY(start.starts_with("### ") && start.ends_with(" ###"));
    QVERIFY2(zeilen.back() == start + " - Fehler" || zeilen.back() == start.substr(0, start.size() - 4) + " - Fehler ###",
             zeilen.back().c_str());
    QCOMPARE(k.Farben(), (std::vector<QColor>{QColor(128, 128, 128), QColor(128, 128, 128)}));
}

}  // namespace

void Eingaben::dateien_data() {
    QTest::addColumn<QString>("datei");
    QTest::addColumn<QString>("art");
    QTest::addColumn<QString>("box");  // empty: the file is sent
    for (const char* d : {"header1.txt", "programm1.txt", "ini.txt", "befehle.txt"}) {
        const QString datei = d;
        const bool kopf = datei.startsWith("header");
        const QString grenze = kopf ? "127" : "126";
        auto row = [&](const char* art, const QString& box) {
            QTest::newRow(qPrintable(datei + ": " + art)) << datei << QString(art) << box;
        };
        const QString vorne = "Fehler: Zeile 2 der Datei '" + datei + "' ";
        const QString steuer = vorne + "enthält das Steuerzeichen %1 und kann nicht gesendet werden.";
        const QString leer = "Fehler: Zeile %1 der Datei '" + datei + "' ist leer; eine leere Header-Zeile kann nicht gesendet werden.";
        row("fehlt", "Fehler:  Die Datei '" + datei + "' kann nicht gefunden werden! ");
        row("Ordner", "Fehler: '" + datei + "' ist keine normale Datei.");
        row("FIFO", "Fehler: '" + datei + "' ist keine normale Datei.");
        row("zu groß", "Fehler: Die Datei '" + datei + "' ist 2147483648 Bytes groß (erlaubt sind 1048576).");
        row("ohne Umbruch", "");
        row("nur CR", "");
        row("nur LF", "");
        row("0xFF", "");
        row("BOM", "");
        row("126", "");
        row("127", kopf ? "" : vorne + "ist 127 Zeichen lang (erlaubt sind 126).");
        row("300", vorne + "ist 300 Zeichen lang (erlaubt sind " + grenze + ").");
        row("NUL", vorne + "enthält ein NUL-Zeichen und kann nicht gesendet werden.");
        for (const char* z : {"ETX", "STX", "BEL"}) row(z, steuer.arg(z));
        row("TAB", "");
        const bool gespeichert = kopf || datei.startsWith("programm");
        row("@", gespeichert ? vorne + "beginnt mit \"@\" und kann nicht gesendet werden: die Steuerung nähme sie als Sofortbefehl." : "");
        row("Leerzeile", kopf ? leer.arg(2) : "");
        row("Blankzeile", kopf ? leer.arg(2) : "");
        row("Leerzeile am Ende", kopf ? leer.arg(4) : "");
    }
}

// A file that cannot be sent sends nothing (checked at the controller's
// end) and names itself (and the line) in a box, between the routine's grey
// start and error lines; any other is sent line by line, whatever its line
// ends.
void Eingaben::dateien() {
    QFETCH(QString, datei);
    QFETCH(QString, art);
    QFETCH(QString, box);
    Konsole k;
    const std::string name = datei.toStdString();
    fs::remove(name);
    if (art == "Ordner") fs::create_directory(name);
    if (art == "FIFO") QVERIFY(::mkfifo(name.c_str(), 0600) == 0);
    if (art == "zu groß") {
        Schreiben(name, Inhalt("nur LF"));
        fs::resize_file(name, 2ull << 30);  // sparse
    }
    const std::string inhalt = Inhalt(art);
    if (!inhalt.empty()) Schreiben(name, inhalt);
    const size_t vorher = Anfragen(k).size();
    QVERIFY(Ausfuehren(k, Knopf(k.Form(), name)));
    if (box.isEmpty()) {
        QCOMPARE(k.Boxen(), std::vector<std::string>{});
        QCOMPARE(Seit(k, vorher), Gesendet(name, Zeilen(art)));
        QVERIFY(k.Zeilen().back().find(" - Ende") != std::string::npos);
    } else {
        QCOMPARE(k.Boxen(), std::vector<std::string>{box.toStdString()});
        QCOMPARE(Seit(k, vorher), std::vector<std::string>{});
        if (art != "fehlt") GrauerRahmenMitFehler(k);
    }
    if (!inhalt.empty()) QCOMPARE(Lesen(name), inhalt);  // never changed
    // The worker is free for the next routine.
    QVERIFY(Ausfuehren(k, k.Form().A3_ON_SpeedButton));
    QCOMPARE(Anfragen(k).back(), std::string("A3,1\r"));
}

namespace {

// A second start of the window in `ordner`, as a new run would do; the
// link of the running console is kept out of it.
void StartIn(Konsole& k, const std::string& ordner) {
    const std::string zurueck = fs::current_path().string();
    TkeloCOM* link = keloCOM;
    keloCOM = nullptr;
    fs::current_path(ordner);
    { TMainForm zweite(k.Form().Bruecke(), QStringList{"pelto-befehle"}); }
    fs::current_path(zurueck);
    keloCOM = link;
}

// A second window in the current folder, told whether to write the
// default files.
void StartMitStandarddateien(Konsole& k, bool bStandarddateien) {
    TkeloCOM* link = keloCOM;
    keloCOM = nullptr;
    { TMainForm zweite(k.Form().Bruecke(), QStringList{"pelto-befehle"}, nullptr, bStandarddateien); }
    keloCOM = link;
}

// Files an operator edited before the start; the start must keep them.
void Bearbeitet(const std::string& ordner) {
    Schreiben(ordner + "/header.txt", "mein Kopf\r\n");
    Schreiben(ordner + "/programm4.txt", "A2,1\r\nW100\r\n");
}

void BearbeitetUnveraendert(const std::string& ordner) {
    QCOMPARE(Lesen(ordner + "/header.txt"), std::string("mein Kopf\r\n"));
    QCOMPARE(Lesen(ordner + "/programm4.txt"), std::string("A2,1\r\nW100\r\n"));
}

std::vector<std::string> Namen(const std::string& ordner) {
    std::vector<std::string> n;
    for (const auto& e : fs::directory_iterator(ordner)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}

}  // namespace

// The default files cannot be written: the message names the first file,
// the edited files stay as they are, nothing else appears.
void Eingaben::schreibgeschuetzterOrdner() {
    Konsole k;
    const std::string ordner = k.Ordner().File("nur-lesen");
    fs::create_directory(ordner);
    if (::mount("tmpfs", ordner.c_str(), "tmpfs", 0, "size=1m") != 0) QSKIP("needs the right to mount a tmpfs");
    Bearbeitet(ordner);
    const bool ro = ::mount("tmpfs", ordner.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    if (ro) StartIn(k, ordner);
    const auto namen = Namen(ordner);
    const auto boxen = k.Boxen();
    ::umount(ordner.c_str());
    QVERIFY(ro);
    QCOMPARE(boxen, std::vector<std::string>{"Pelto-Befehle: Die Datei 'programm.txt' kann nicht geschrieben "
                                             "werden: Read-only file system"});
    QCOMPARE(namen, (std::vector<std::string>{"header.txt", "programm4.txt"}));
}

// A full disk (a file-size limit for this process): the message names the
// file, no half-written file stays behind, edited files stay as they are.
void Eingaben::vollerDatentraeger() {
    Konsole k;
    const std::string ordner = k.Ordner().File("voll");
    fs::create_directory(ordner);
    Bearbeitet(ordner);
    rlimit alt{};
    getrlimit(RLIMIT_FSIZE, &alt);
    rlimit neu = alt;
    neu.rlim_cur = 4096;  // less than the 72083 bytes of programm.txt
    auto* signal = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &neu);
    StartIn(k, ordner);
    setrlimit(RLIMIT_FSIZE, &alt);
    std::signal(SIGXFSZ, signal);
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: Die Datei 'programm.txt' kann nicht geschrieben "
                                                 "werden: File too large"});
    QCOMPARE(Namen(ordner), (std::vector<std::string>{"header.txt", "programm4.txt"}));
    BearbeitetUnveraendert(ordner);
    // With room again, a new start writes the missing files and keeps the rest.
    StartIn(k, ordner);
    QCOMPARE(Namen(ordner).size(), size_t(18));
    QCOMPARE(Lesen(ordner + "/programm.txt").size(), size_t(72083));
    BearbeitetUnveraendert(ordner);
}

// Every line written earlier stays the file's beginning, whatever follows:
// failures, a new set-up, a second start of the window.
void Eingaben::protokollBehaeltFruehereZeilen() {
    Konsole k;
    for (const char* z : {"frühere Zeile 1", "", "frühere Zeile 3 <CR>\r"}) Protokolldatei_schreiben(z);
    const std::string vorher = Lesen(Protokolldatei_Pfad());
    k.Sim().SetSilent(true);
    QVERIFY(Ausfuehren(k, k.Form().Startgeschw_Button));  // logs WAIT_TIMEOUT
    k.Sim().SetSilent(false);
    QVERIFY(Ausfuehren(k, k.Form().ComIni_Button));
    k.Form().Versionsabfrage_ButtonClick();
    const std::string nachher = Lesen(Protokolldatei_Pfad());
    QVERIFY(nachher.size() > vorher.size());
    QCOMPARE(nachher.substr(0, vorher.size()), vorher);
    const auto zeilen = k.Protokoll();
    QVERIFY(std::find(zeilen.begin(), zeilen.end(), "frühere Zeile 3 <CR><CR>") != zeilen.end());
    QVERIFY(std::find(zeilen.begin(), zeilen.end(), "keloCOM->WaitResp() :: WAIT_TIMEOUT") != zeilen.end());
}

void Eingaben::abgebrochenesSchreiben_data() {
    QTest::addColumn<bool>("belegt");
    QTest::newRow("stumm nach der Eröffnung") << false;
    QTest::newRow("Platz belegt") << true;
}

// A write that fails after its opening may leave the controller taking
// program text: the pane says so and names the way back; nothing is sent
// for it. A refused opening leaves nothing open.
void Eingaben::abgebrochenesSchreiben() {
    QFETCH(bool, belegt);
    Konsole k;
    if (belegt) {
        QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    } else {
        k.Sim().SetSilent(true);  // it still takes what it is sent
    }
    const size_t vorher = Anfragen(k).size();
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    QCOMPARE(Seit(k, vorher), std::vector<std::string>{"*PW1\r"});
    const std::string hinweis = "Die Steuerung nimmt womöglich noch Programmtext an: \"Reset ausführen\" bringt sie zurück.";
    const auto zeilen = k.Zeilen();
    QCOMPARE(std::find(zeilen.begin(), zeilen.end(), hinweis) != zeilen.end(), !belegt);
    QCOMPARE(zeilen.back(), std::string("### Programm 1 schreiben - Fehler ###"));
    const std::vector<std::string> boxen = belegt ? std::vector<std::string>{} : std::vector<std::string>{"Pelto-Befehle: WAIT_TIMEOUT"};
    QCOMPARE(k.Boxen(), boxen);
    k.Sim().SetSilent(false);
    k.Form().Reset_ButtonClick();
    // Out of the header again: the set-up and the next command are answered.
    QVERIFY(Ausfuehren(k, k.Form().ComIni_Button));
    QVERIFY(Ausfuehren(k, k.Form().A3_ON_SpeedButton));
    QCOMPARE(Anfragen(k).back(), std::string("A3,1\r"));
    QCOMPARE(k.Boxen(), boxen);
}

void Eingaben::portnummerAusserhalb_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("box");
    for (const char* p : {"COM257", "COM64", "COM2147483647", "XYZ1"})
        QTest::newRow(p) << p << "Pelto-Befehle: HANDLE_COM_PORT_ERROR";
    for (const char* p : {"COM-255", "COMX1"}) QTest::newRow(p) << p << "Pelto-Befehle: COM_PORT_ERROR";
}

// A typed number outside COM1-COM63 opens nothing: COM257 is no COM1.
void Eingaben::portnummerAusserhalb() {
    QFETCH(QString, port);
    QFETCH(QString, box);
    Konsole k;
    const size_t vorher = Anfragen(k).size();
    QLineEdit* feld = k.Form().Seriell_ComboBox->lineEdit();
    feld->clear();
    QTest::keyClicks(feld, port);
    QTest::keyClick(feld, Qt::Key_Return);  // sets the link up
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Form().Seriell_ComboBox->currentText(), port);
    QVERIFY(Ausfuehren(k, k.Form().ComIni_Button));
    const auto boxen = k.Boxen();
    QVERIFY(!boxen.empty());
    QCOMPARE(boxen, std::vector<std::string>(boxen.size(), box.toStdString()));
    QCOMPARE(Seit(k, vorher), std::vector<std::string>{});
}

// PELTO_COM<n> naming a file that is no serial device: the port is not
// listed, and the failed set-up says why.
void Eingaben::keineSerielleSchnittstelle() {
    KonsolenStart start;
    start.simulatoren = 0;
    start.anzeigen = false;
    Konsole k(start);
    ::setenv("PELTO_COM5", "/etc/passwd", 1);
    k.Anzeigen();
    ::setenv("PELTO_COM5", "/nonexistent/pelto-test", 1);
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: COM_PORT_ERROR"});
    const auto zeilen = k.Zeilen();
    const std::string hinweis = "PELTO_COM5=/etc/passwd ist keine serielle Schnittstelle und wird nicht angeboten.";
    QVERIFY(std::find(zeilen.begin(), zeilen.end(), hinweis) != zeilen.end());
}

// A pipe under the protocol log's name would block the start for good: the
// console works without the log and says so once.
void Eingaben::protokollIstKeineDatei() {
    Konsole k;
    const std::string pfad = Protokolldatei_Pfad();
    fs::remove(pfad);
    QVERIFY(::mkfifo(pfad.c_str(), 0600) == 0);
    StartIn(k, k.Ordner().Path());
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: Das Protokoll '" + pfad +
                                                 "' ist keine normale Datei und wird nicht geschrieben."});
    QVERIFY(Ausfuehren(k, k.Form().ComIni_Button));
    QCOMPARE(Anfragen(k).back(), std::string("@V\r"));
    QVERIFY(fs::is_fifo(pfad));
}

// The desktop's working folder cannot be made (the home folder is a file):
// no default files go anywhere, nothing in the start folder is touched, and
// the box names the folder.
void Eingaben::desktopOhneArbeitsordner() {
    Konsole k;
    const std::string start = k.Ordner().File("start");
    fs::create_directory(start);
    Schreiben(start + "/_protokoll.txt", "gehört dem Bediener");
    const char* alt = std::getenv("HOME");
    const std::string altesHeim = alt ? alt : "";
    const std::string heim = k.Ordner().File("heim-ist-eine-datei");
    Schreiben(heim, "x");
    ::setenv("HOME", heim.c_str(), 1);
    const std::string zurueck = fs::current_path().string();
    fs::current_path(start);
    const std::string fehler = Arbeitsordner_betreten(Arbeitsordner_Desktop());
    StartMitStandarddateien(k, fehler.empty());
    fs::current_path(zurueck);
    ::setenv("HOME", altesHeim.c_str(), 1);
    QVERIFY(fehler.starts_with("Der Ordner '" + heim + "/Pelto-Befehle' kann nicht angelegt werden: "));
    QCOMPARE(Namen(start), std::vector<std::string>{"_protokoll.txt"});
}

QTEST_MAIN(Eingaben)
#include "eingaben_test.moc"
