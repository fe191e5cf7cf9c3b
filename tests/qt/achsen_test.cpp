// The lower half of the window: positions, vector moves, offsets, reference
// request and runs, and the immediate buttons, against the simulated controller.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>

#include "app/radio_group.h"
#include "support/konsole.h"

namespace {

const QColor kSchwarzQ(0, 0, 0), kBlauQ(0, 0, 255), kRotQ(255, 0, 0);
constexpr size_t kStartAnfragen = 2;  // sent by the start-up set-up

std::vector<std::string> Neue(Konsole& k) {
    const auto alle = k.Sim().Requests();
    return {alle.begin() + static_cast<long>(std::min(alle.size(), kStartAnfragen)), alle.end()};
}

// Moves and reference runs take a twentieth of their device time.
KonsolenStart Schnell(QStringList optionen = {}) {
    KonsolenStart s;
    s.optionen = optionen;
    s.sim.timeScale = 0.05;
    return s;
}

void Vektor(TMainForm& f, int modus, const QString& x, const QString& y, const QString& z) {
    RadioGroup_SetItemIndex(f.Vektor_RadioGroup, modus);
    f.VektorX_Edit->setText(x);
    f.VektorY_Edit->setText(y);
    f.VektorZ_Edit->setText(z);
}

void Achsen(TMainForm& f, bool x, bool y, bool z, bool u) {
    f.RefX_CheckBox->setChecked(x);
    f.RefY_CheckBox->setChecked(y);
    f.RefZ_CheckBox->setChecked(z);
    f.RefU_CheckBox->setChecked(u);
}

}  // namespace

class Achsenbetrieb : public QObject {
    Q_OBJECT
private slots:
    void xyzVektor_data();
    void xyzVektor();
    void uVektorAbsolut();
    void referenzoffset_data();
    void referenzoffset();
    void referenzanforderung_data();
    void referenzanforderung();
    void xyzReferenzfahrtNachKaestchen();
    void xyzReferenzfahrtOhneAuswahlImArbeiter();
    void uReferenzfahrtOhneKaestchen();
    void positionsabfrage();
    void sofortKnoepfeImLeerlauf();
    void sofortKnopfOhneAntwort();
    void abbruchWaehrendDerFahrt_data();
    void abbruchWaehrendDerFahrt();
};

void Achsenbetrieb::xyzVektor_data() {
    QTest::addColumn<int>("modus");
    QTest::addColumn<QStringList>("eingaben");
    QTest::addColumn<QString>("anfrage");
    QTest::newRow("relativ") << 0 << QStringList{"2000", "0", "0"} << "L1,x2000\r";
    QTest::newRow("absolut") << 1 << QStringList{"2000", "0", "0"} << "L1,X2000,Y0,Z0\r";
    QTest::newRow("absolut ohne y") << 1 << QStringList{"20", "99999", "-5"} << "L1,X20,Z-5\r";
    QTest::newRow("relativ leer") << 0 << QStringList{"", "", ""} << "L1,x0,y0,z0\r";
    QTest::newRow("relativ unlesbar") << 0 << QStringList{"abc", " 1 0", "1-2"} << "L1,y10\r";
}

void Achsenbetrieb::xyzVektor() {
    QFETCH(int, modus);
    QFETCH(QStringList, eingaben);
    QFETCH(QString, anfrage);
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Vektor(f, modus, eingaben[0], eingaben[1], eingaben[2]);
    k.Klick(f.xyzVektorFahren_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), std::vector<std::string>{anfrage.toStdString()});
    std::string zeile = anfrage.toStdString();
    zeile.replace(zeile.size() - 1, 1, "<CR>");
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{zeile, "<NAK>", "<ACK>"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kSchwarzQ, kBlauQ, kBlauQ}));
    QCOMPARE(f.i8VektorModus, int8_t(modus));
    QVERIFY(k.Boxen().empty());
}

void Achsenbetrieb::uVektorAbsolut() {
    KonsolenStart s = Schnell({"/UACHSE"});
    s.sim.timeScale = 0.002;  // 99999 steps
    Konsole k(s);
    TMainForm& f = k.Form();
    RadioGroup_SetItemIndex(f.Vektor_RadioGroup, 1);
    f.VektorU_Edit->setText("99999");
    k.Klick(f.uVektorFahren_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), std::vector<std::string>{"L1,U99999\r"});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"L1,U99999<CR>", "<NAK>", "<ACK>"}));
    QCOMPARE(k.Sim().Position('u'), int64_t(99999));
    QCOMPARE(f.iVektor[3], 99999);
}

void Achsenbetrieb::referenzoffset_data() {
    QTest::addColumn<QStringList>("optionen");
    QTest::addColumn<int>("anzahl");
    QTest::newRow("ohne u-Achse") << QStringList{} << 4;
    QTest::newRow("mit u-Achse") << QStringList{"/UACHSE"} << 5;
}

void Achsenbetrieb::referenzoffset() {
    QFETCH(QStringList, optionen);
    QFETCH(int, anzahl);
    Konsole k(Schnell(optionen));
    TMainForm& f = k.Form();
    f.RefOffset_Edit->setText("150");
    k.Klick(f.RefOffset_Button);
    QVERIFY(k.Leerlauf());
    std::vector<std::string> erwartet{"#Ox,150\r", "#Oy,150\r", "#Oz,150\r", "#Ou,150\r", "#Ou,150\r"};
    erwartet.resize(static_cast<size_t>(anzahl));
    QCOMPARE(Neue(k), erwartet);
    QCOMPARE(k.Zeilen().size(), size_t(2 * anzahl));  // cleared once, at the first axis
    QCOMPARE(k.Zeilen().front(), std::string("#Ox,150<CR>"));
    QCOMPARE(f.iRefOffset, 150);
}

void Achsenbetrieb::referenzanforderung_data() {
    QTest::addColumn<QList<bool>>("xyzu");
    QTest::addColumn<QString>("anfrage");
    QTest::newRow("x und u") << QList<bool>{true, false, false, true} << "#Hxu\r";
    QTest::newRow("alle") << QList<bool>{true, true, true, true} << "#Hzxyu\r";
    QTest::newRow("y und z") << QList<bool>{false, true, true, false} << "#Hzy\r";
    QTest::newRow("keine") << QList<bool>{false, false, false, false} << "";
}

void Achsenbetrieb::referenzanforderung() {
    QFETCH(QList<bool>, xyzu);
    QFETCH(QString, anfrage);
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Achsen(f, xyzu[0], xyzu[1], xyzu[2], xyzu[3]);
    k.Klick(f.RefAnforderung_Button);
    QVERIFY(k.Leerlauf());
    if (anfrage.isEmpty()) {
        QVERIFY(Neue(k).empty());
        QCOMPARE(k.Zeilen(), std::vector<std::string>{"keine Auswahl getroffen!"});
        QCOMPARE(k.Farben(), std::vector<QColor>{kRotQ});
        return;
    }
    QCOMPARE(Neue(k), std::vector<std::string>{anfrage.toStdString()});
    QCOMPARE(k.Zeilen().size(), size_t(2));
    QCOMPARE(k.Zeilen().back(), std::string("<ACK>"));
}

void Achsenbetrieb::xyzReferenzfahrtNachKaestchen() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    f.RefOffset_Edit->setText("7");
    k.Klick(f.RefOffset_Button);
    QVERIFY(k.Leerlauf());
    Achsen(f, true, false, true, false);
    k.Klick(f.xyzReferenzfahrt_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k).back(), std::string("$Hzx\r"));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"$Hzx<CR>", "<NAK>", "<ACK>"}));
    QCOMPARE(k.Sim().Position('x'), int64_t(7));

    // With only U checked the click posts nothing at all.
    const auto zeilen = k.Zeilen();
    const size_t anzahl = Neue(k).size();
    Achsen(f, false, false, false, true);
    k.Klick(f.xyzReferenzfahrt_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k).size(), anzahl);
    QCOMPARE(k.Zeilen(), zeilen);
}

void Achsenbetrieb::xyzReferenzfahrtOhneAuswahlImArbeiter() {
    // The boxes were unchecked after the click: the worker finds no axis.
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Achsen(f, false, false, false, true);
    f.Befehl_starten(56);
    QVERIFY(k.Leerlauf());
    QVERIFY(Neue(k).empty());
    QCOMPARE(k.Zeilen(), std::vector<std::string>{"keine Auswahl getroffen!"});
    QCOMPARE(k.Farben(), std::vector<QColor>{kRotQ});
}

void Achsenbetrieb::uReferenzfahrtOhneKaestchen() {
    Konsole k(Schnell({"/UACHSE"}));
    TMainForm& f = k.Form();
    QVERIFY(!f.RefU_CheckBox->isChecked());
    k.Klick(f.uReferenzfahrt_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), std::vector<std::string>{"$Hu\r"});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"$Hu<CR>", "<NAK>", "<ACK>"}));
}

void Achsenbetrieb::positionsabfrage() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Vektor(f, 0, "0", "-40", "1234");
    k.Klick(f.xyzVektorFahren_Button);
    QVERIFY(k.Leerlauf());
    k.Klick(f.Positionsabfrage_RadioGroup_Item2);
    k.Klick(f.Positionsabfrage_Button);
    QCOMPARE(f.Positionsabfrage_Panel->text(), QString("1234"));
    const auto z = k.Zeilen();
    QCOMPARE(std::vector<std::string>(z.end() - 2, z.end()), (std::vector<std::string>{"@Lz<CR>", "@Lz 1234<ACK>"}));
    k.Klick(f.Positionsabfrage_RadioGroup_Item1);
    k.Klick(f.Positionsabfrage_Button);
    QCOMPARE(f.Positionsabfrage_Panel->text(), QString("-40"));
    QCOMPARE(Neue(k), (std::vector<std::string>{"L1,y-40,z1234\r", "@Lz\r", "@Ly\r"}));
}

void Achsenbetrieb::sofortKnoepfeImLeerlauf() {
    Konsole k;
    TMainForm& f = k.Form();
    f.Reset_ButtonClick();
    f.Stoppen_ButtonClick();
    f.Anhalten_ButtonClick();
    f.Unterbrechen_ButtonClick();  // disabled in the window, the handler still works
    f.Weiterfahrt_ButtonClick();
    f.EncoderEinstellung_ButtonClick();
    QCOMPARE(Neue(k), (std::vector<std::string>{"@R\r", "@S\r", "@B\r", "@A\r", "@C\r"}));
    const auto z = k.Zeilen();
    QCOMPARE(std::vector<std::string>(z.end() - 10, z.end()),
             (std::vector<std::string>{"@R<CR>", "@RS<ACK>", "@S<CR>", "@RS<ACK>", "@B<CR>", "@B<ACK>", "@A<CR>",
                                       "@A<ACK>", "@C<CR>", "@A<ACK>"}));
    QVERIFY(!f.Unterbrechen_Button->isEnabled() && !f.Weiterfahrt_Button->isEnabled());
    QVERIFY(k.Boxen().empty());
}

void Achsenbetrieb::sofortKnopfOhneAntwort() {
    // A silent controller: the wait fails and is reported on the window. The
    // reply line is the window's own last reply (none yet), never the worker's.
    Konsole k;
    TMainForm& f = k.Form();
    k.Sim().SetSilent(true);
    f.Reset_ButtonClick();
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: WAIT_TIMEOUT"});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"@R<CR>", ""}));
}

void Achsenbetrieb::abbruchWaehrendDerFahrt_data() {
    QTest::addColumn<bool>("reset");
    QTest::newRow("Reset") << true;
    QTest::newRow("Stoppen") << false;
}

void Achsenbetrieb::abbruchWaehrendDerFahrt() {
    QFETCH(bool, reset);
    Konsole k;  // real time: about a hundred seconds for this move
    TMainForm& f = k.Form();
    Vektor(f, 0, "100000", "0", "0");
    k.Klick(f.xyzVektorFahren_Button);
    QTest::qWait(400);
    QVERIFY(!k.Leerlauf(100));  // still moving
    QElapsedTimer t;
    t.start();
    k.Klick(reset ? f.Reset_Button : f.Stoppen_Button);
    QVERIFY(k.Leerlauf(5000));
    QVERIFY(t.elapsed() < 5000);
    const auto z = k.Zeilen();
    const std::string anfrage = reset ? "@R<CR>" : "@S<CR>";
    QCOMPARE(OhneSofortzeilen(z, anfrage), (std::vector<std::string>{"L1,x100000<CR>", "<NAK>", "!"}));
    QCOMPARE(k.Farben().back(), kBlauQ);
    QVERIFY(k.Sim().Position('x') < 100000);
    QVERIFY(k.Boxen().empty());
    // The link takes normal requests again.
    k.Klick(f.A1_ON_SpeedButton);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k).back(), std::string("A1,1\r"));
}

QTEST_MAIN(Achsenbetrieb)
#include "achsen_test.moc"
