// Start-up, options, caption, default files, reporting and shut-down.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include <fstream>
#include <sstream>

#include "routinen/default_files.h"
#include "app/pelto_befehle_thread.h"
#include "common/fehler.h"
#include "support/konsole.h"
#include "support/crlf_lines.h"

namespace {

const QColor kSchwarzQ(0, 0, 0), kBlauQ(0, 0, 255), kRotQ(255, 0, 0), kGrauQ(128, 128, 128);

}  // namespace

class FensterStart : public QObject {
    Q_OBJECT
private slots:
    void optionenUndTitel_data();
    void optionenUndTitel();
    void standarddateienNurWennSieFehlen();
    void befehlBeendenLeitetNachCode();
    void schliessenImLeerlaufIstSofort();
};

void FensterStart::optionenUndTitel_data() {
    QTest::addColumn<QStringList>("optionen");
    QTest::addColumn<QString>("titel");
    QTest::addColumn<bool>("kelo");
    QTest::addColumn<bool>("uachse");
    QTest::newRow("keine") << QStringList{} << "Pelto-Befehle   21.01.13       " << false << false;
    QTest::newRow("beide") << QStringList{"/KELO", "/UACHSE"} << "Pelto-Befehle   21.01.13    /KELO /UACHSE    "
                           << true << true;
    QTest::newRow("umgekehrt, klein") << QStringList{"/uachse", "/kelo"}
                                      << "Pelto-Befehle   21.01.13    /KELO /UACHSE    " << true << true;
    QTest::newRow("gemischt") << QStringList{"/Kelo"} << "Pelto-Befehle   21.01.13    /KELO    " << true << false;
    QTest::newRow("angehaengt") << QStringList{"/KELOX", "/UACHSE=1", "KELO"} << "Pelto-Befehle   21.01.13       "
                                << false << false;
}

void FensterStart::optionenUndTitel() {
    QFETCH(QStringList, optionen);
    QFETCH(QString, titel);
    QFETCH(bool, kelo);
    QFETCH(bool, uachse);
    Konsole k({optionen, 1, {}, false});
    TMainForm& f = k.Form();
    QCOMPARE(f.windowTitle(), titel);
    QCOMPARE(bool(f.bKeloOption), kelo);
    QCOMPARE(bool(f.bUAchse), uachse);
    QCOMPARE(!f.ProgrammSchreibenDatei_Button->isHidden(), kelo);
    QCOMPARE(!f.ModulTest_Button->isHidden(), kelo);
    for (QWidget* w : {static_cast<QWidget*>(f.VektorLabel4), static_cast<QWidget*>(f.VektorU_Edit),
                       static_cast<QWidget*>(f.uVektorFahren_Button), static_cast<QWidget*>(f.uReferenzfahrt_Button)})
        QCOMPARE(w->isEnabled(), uachse);
    QVERIFY(!f.Unterbrechen_Button->isEnabled());
    QVERIFY(!f.Weiterfahrt_Button->isEnabled());
    QVERIFY(f.A1_OFF_SpeedButton->isChecked() && f.A4_OFF_SpeedButton->isChecked());
    QVERIFY(!f.A1_ON_SpeedButton->isChecked());
}

void FensterStart::standarddateienNurWennSieFehlen() {
    // A console started in a folder with an edited header keeps the edit.
    TempDir vorher;
    {
        Konsole k({{}, 1, {}, false});
        const std::string ordner = k.Ordner().Path();
        for (const auto& d : Standarddateien())
            QCOMPARE(Lesen(ordner + "/" + d.name), MitCrLf(d.zeilen()));
        QVERIFY(!std::ifstream(ordner + "/_protokoll.txt"));
    }
    Konsole k({{}, 1, {}, false});
    k.Form().close();
    const std::string header = k.Ordner().File("header.txt");
    std::ofstream(header, std::ios::binary) << "mein Header\r\n";
    std::ofstream(k.Ordner().File("_protokoll.txt")) << "alt";
    std::remove(k.Ordner().File("programm4.txt").c_str());
    QStringList argumente{"pelto-befehle"};
    TMainForm zweite(k.Form().Bruecke(), argumente);
    QCOMPARE(Lesen(header), std::string("mein Header\r\n"));
    QCOMPARE(Lesen(k.Ordner().File("programm4.txt")), MitCrLf(Programm_Zeilen(4)));
    QVERIFY(!std::ifstream(k.Ordner().File("_protokoll.txt")));
}

void FensterStart::befehlBeendenLeitetNachCode() {
    Konsole k;
    TMainForm& f = k.Form();
    k.Link().SendReqWaitResp("A1,7\r", 500);  // out of range: "E6" BEL
    f.Befehl_beenden(1026);
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"A1,7<CR>", "E6<BEL>", "### ungültiger Parameter ###"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kSchwarzQ, kBlauQ, kRotQ}));
    QVERIFY(k.Boxen().empty());

    f.Befehl_beenden(1020);
    QCOMPARE(k.Zeilen().back(), std::string("### default ###"));
    QCOMPARE(k.Farben().back(), kRotQ);

    f.Befehl_beenden(WAIT_TIMEOUT_ERROR);
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"A1,7<CR>", "E6<BEL>"}));
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: WAIT_TIMEOUT"});
    QCOMPARE(k.Dialoge().Boxes()[0].icon, MessageIcon::Warning);
}

void FensterStart::schliessenImLeerlaufIstSofort() {
    Konsole k;
    QElapsedTimer t;
    t.start();
    k.Form().close();
    QVERIFY(t.elapsed() < 1000);
    QVERIFY(!k.Form().BefehleThread()->hEventEnd.IsOpen());
}

QTEST_MAIN(FensterStart)
#include "fenster_start_test.moc"
