// Program memory from the window against the simulated controller: write,
// read back, header, size, delete, the allocation table, and bad files.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "routinen/default_files.h"
#include "app/radio_group.h"
#include "support/sim_profil.h"
#include "support/konsole.h"

namespace {

const QColor kSchwarzQ(0, 0, 0), kBlauQ(0, 0, 255), kRotQ(255, 0, 0), kGrauQ(128, 128, 128);

// The default body lines of slot 3 as sent (comments left out).
const std::vector<std::string> kKoerper3 = {"A1,1", "#S200",   "#E1,500", "#R250",   "L1,x300",
                                            "W500", "#E2,500", "#R250",   "L2,y600", "A1,0"};

void Datei(const std::string& name, const std::vector<std::string>& zeilen) {
    std::ofstream(name, std::ios::binary) << MitCrLf(zeilen);
}

KonsolenStart Schnell() {
    KonsolenStart s;
    s.sim.timeScale = 0.05;
    return s;
}

void Slot(Konsole& k, int n) { RadioGroup_SetItemIndex(k.Form().Programm_RadioGroup, n - 1); }

bool Ausfuehren(Konsole& k, QAbstractButton* knopf) {
    k.Klick(knopf);
    return k.Leerlauf();
}

// Requests after the start-up's "\r" and "@V\r".
std::vector<std::string> Neu(Konsole& k) {
    const auto alle = k.Sim().Requests();
    return std::vector<std::string>(alle.begin() + std::min<size_t>(2, alle.size()), alle.end());
}

std::vector<std::string> MitCr(const std::vector<std::string>& zeilen, const std::string& cr) {
    std::vector<std::string> r;
    for (const auto& z : zeilen) r.push_back(z + cr);
    return r;
}

// The drive settings of the default window ("T/R") lead every stored body.
std::vector<std::string> MitEinstellung(std::vector<std::string> body) {
    body.insert(body.begin(), "T1");
    return body;
}

}  // namespace

class Programme : public QObject {
    Q_OBJECT
private slots:
    void schreibenUndZuruecklesen();
    void fatUndLoeschen();
    void headerBudget_data();
    void headerBudget();
    void nurKommentareUndLeerzeilen();
    void nachlaufendeLeerzeichenEntfallen();
    void belegterSlot();
    void leererSlot_data();
    void leererSlot();
    void alleLoeschenUndGesamteFat();
    void groesse();
    void groesseOhneDatei_data();
    void groesseOhneDatei();
    void schlechteDateien_data();
    void schlechteDateien();
    void grenzlaengenWerdenGesendet();
    void alleLesenSendetNichts();
    void grossesTestprogramm();
};

void Programme::schreibenUndZuruecklesen() {
    Konsole k;
    TMainForm& f = k.Form();
    Slot(k, 3);
    QVERIFY(Ausfuehren(k, f.ProgrammSchreiben_Button));

    // The drive settings go between the header end mark and the body.
    std::vector<std::string> erwartet = {"*PW3\r", "Header 3\x02", "T1\r"};
    for (const auto& z : MitCr(kKoerper3, "\r")) erwartet.push_back(z);
    erwartet.push_back("\x03");
    QCOMPARE(Neu(k), erwartet);

    std::vector<std::string> pane = {"*PW3<CR>", Eroeffnungsantwort("*PW3"), "Header 3", "<STX>", "<ACK>", "T1<CR>", "<ACK>"};
    std::vector<QColor> farben = {kSchwarzQ, kBlauQ, kSchwarzQ, kSchwarzQ, kBlauQ, kSchwarzQ, kBlauQ};
    for (const auto& z : MitCr(kKoerper3, "<CR>")) {
        pane.insert(pane.end(), {z, "<ACK>"});
        farben.insert(farben.end(), {kSchwarzQ, kBlauQ});
    }
    pane.insert(pane.end(), {"<ETX>", "<ACK>", "### Programm 3 schreiben - Ende ###"});
    farben.insert(farben.end(), {kSchwarzQ, kBlauQ, kGrauQ});
    QCOMPARE(k.Zeilen(), pane);
    QCOMPARE(k.Farben(), farben);
    QVERIFY(k.Boxen().empty());

    QVERIFY(k.Sim().SlotOccupied(3));
    QCOMPARE(k.Sim().Slot(3).header, std::string("Header 3"));
    QCOMPARE(k.Sim().Slot(3).body, MitEinstellung(kKoerper3));

    // Read back: every reply of the read, in the order it came.
    QVERIFY(Ausfuehren(k, f.ProgrammLesen_Button));
    pane = {"### Programm 3 lesen ###", "*PR3<CR>", "*PR3<CR>", "Header 3<STX>"};
    for (const auto& z : MitCr(MitEinstellung(kKoerper3), "<CR>")) pane.push_back(z);
    pane.insert(pane.end(), {"<ETX><ACK>", "### Programm 3 lesen - Ende ###"});
    QCOMPARE(k.Zeilen(), pane);
    QCOMPARE(k.Farben().front(), kGrauQ);
    QCOMPARE(k.Farben().at(1), kSchwarzQ);
    QCOMPARE(k.Farben().at(k.Zeilen().size() - 2), kBlauQ);

    QVERIFY(Ausfuehren(k, f.ProgrammHeaderLesen_Button));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"### Programm-Header 3 lesen ###", "*PR3H<CR>",
                                                   "*PR3H Header 3<ACK>", "### Programm-Header 3 lesen - Ende ###"}));
}

void Programme::fatUndLoeschen() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Slot(k, 2);
    QVERIFY(Ausfuehren(k, f.ProgrammSchreiben_Button));
    QVERIFY(Ausfuehren(k, f.FATLesen_Button));
    const auto zeilen = k.Zeilen();
    QCOMPARE(zeilen.size(), size_t(4));
    QCOMPARE(zeilen[0], std::string("### FAT 2 lesen ###"));
    QCOMPARE(zeilen[1], std::string("*FR2<CR>"));
    QVERIFY(zeilen[2].rfind("*FR2 1,8,", 0) == 0);
    QCOMPARE(zeilen[3], std::string("### FAT 2 lesen - Ende ###"));

    QVERIFY(Ausfuehren(k, f.ProgrammLoeschen_Button));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"### Programm 2 löschen ###", "*PE2<CR>", "*PE2<NAK>", "<ACK>",
                                                   "### Programm 2 löschen - Ende ###"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kGrauQ, kSchwarzQ, kBlauQ, kBlauQ, kGrauQ}));
    QVERIFY(!k.Sim().SlotOccupied(2));
}

void Programme::headerBudget_data() {
    QTest::addColumn<QList<int>>("laengen");
    QTest::addColumn<QList<int>>("gesendet");  // indexes of the lines that go out
    QTest::addColumn<bool>("vollstaendig");
    QTest::newRow("genau 251") << QList<int>{127, 124} << QList<int>{0, 1} << true;
    QTest::newRow("eins darueber, eine kuerzere passt noch") << QList<int>{127, 125, 124} << QList<int>{0, 2} << false;
    QTest::newRow("nur die erste") << QList<int>{127, 127, 127} << QList<int>{0} << false;
    QTest::newRow("viele kurze") << QList<int>{100, 100, 50, 2} << QList<int>{0, 1, 2} << false;
}

void Programme::headerBudget() {
    QFETCH(QList<int>, laengen);
    QFETCH(QList<int>, gesendet);
    QFETCH(bool, vollstaendig);
    Konsole k;
    std::vector<std::string> zeilen;
    for (int i = 0; i < laengen.size(); ++i) zeilen.push_back(std::string(laengen[i], char('a' + i)));
    Datei("header1.txt", zeilen);
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));

    std::string text;
    std::vector<std::string> pane = {"*PW1<CR>", Eroeffnungsantwort("*PW1")};
    for (int i : gesendet) {
        text += zeilen[i];
        pane.push_back(zeilen[i]);
    }
    const std::string ende = vollstaendig ? "" : "...";
    pane.insert(pane.end(), {ende + "<STX>", "<ACK>"});
    const auto anzeige = k.Zeilen();
    QCOMPARE(std::vector<std::string>(anzeige.begin(), anzeige.begin() + pane.size()), pane);
    QCOMPARE(Neu(k).at(1), text + ende + "\x02");
    QCOMPARE(k.Sim().Slot(1).header, text + ende);
    QCOMPARE(anzeige.back(), std::string("### Programm 1 schreiben - Ende ###"));
}

void Programme::nurKommentareUndLeerzeilen() {
    Konsole k;
    Slot(k, 2);
    Datei("programm2.txt", {"'Vektorfahrt", "", "   ", "/L1,x100", "\t", "'A1,1"});
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    QCOMPARE(Neu(k), (std::vector<std::string>{"*PW2\r", "Header 2\x02", "T1\r", "\x03"}));
    QCOMPARE(k.Sim().Slot(2).body, MitEinstellung({}));
    const auto zeilen = k.Zeilen();
    QCOMPARE(std::vector<std::string>(zeilen.end() - 3, zeilen.end()),
             (std::vector<std::string>{"<ETX>", "<ACK>", "### Programm 2 schreiben - Ende ###"}));
}

void Programme::nachlaufendeLeerzeichenEntfallen() {
    Konsole k;
    Slot(k, 2);
    Datei("programm2.txt", {"A1,1  \t ", "#S200 ", "  W500"});
    Datei("header2.txt", {"Kopf  \t"});
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    // Leading blanks are part of the command; only trailing ones go.
    QCOMPARE(Neu(k), (std::vector<std::string>{"*PW2\r", "Kopf\x02", "T1\r", "A1,1\r", "#S200\r", "  W500\r", "\x03"}));
    QCOMPARE(k.Sim().Slot(2).body, MitEinstellung({"A1,1", "#S200", "  W500"}));
}

void Programme::belegterSlot() {
    Konsole k;
    Slot(k, 4);
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    const size_t vorher = k.Sim().Requests().size();
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"*PW4<CR>", "E5<BEL>", "### Programm-Nr. bereits vorhanden ###",
                                                   "### Programm 4 schreiben - Fehler ###"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kSchwarzQ, kBlauQ, kRotQ, kGrauQ}));
    QCOMPARE(k.Sim().Requests().size(), vorher + 1);
    QVERIFY(k.Boxen().empty());
}

void Programme::leererSlot_data() {
    QTest::addColumn<QString>("knopf");
    QTest::addColumn<QString>("anfrage");
    QTest::addColumn<QString>("fehlerzeile");
    QTest::newRow("lesen") << "ProgrammLesen_Button"
                           << "*PR6<CR>"
                           << "### Programm 6 lesen - Fehler ###";
    QTest::newRow("Header lesen") << "ProgrammHeaderLesen_Button"
                                  << "*PR6H<CR>"
                                  << "### Programm-Header 6 lesen - Fehler ###";
    QTest::newRow("loeschen") << "ProgrammLoeschen_Button"
                              << "*PE6<CR>"
                              << "### Programm 6 löschen - Fehler ###";
}

void Programme::leererSlot() {
    QFETCH(QString, knopf);
    QFETCH(QString, anfrage);
    QFETCH(QString, fehlerzeile);
    Konsole k;
    Slot(k, 6);
    QVERIFY(Ausfuehren(k, k.Form().findChild<QAbstractButton*>(knopf)));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{anfrage.toStdString(), "E3<BEL>", "### ungültiger FAT-Eintrag ###",
                                                   fehlerzeile.toStdString()}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kSchwarzQ, kBlauQ, kRotQ, kGrauQ}));
    QVERIFY(k.Boxen().empty());
}

void Programme::alleLoeschenUndGesamteFat() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    for (int n : {1, 7}) {
        Slot(k, n);
        QVERIFY(Ausfuehren(k, f.ProgrammSchreiben_Button));
    }
    QVERIFY(Ausfuehren(k, f.FATLesenAlle_Button));
    auto zeilen = k.Zeilen();
    QCOMPARE(zeilen.size(), size_t(10));
    QCOMPARE(zeilen[0], std::string("### gesamte FAT lesen ###"));
    QCOMPARE(zeilen[1], std::string("*FRa<CR>"));
    QVERIFY(zeilen[2].rfind("*FRa 1=1,8,", 0) == 0);
    for (int s = 2; s <= 6; ++s) QCOMPARE(zeilen[s + 1], std::to_string(s) + "=0,0,0,0<ACK>");
    QVERIFY(zeilen[8].rfind("7=1,8,", 0) == 0);
    QCOMPARE(zeilen[9], std::string("### gesamte FAT lesen - Ende ###"));

    QVERIFY(Ausfuehren(k, f.ProgrammLoeschenAlle_Button));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"### alle Programme löschen ###", "*PEa<CR>", "*PEa<NAK>", "<ACK>",
                                                   "### alle Programme löschen - Ende ###"}));
    QVERIFY(!k.Sim().SlotOccupied(1) && !k.Sim().SlotOccupied(7));

    QVERIFY(Ausfuehren(k, f.FATLesenAlle_Button));
    zeilen = k.Zeilen();
    QCOMPARE(zeilen.size(), size_t(10));
    QCOMPARE(zeilen[2], std::string("*FRa 1=0,0,0,0<ACK>"));
    QCOMPARE(zeilen[8], std::string("7=0,0,0,0<ACK>"));
}

void Programme::groesse() {
    Konsole k;
    Slot(k, 5);
    QVERIFY(Ausfuehren(k, k.Form().ProgrammGroesseErmitteln_Button));
    // No drive settings here: header 8 bytes, ten lines of 56 bytes plus CRs.
    std::vector<std::string> pane = {"*PS<CR>", Eroeffnungsantwort("*PS"), "Header 5", "<STX>", "<ACK>"};
    for (std::string z :
         {"A1,1", "#S200", "#E1,500", "#R250", "L1,x500", "W500", "#E2,500", "#R250", "L2,y1000", "A1,0"})
        pane.insert(pane.end(), {z + "<CR>", "<ACK>"});
    pane.insert(pane.end(), {"<ETX>", "*PS 74<ACK>", "### Programmgröße 5 ermitteln - Ende ###"});
    QCOMPARE(k.Zeilen(), pane);
    QCOMPARE(Neu(k).size(), size_t(13));
    QVERIFY(!k.Sim().SlotOccupied(5));
}

void Programme::groesseOhneDatei_data() {
    QTest::addColumn<QStringList>("fehlend");
    QTest::addColumn<QString>("box");
    QTest::newRow("Header") << QStringList{"header5.txt"}
                            << "Fehler:  Die Datei 'header5.txt' kann nicht gefunden werden! ";
    QTest::newRow("Programm") << QStringList{"programm5.txt"}
                              << "Fehler:  Die Datei 'programm5.txt' kann nicht gefunden werden! ";
    QTest::newRow("beide") << QStringList{"header5.txt", "programm5.txt"}
                           << "Fehler:  Die Datei 'header5.txt' kann nicht gefunden werden! ";
}

void Programme::groesseOhneDatei() {
    QFETCH(QStringList, fehlend);
    QFETCH(QString, box);
    Konsole k;
    Slot(k, 5);
    for (const auto& d : fehlend) std::filesystem::remove(d.toStdString());
    const auto vorher = k.Zeilen();
    for (QAbstractButton* knopf : {static_cast<QAbstractButton*>(k.Form().ProgrammGroesseErmitteln_Button),
                                   static_cast<QAbstractButton*>(k.Form().ProgrammSchreiben_Button)}) {
        QVERIFY(Ausfuehren(k, knopf));
        QCOMPARE(k.Boxen().back(), box.toStdString());
    }
    QCOMPARE(k.Boxen().size(), size_t(2));
    QCOMPARE(k.Zeilen(), vorher);
    QVERIFY(Neu(k).empty());
}

void Programme::schlechteDateien_data() {
    QTest::addColumn<QString>("datei");
    QTest::addColumn<QString>("art");
    QTest::addColumn<QString>("box");
    QTest::newRow("Header ist ein Ordner") << "header1.txt"
                                           << "ordner"
                                           << "Fehler: 'header1.txt' ist keine normale Datei.";
    QTest::newRow("Programm ist eine Pipe") << "programm1.txt"
                                            << "fifo"
                                            << "Fehler: 'programm1.txt' ist keine normale Datei.";
    QTest::newRow("Programmzeile zu lang")
        << "programm1.txt"
        << "lang"
        << "Fehler: Zeile 2 der Datei 'programm1.txt' ist 127 Zeichen lang (erlaubt sind 126).";
    QTest::newRow("Headerzeile zu lang")
        << "header1.txt"
        << "lang"
        << "Fehler: Zeile 2 der Datei 'header1.txt' ist 128 Zeichen lang (erlaubt sind 127).";
}

// Nothing of either file goes out; the worker stays usable.
void Programme::schlechteDateien() {
    QFETCH(QString, datei);
    QFETCH(QString, art);
    QFETCH(QString, box);
    Konsole k;
    const std::string name = datei.toStdString();
    std::filesystem::remove(name);
    if (art == "ordner") std::filesystem::create_directory(name);
    if (art == "fifo") QVERIFY(::mkfifo(name.c_str(), 0600) == 0);
    if (art == "lang") Datei(name, {"A1,1", std::string(name[0] == 'h' ? 128 : 127, 'x') + "  ", "A1,0"});
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    QCOMPARE(k.Boxen(), std::vector<std::string>{box.toStdString()});
    QCOMPARE(k.Zeilen(),
             (std::vector<std::string>{"### Programm 1 schreiben ###", "### Programm 1 schreiben - Fehler ###"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kGrauQ, kGrauQ}));
    QVERIFY(Neu(k).empty());
    QVERIFY(Ausfuehren(k, k.Form().FATLesen_Button));
    QCOMPARE(k.Zeilen().back(), std::string("### FAT 1 lesen - Ende ###"));
}

void Programme::grenzlaengenWerdenGesendet() {
    Konsole k;
    const std::string kopf(127, 'k'), befehl = "W" + std::string(125, '1');
    // A comment is never sent, so its length does not matter.
    Datei("header1.txt", {kopf});
    Datei("programm1.txt", {"'" + std::string(300, 'c'), befehl});
    QVERIFY(Ausfuehren(k, k.Form().ProgrammSchreiben_Button));
    QVERIFY(k.Boxen().empty());
    const auto anfragen = Neu(k);
    QCOMPARE(anfragen.at(1), kopf + "\x02");
    QVERIFY(std::find(anfragen.begin(), anfragen.end(), befehl + "\r") != anfragen.end());
    QCOMPARE(k.Zeilen().back(), std::string("### Programm 1 schreiben - Ende ###"));
}

void Programme::alleLesenSendetNichts() {
    Konsole k;
    QVERIFY(!k.Form().ProgrammLesenAlle_Button->isEnabled());
    k.Form().Befehl_starten(30);
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Zeilen(),
             (std::vector<std::string>{"### alle Programme lesen ###", "### alle Programme lesen - Ende ###"}));
    QVERIFY(Neu(k).empty());
}

// The 6553-line test body as fast as the line allows, the window still served.
void Programme::grossesTestprogramm() {
    Konsole k;
    std::filesystem::copy_file("programm.txt", "programm1.txt", std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file("header.txt", "header1.txt", std::filesystem::copy_options::overwrite_existing);
    QElapsedTimer t;
    t.start();
    k.Klick(k.Form().ProgrammSchreiben_Button);
    QVERIFY(k.Leerlauf(120000));
    qInfo("6553 Zeilen in %lld ms", static_cast<long long>(t.elapsed()));
    QVERIFY(k.Boxen().empty());
    const auto body = k.Sim().Slot(1).body;
    QCOMPARE(body.size(), size_t(6554));
    QCOMPARE(body.back(), std::string("L1,X06552"));
    QCOMPARE(k.Zeilen().back(), std::string("### Programm 1 schreiben - Ende ###"));
}

QTEST_MAIN(Programme)
#include "programme_test.moc"
