// Command files from the window against the simulated controller: "Ini",
// "Befehle" and, with /KELO, "Datei".
#include <sys/stat.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "routinen/default_files.h"
#include "support/konsole.h"

namespace {

const QColor kSchwarzQ(0, 0, 0), kBlauQ(0, 0, 255), kGrauQ(128, 128, 128);

void Datei(const std::string& name, const std::vector<std::string>& zeilen) {
    std::ofstream(name, std::ios::binary) << MitCrLf(zeilen);
}

KonsolenStart Start(double zeitmass = 1.0, QStringList optionen = {}) {
    KonsolenStart s;
    s.sim.timeScale = zeitmass;
    s.optionen = optionen;
    return s;
}

bool Ausfuehren(Konsole& k, QAbstractButton* knopf, int ms = 20000) {
    k.Klick(knopf);
    return k.Leerlauf(ms);
}

// Requests after the start-up's "\r" and "@V\r".
std::vector<std::string> Neu(Konsole& k) {
    const auto alle = k.Sim().Requests();
    return std::vector<std::string>(alle.begin() + std::min<size_t>(2, alle.size()), alle.end());
}

std::vector<std::string> Gerahmt(const std::string& datei, std::vector<std::string> mitte, const std::string& schluss) {
    mitte.insert(mitte.begin(), "### " + datei + " übertragen ###");
    mitte.push_back("### " + datei + " übertragen ### - " + schluss);
    return mitte;
}

}  // namespace

class Befehlsdateien : public QObject {
    Q_OBJECT
private slots:
    void iniUndDateiGleich_data();
    void iniUndDateiGleich();
    void befehleWartetAufNak();
    void langeAusfuehrungWirdAbgewartet();
    void fehlerantwortHaeltNichtAuf();
    void nurKommentare();
    void fehlendeDatei();
    void schlechteDatei_data();
    void schlechteDatei();
    void zeitueberschreitungHaeltAn();
};

void Befehlsdateien::iniUndDateiGleich_data() {
    QTest::addColumn<QString>("knopf");
    QTest::newRow("Ini") << "IniDatei_Button";
    QTest::newRow("Datei") << "ProgrammSchreibenDatei_Button";
}

void Befehlsdateien::iniUndDateiGleich() {
    QFETCH(QString, knopf);
    Konsole k(Start(1.0, {"/KELO"}));
    QAbstractButton* b = k.Form().findChild<QAbstractButton*>(knopf);
    QVERIFY(b && b->isVisible());
    QVERIFY(Ausfuehren(k, b));
    QCOMPARE(
        k.Zeilen(),
        Gerahmt("ini.txt", {"c,x100<CR>", "<ACK>", "c,y100<CR>", "<ACK>", "c,z100<CR>", "<ACK>", "c,u100<CR>", "<ACK>"},
                "Ende"));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kGrauQ, kSchwarzQ, kBlauQ, kSchwarzQ, kBlauQ, kSchwarzQ, kBlauQ,
                                              kSchwarzQ, kBlauQ, kGrauQ}));
    QCOMPARE(Neu(k), (std::vector<std::string>{"c,x100\r", "c,y100\r", "c,z100\r", "c,u100\r"}));
    QVERIFY(k.Boxen().empty());
}

// Each move and wait is answered NAK; its final ACK comes before the next
// request is shown.
void Befehlsdateien::befehleWartetAufNak() {
    Konsole k(Start(0.05));
    QVERIFY(Ausfuehren(k, k.Form().BefehleDatei_Button));
    std::vector<std::string> mitte;
    std::vector<std::string> anfragen;
    for (const std::string& z : Befehle_Zeilen()) {
        mitte.push_back(z + "<CR>");
        const bool lang = z[0] == 'L' || z[0] == 'W';
        mitte.push_back(lang ? "<NAK>" : "<ACK>");
        if (lang) mitte.push_back("<ACK>");
        anfragen.push_back(z + "\r");
    }
    QCOMPARE(k.Zeilen(), Gerahmt("befehle.txt", mitte, "Ende"));
    QCOMPARE(Neu(k), anfragen);
    QCOMPARE(k.Sim().Position('x'), int64_t(0));
    QVERIFY(k.Boxen().empty());
}

void Befehlsdateien::langeAusfuehrungWirdAbgewartet() {
    Konsole k;
    Datei("befehle.txt", {"W1500", "A1,1"});
    QElapsedTimer t;
    t.start();
    QVERIFY(Ausfuehren(k, k.Form().BefehleDatei_Button));
    QVERIFY(t.elapsed() >= 1400);
    QCOMPARE(k.Zeilen(), Gerahmt("befehle.txt", {"W1500<CR>", "<NAK>", "<ACK>", "A1,1<CR>", "<ACK>"}, "Ende"));
}

void Befehlsdateien::fehlerantwortHaeltNichtAuf() {
    Konsole k;
    Datei("ini.txt", {"c,x100", "XYZ", "T7", "c,u100"});
    QVERIFY(Ausfuehren(k, k.Form().IniDatei_Button));
    QCOMPARE(
        k.Zeilen(),
        Gerahmt("ini.txt", {"c,x100<CR>", "<ACK>", "XYZ<CR>", "E1<BEL>", "T7<CR>", "E6<BEL>", "c,u100<CR>", "<ACK>"},
                "Ende"));
    QVERIFY(k.Boxen().empty());
}

void Befehlsdateien::nurKommentare() {
    Konsole k;
    Datei("befehle.txt", {"' nur Kommentare", "/L1,x200", "   ", ""});
    QVERIFY(Ausfuehren(k, k.Form().BefehleDatei_Button));
    QCOMPARE(k.Zeilen(), Gerahmt("befehle.txt", {}, "Ende"));
    QVERIFY(Neu(k).empty());
}

void Befehlsdateien::fehlendeDatei() {
    Konsole k;
    std::filesystem::remove("befehle.txt");
    const auto vorher = k.Zeilen();
    QVERIFY(Ausfuehren(k, k.Form().BefehleDatei_Button));
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Fehler:  Die Datei 'befehle.txt' kann nicht gefunden werden! "});
    QCOMPARE(k.Zeilen(), vorher);
    QVERIFY(Neu(k).empty());
}

void Befehlsdateien::schlechteDatei_data() {
    QTest::addColumn<QString>("art");
    QTest::addColumn<QString>("box");
    QTest::newRow("Ordner") << "ordner"
                            << "Fehler: 'ini.txt' ist keine normale Datei.";
    QTest::newRow("Pipe") << "fifo"
                          << "Fehler: 'ini.txt' ist keine normale Datei.";
    QTest::newRow("Zeile zu lang") << "lang"
                                   << "Fehler: Zeile 3 der Datei 'ini.txt' ist 127 Zeichen lang (erlaubt sind 126).";
}

// Refused before its first line goes out; the worker goes on serving.
void Befehlsdateien::schlechteDatei() {
    QFETCH(QString, art);
    QFETCH(QString, box);
    Konsole k;
    std::filesystem::remove("ini.txt");
    if (art == "ordner") std::filesystem::create_directory("ini.txt");
    if (art == "fifo") QVERIFY(::mkfifo("ini.txt", 0600) == 0);
    if (art == "lang") Datei("ini.txt", {"c,x100", "'" + std::string(200, 'c'), std::string(127, 'x'), "c,y100"});
    QVERIFY(Ausfuehren(k, k.Form().IniDatei_Button));
    QCOMPARE(k.Boxen(), std::vector<std::string>{box.toStdString()});
    QCOMPARE(k.Zeilen(), Gerahmt("ini.txt", {}, "Fehler"));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kGrauQ, kGrauQ}));
    QVERIFY(Neu(k).empty());
    Datei("befehle.txt", {"A1,1"});
    QVERIFY(Ausfuehren(k, k.Form().BefehleDatei_Button));
    QCOMPARE(k.Zeilen(), Gerahmt("befehle.txt", {"A1,1<CR>", "<ACK>"}, "Ende"));
}

// A line without an answer ends the transfer there.
void Befehlsdateien::zeitueberschreitungHaeltAn() {
    Konsole k;
    k.Sim().SetSilent(true);
    QVERIFY(Ausfuehren(k, k.Form().IniDatei_Button));
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: WAIT_TIMEOUT"});
    QCOMPARE(k.Zeilen(),
             (std::vector<std::string>{"c,x100<CR>", "", "### ini.txt übertragen ### - Fehler"}));
    QCOMPARE(Neu(k), std::vector<std::string>{"c,x100\r"});
}

QTEST_MAIN(Befehlsdateien)
#include "befehlsdateien_test.moc"
