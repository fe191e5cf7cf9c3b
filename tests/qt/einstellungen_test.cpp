// The upper half of the window: entries, drive parameters, outputs, inputs,
// version and status, and the I/O test, against the simulated controller.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "app/radio_group.h"
#include "support/konsole.h"
#include "support/scripted_peer.h"

namespace {

const QColor kSchwarzQ(0, 0, 0), kBlauQ(0, 0, 255);
// The start-up set-up sends these two.
constexpr size_t kStartAnfragen = 2;

std::vector<std::string> Neue(Konsole& k) {
    const auto alle = k.Sim().Requests();
    return {alle.begin() + static_cast<long>(std::min(alle.size(), kStartAnfragen)), alle.end()};
}

size_t Anzahl(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<size_t>(std::count(v.begin(), v.end(), s));
}

void Eingeben(Konsole& k, QLineEdit* feld, const QString& text, QAbstractButton* knopf) {
    feld->setText(text);
    k.Klick(knopf);
    QVERIFY(k.Leerlauf());
}

}  // namespace

class Einstellungen : public QObject {
    Q_OBJECT
private slots:
    void eintraegeWerdenGelesen();
    void negativeStartgeschwindigkeit();
    void endgeschwindigkeitNachKaestchen();
    void rampeNimmtDieUnteren16Bit();
    void wartezeitWartetAufDieEndantwort();
    void parameterUebertragen();
    void ansteuersignalSchaltetDieGruppen();
    void ausgaenge();
    void e1Verknuepfung();
    void eingangAbfragen();
    void keinEingangGewaehlt();
    void versionUndStatus();
    void statusMitFuenfZeichenBleibtLeer();
    void zweiSchnelleAuftraegeLaufenNacheinander();
    void auftragWaehrendLangerWartezeitWirdVerworfen();
    void ioTestMitZweitemKlickBeenden();
    void ioTestEndetBeimSchliessen();
    void ioTestEndetBeimFehler();
};

// What the start speed entry puts on the wire; "" means refused with a box.
void Einstellungen::eintraegeWerdenGelesen() {
    struct Fall {
        QString eingabe;
        std::string anfrage;
    };
    const Fall faelle[] = {
        {"", "#S0\r"},           {"abc", "#S0\r"},        {" 12 ", "#S12\r"},     {"-7", ""},
        {"1-2", "#S0\r"},        {"+", "#S0\r"},          {"--5", "#S0\r"},       {"99999999999", "#S0\r"},
        {"   ", "#S0\r"},        {"+7", "#S7\r"},         {" 1 000", "#S1000\r"}, {"12a", "#S0\r"},
        {"1.5", "#S0\r"},        {"0x10", "#S0\r"},       {"\t5", "#S0\r"},       {"2147483648", "#S0\r"},
        {"-2147483648", ""},     {"128000", "#S128000\r"}, {"128001", ""},        {QString(40, '0') + "7", "#S0\r"},
    };
    Konsole k;
    TMainForm& f = k.Form();
    size_t boxen = 0;
    for (const Fall& fall : faelle) {
        const auto vorher = Neue(k);
        Eingeben(k, f.Startgeschw_Edit, fall.eingabe, f.Startgeschw_Button);
        auto nachher = Neue(k);
        if (fall.anfrage.empty()) {
            QCOMPARE(nachher.size(), vorher.size());
            QCOMPARE(k.Boxen().size(), ++boxen);
            QCOMPARE(k.Boxen().back(), std::string("Pelto-Befehle: OUT_OF_RANGE"));
        } else {
            QCOMPARE(nachher.size(), vorher.size() + 1);
            QCOMPARE(nachher.back(), fall.anfrage);
        }
    }
    QCOMPARE(k.Boxen().size(), boxen);
    // The worker survived every entry.
    Eingeben(k, f.Startgeschw_Edit, "300", f.Startgeschw_Button);
    QCOMPARE(Neue(k).back(), std::string("#S300\r"));
}

void Einstellungen::negativeStartgeschwindigkeit() {
    Konsole k;
    TMainForm& f = k.Form();
    Eingeben(k, f.Startgeschw_Edit, "-5", f.Startgeschw_Button);
    QCOMPARE(f.iStartgeschw, -5);
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: OUT_OF_RANGE"});
    QVERIFY(Neue(k).empty());
    // The pane shows the last exchange that did happen.
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"@V<CR>", "@V Pelto-Sim 1.0<ACK>"}));
}

void Einstellungen::endgeschwindigkeitNachKaestchen() {
    Konsole k;
    TMainForm& f = k.Form();
    Eingeben(k, f.Endgeschw_Edit, "70000", f.Endgeschw_Button);
    QCOMPARE(f.iEndgeschw, 4464u);
    QCOMPARE(Neue(k), (std::vector<std::string>{"#E1,4464\r", "#E9,4464\r"}));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"#E1,4464<CR>", "<ACK>", "#E9,4464<CR>", "<ACK>"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kSchwarzQ, kBlauQ, kSchwarzQ, kBlauQ}));

    f.Vektorfahrt_CheckBox->setChecked(false);
    Eingeben(k, f.Endgeschw_Edit, "-1", f.Endgeschw_Button);
    QCOMPARE(Neue(k).back(), std::string("#E9,65535\r"));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"#E9,65535<CR>", "<ACK>"}));

    f.Referenzfahrt_CheckBox->setChecked(false);
    Eingeben(k, f.Endgeschw_Edit, "300", f.Endgeschw_Button);
    QCOMPARE(Neue(k).size(), size_t(3));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"#E9,65535<CR>", "<ACK>"}));
}

void Einstellungen::rampeNimmtDieUnteren16Bit() {
    Konsole k;
    TMainForm& f = k.Form();
    Eingeben(k, f.Rampenlaenge_Edit, "70000", f.Rampenlaenge_Button);
    QCOMPARE(Neue(k), std::vector<std::string>{"#R4464\r"});
    Eingeben(k, f.Rampenlaenge_Edit, "60001", f.Rampenlaenge_Button);
    QCOMPARE(Neue(k).size(), size_t(1));
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: OUT_OF_RANGE"});
}

void Einstellungen::wartezeitWartetAufDieEndantwort() {
    Konsole k;
    TMainForm& f = k.Form();
    QElapsedTimer t;
    t.start();
    Eingeben(k, f.Wartezeit_Edit, "500", f.Wartezeit_Button);
    QVERIFY(t.elapsed() >= 450);
    QCOMPARE(Neue(k), std::vector<std::string>{"W500\r"});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"W500<CR>", "<NAK>", "<ACK>"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kSchwarzQ, kBlauQ, kBlauQ}));
    Eingeben(k, f.Wartezeit_Edit, "0", f.Wartezeit_Button);
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"W0<CR>", "<NAK>", "<ACK>"}));
    QVERIFY(k.Boxen().empty());
}

void Einstellungen::parameterUebertragen() {
    Konsole k;
    TMainForm& f = k.Form();
    k.Klick(f.Kovra_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), std::vector<std::string>{"T1\r"});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"T1<CR>", "<ACK>"}));

    k.Klick(f.Ansteuersignal_RadioGroup_Item0);
    RadioGroup_SetItemIndex(f.Schrittbetrieb_RadioGroup, 0);
    RadioGroup_SetItemIndex(f.Ruhestrom_RadioGroup, 2);
    k.Klick(f.Kovra_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), (std::vector<std::string>{"T1\r", "T0\r", "FH6\r"}));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"T0<CR>", "<ACK>", "FH6<CR>", "<ACK>"}));
    QCOMPARE(f.i8Schrittbetrieb, int8_t(0));
    QCOMPARE(f.i8Ruhestrom, int8_t(2));
}

void Einstellungen::ansteuersignalSchaltetDieGruppen() {
    Konsole k;
    TMainForm& f = k.Form();
    k.Klick(f.Ansteuersignal_RadioGroup_Item0);
    QCOMPARE(f.i8Ansteuersignal, int8_t(0));
    QVERIFY(f.Schrittbetrieb_RadioGroup->isEnabled() && f.Ruhestrom_RadioGroup->isEnabled());
    QCOMPARE(RadioGroup_ItemIndex(f.Schrittbetrieb_RadioGroup), 1);
    QCOMPARE(RadioGroup_ItemIndex(f.Ruhestrom_RadioGroup), 1);
    k.Klick(f.Ansteuersignal_RadioGroup_Item1);
    QVERIFY(!f.Schrittbetrieb_RadioGroup->isEnabled() && !f.Ruhestrom_RadioGroup->isEnabled());
    QCOMPARE(RadioGroup_ItemIndex(f.Schrittbetrieb_RadioGroup), -1);
    QCOMPARE(RadioGroup_ItemIndex(f.Ruhestrom_RadioGroup), -1);
    QVERIFY(Neue(k).empty());
}

void Einstellungen::ausgaenge() {
    Konsole k;
    TMainForm& f = k.Form();
    struct Fall {
        bool i2c, watchdog;
        QToolButton* knopf;
        std::string anfrage;
    };
    const Fall faelle[] = {
        {true, true, f.A1_ON_SpeedButton, "I2C-A1,1\r"}, {false, true, f.A1_ON_SpeedButton, "WD,1\r"},
        {false, true, f.A1_OFF_SpeedButton, "WD,0\r"},    {false, false, f.A1_ON_SpeedButton, "A1,1\r"},
        {false, true, f.A2_ON_SpeedButton, "A2,1\r"},     {true, false, f.A3_ON_SpeedButton, "I2C-A3,1\r"},
        {false, false, f.A3_OFF_SpeedButton, "A3,0\r"},   {false, true, f.A4_ON_SpeedButton, "A4,1\r"},
        {false, false, f.A4_OFF_SpeedButton, "A4,0\r"},   {true, true, f.A4_OFF_SpeedButton, "I2C-A4,0\r"},
    };
    for (const Fall& fall : faelle) {
        f.I2C_CheckBox->setChecked(fall.i2c);
        f.Watchdog_CheckBox->setChecked(fall.watchdog);
        k.Klick(fall.knopf);
        QVERIFY(k.Leerlauf());
        QCOMPARE(Neue(k).back(), fall.anfrage);
        QCOMPARE(k.Zeilen().size(), size_t(2));
    }
    QCOMPARE(Neue(k).size(), std::size(faelle));
    // The command numbers 13 and 14 switch A4 on and off.
    f.Befehl_starten(13);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k).back(), std::string("I2C-A4,1\r"));
    QVERIFY(k.Boxen().empty());
}

void Einstellungen::e1Verknuepfung() {
    Konsole k;
    TMainForm& f = k.Form();
    f.E1Verknuepfung_CheckBox->setChecked(true);
    k.Klick(f.E1Verknuepfung_Button);
    QVERIFY(k.Leerlauf());
    f.E1Verknuepfung_CheckBox->setChecked(false);
    k.Klick(f.E1Verknuepfung_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), (std::vector<std::string>{"&E1,1\r", "&E1,0\r"}));
}

void Einstellungen::eingangAbfragen() {
    Konsole k;
    TMainForm& f = k.Form();
    k.Sim().SetInput(11, true);
    f.Eingang_ComboBox->setCurrentIndex(11);
    k.Klick(f.EingangAbfragen_Button);
    QVERIFY(k.Leerlauf());
    f.Eingang_ComboBox->setCurrentIndex(0);
    k.Klick(f.EingangAbfragen_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), (std::vector<std::string>{"@IB\r", "@I0\r"}));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"@I0<CR>", "@I0 0<ACK>"}));
    f.Eingang_ComboBox->setCurrentIndex(11);
    k.Klick(f.EingangAbfragen_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"@IB<CR>", "@IB 1<ACK>"}));
}

void Einstellungen::keinEingangGewaehlt() {
    Konsole k;
    TMainForm& f = k.Form();
    const auto vorher = k.Zeilen();
    f.Eingang_ComboBox->setCurrentIndex(-1);
    k.Klick(f.EingangAbfragen_Button);
    QVERIFY(k.Leerlauf());
    QVERIFY(Neue(k).empty());
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: Kein Eingang ausgewählt!"});
    QCOMPARE(k.Zeilen(), vorher);
}

void Einstellungen::versionUndStatus() {
    Konsole k;
    TMainForm& f = k.Form();
    k.Klick(f.Versionsabfrage_Button);
    QCOMPARE(f.Versionsabfrage_Panel->text(), QString("Pelto-Sim 1.0"));
    k.Klick(f.Statusabfrage_Button);
    const std::string s = k.Sim().Status();
    QCOMPARE(s.size(), size_t(6));
    QString erwartet;
    for (char c : s) erwartet += (erwartet.isEmpty() ? "" : " - ") + QString(QChar(c));
    QCOMPARE(f.Statusabfrage_Panel->text(), erwartet);
    QCOMPARE(Neue(k), (std::vector<std::string>{"@V\r", "@X\r"}));
    const auto z = k.Zeilen();
    QCOMPARE(z.size(), size_t(7));  // appended below the set-up's lines
    QCOMPARE(z[5], std::string("@X<CR>"));
    QCOMPARE(z[6], "@X " + s + "<ACK>");
}

void Einstellungen::statusMitFuenfZeichenBleibtLeer() {
    // The simulator always has six status characters: a scripted peer
    // answers with the status under test.
    ScriptedPeer peer;
    std::atomic<const char*> status{"I--123"};
    peer.SetResponder([&status](const std::string& anfrage) -> std::vector<ScriptedPeer::Reply> {
        if (anfrage == "\r") return {{0, "E1" + cc::BEL}};
        if (anfrage == "@V\r") return {{0, "@V Peer" + cc::ACK}};
        if (anfrage == "@X\r") return {{0, "@X " + std::string(status.load()) + cc::ACK}};
        return {};
    });
    KonsolenStart s;
    s.simulatoren = 0;
    s.anzeigen = false;
    Konsole k(s);
    ::setenv("PELTO_COM1", peer.SlavePath().c_str(), 1);
    k.Anzeigen();
    TMainForm& f = k.Form();
    QVERIFY(k.Boxen().empty());
    k.Klick(f.Statusabfrage_Button);
    QCOMPARE(f.Statusabfrage_Panel->text(), QString("I - - - - - 1 - 2 - 3"));
    for (const char* falsch : {"ABCDE", "ABCDEFG", ""}) {
        status = falsch;
        k.Klick(f.Statusabfrage_Button);
        QCOMPARE(f.Statusabfrage_Panel->text(), QString());
        QCOMPARE(k.Zeilen().back(), "@X " + std::string(falsch) + "<ACK>");
    }
    QVERIFY(k.Boxen().empty());
}

void Einstellungen::zweiSchnelleAuftraegeLaufenNacheinander() {
    Konsole k;
    TMainForm& f = k.Form();
    k.Klick(f.A1_ON_SpeedButton);
    k.Klick(f.A2_ON_SpeedButton);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k), (std::vector<std::string>{"A1,1\r", "A2,1\r"}));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"A2,1<CR>", "<ACK>"}));
}

void Einstellungen::auftragWaehrendLangerWartezeitWirdVerworfen() {
    Konsole k;
    TMainForm& f = k.Form();
    f.Wartezeit_Edit->setText("2000");
    k.Klick(f.Wartezeit_Button);
    QTest::qWait(200);
    k.Klick(f.A1_ON_SpeedButton);
    QVERIFY(k.Leerlauf());
    QTest::qWait(200);
    QCOMPARE(Neue(k), std::vector<std::string>{"W2000\r"});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"W2000<CR>", "<NAK>", "<ACK>"}));
}

void Einstellungen::ioTestMitZweitemKlickBeenden() {
    Konsole k;
    TMainForm& f = k.Form();
    bool gesperrt = false;
    size_t vorDemStopp = 0;
    QTimer::singleShot(700, &f, [&] {
        gesperrt = !f.Panel1->isEnabled() && !f.Panel14->isEnabled() && !f.EingangAbfragen_Button->isEnabled() &&
                   !f.Eingang_ComboBox->isEnabled() && !f.Beenden_BitBtn->isVisible() && f.Panel9->isEnabled() &&
                   k.Zeilen() == std::vector<std::string>{"@IG<CR>", "@IG 0000<ACK>"};
        vorDemStopp = Anzahl(Neue(k), "@IG\r");
        k.Klick(f.IO_SpeedButton);
    });
    QElapsedTimer t;
    t.start();
    k.Klick(f.IO_SpeedButton);  // returns when the test has ended
    QVERIFY(t.elapsed() < 10000);
    QVERIFY(gesperrt);
    QVERIFY(vorDemStopp >= 2);
    // The stop click's own pass sends one more query, the first run none.
    QCOMPARE(Anzahl(Neue(k), "@IG\r"), vorDemStopp + 1);
    QCOMPARE(Neue(k).size(), vorDemStopp + 1);
    QVERIFY(!f.IO_SpeedButton->isChecked());
    QVERIFY(f.Panel1->isEnabled() && f.Panel14->isEnabled() && f.EingangAbfragen_Button->isEnabled());
    QVERIFY(f.Eingang_ComboBox->isEnabled() && !f.Beenden_BitBtn->isHidden());
    QVERIFY(k.Zeilen().empty());
    // The window works normally afterwards.
    k.Klick(f.A3_ON_SpeedButton);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Neue(k).back(), std::string("A3,1\r"));
}

void Einstellungen::ioTestEndetBeimSchliessen() {
    Konsole k;
    TMainForm& f = k.Form();
    QTimer::singleShot(500, &f, [&] { f.close(); });
    QElapsedTimer t;
    t.start();
    k.Klick(f.IO_SpeedButton);
    QVERIFY(t.elapsed() < 5000);
    QVERIFY(!f.isVisible());
    QVERIFY(f.Panel1->isEnabled() && !f.Beenden_BitBtn->isHidden());
    QVERIFY(k.Boxen().empty());
}

void Einstellungen::ioTestEndetBeimFehler() {
    Konsole k;
    TMainForm& f = k.Form();
    k.Sim().SetSilent(true);
    QElapsedTimer t;
    t.start();
    k.Klick(f.IO_SpeedButton);
    QVERIFY(t.elapsed() < 5000);
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: WAIT_TIMEOUT"});
    QCOMPARE(Neue(k), std::vector<std::string>{"@IG\r"});
    // The report is cleared with the rest of the test's traces.
    QVERIFY(k.Zeilen().empty());
    QVERIFY(f.Panel1->isEnabled() && f.Eingang_ComboBox->isEnabled() && !f.Beenden_BitBtn->isHidden());
}

QTEST_MAIN(Einstellungen)
#include "einstellungen_test.moc"
