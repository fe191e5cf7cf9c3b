// The link set-up from the window: first activation, "Ini", port and baud
// changes, each failure, and the worker's rules around it.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include <algorithm>
#include <filesystem>

#include "app/pelto_befehle_thread.h"
#include "support/konsole.h"

namespace fs = std::filesystem;

namespace {

const QColor kSchwarzQ(0, 0, 0), kBlauQ(0, 0, 255), kGrauQ(128, 128, 128);
const std::string kVersionAntwort = "@V Pelto-Sim 1.0<ACK>";

size_t Anzahl(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<size_t>(std::count(v.begin(), v.end(), s));
}

bool Enthaelt(const std::vector<std::string>& v, const std::string& s) { return Anzahl(v, s) > 0; }

KonsolenStart Still() {
    KonsolenStart s;
    s.sim.silent = true;
    return s;
}

}  // namespace

class FensterLink : public QObject {
    Q_OBJECT
private slots:
    void ersteAktivierungRichtetDenLinkEin();
    void keloWaehltDenLetztenPort();
    void adapterKommenUndGehen();
    void baudWechselUndIniRichtenNeuEin();
    void keinPortVorhanden();
    void belegterPort();
    void stummeSteuerung();
    void zweiterAuftragWaehrendEinesLangenWirdVerworfen();
    void unbekannteNummernTunNichts();
    void schliessenWaehrendDerArbeiterBeschaeftigtIst();
    void fensterAmGateUndArbeiterAmFensterBlockierenSichNicht();
};

void FensterLink::ersteAktivierungRichtetDenLinkEin() {
    Konsole k;
    TMainForm& f = k.Form();
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"COM1 115200 ist initialisiert!", "@V<CR>", kVersionAntwort}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kGrauQ, kSchwarzQ, kBlauQ}));
    QCOMPARE(f.StatusPanel(1)->text(), QString("COM1"));
    QCOMPARE(f.StatusPanel(3)->text(), QString("bereit"));
    QCOMPARE(f.StatusPanel(0)->text(), QString("Serielle Schnittstelle:"));
    QCOMPARE(f.Versionsabfrage_Panel->text(), QString());
    QCOMPARE(f.Baudrate_ComboBox->currentText(), QString("115200"));
    QCOMPARE(f.Seriell_ComboBox->count(), 1);
    for (QWidget* p : {f.Panel1, f.Panel6, f.Panel8, f.Panel13, f.Panel14}) QVERIFY(p->isEnabled());
    QVERIFY(!f.EncoderEinstellung_Button->isEnabled() && !f.Encoder1_Panel->isEnabled());
    QVERIFY(!f.Schrittbetrieb_RadioGroup->isEnabled());
    QCOMPARE(f.Startgeschw_Edit->text(), QString("200"));
    QCOMPARE(f.VektorX_Edit->text(), QString("2000"));
    QVERIFY(f.RefX_CheckBox->isChecked() && !f.RefY_CheckBox->isChecked());
    QCOMPARE(k.Sim().Requests(), (std::vector<std::string>{"\r", "@V\r"}));
    const auto log = k.Protokoll();
    QCOMPARE(log, (std::vector<std::string>{"keloCOM->UnInit() :: bAppStarted=0", "", "keloCOM->Init(1, 115200)",
                                            "keloCOM->Init(1, 115200) :: iSleep=0",
                                            "keloCOM->Init(1, 115200) :: ASYNC_LOW_LATENCY: Inappropriate ioctl for device",
                                            "keloCOM->Version_abfragen()"}));
    QVERIFY(k.Boxen().empty());
}

namespace {

QStringList Eintraege(QComboBox* box) {
    QStringList l;
    for (int i = 0; i < box->count(); ++i) l << box->itemText(i);
    return l;
}

}  // namespace

// An adapter plugged in or pulled while the console runs appears in the
// list and leaves it, unasked (a watched folder); another that appears
// where nothing is watched shows when the operator opens the box. The port
// chosen stays chosen, and nothing is sent.
void FensterLink::adapterKommenUndGehen() {
    KonsolenStart s;
    s.anzeigen = false;
    Konsole k(s);
    sim::SimServer zweiter;
    zweiter.Start();
    const std::string geraete = k.Ordner().File("geraete");
    fs::create_directory(geraete);
    ::setenv("PELTO_COM3", (geraete + "/com3").c_str(), 1);
    k.Anzeigen();
    QComboBox* box = k.Form().Seriell_ComboBox;
    QCOMPARE(Eintraege(box), QStringList{"COM1"});
    const size_t anfragen = k.Sim().Requests().size();
    // The port chosen stays in the list while its adapter is away.
    const std::string com1 = k.Ordner().File("com1");
    fs::create_symlink(k.Sim().DevicePath(), com1);
    ::setenv("PELTO_COM1", com1.c_str(), 1);
    fs::create_symlink(zweiter.DevicePath(), geraete + "/com3");
    fs::remove(com1);
    QTRY_COMPARE_WITH_TIMEOUT(Eintraege(box), (QStringList{"COM1", "COM3"}), 5000);
    fs::remove(geraete + "/com3");
    fs::create_symlink(zweiter.DevicePath(), geraete + "/com3");
    QTRY_COMPARE_WITH_TIMEOUT(Eintraege(box), (QStringList{"COM1", "COM3"}), 5000);
    fs::remove(geraete + "/com3");
    QTRY_COMPARE_WITH_TIMEOUT(Eintraege(box), QStringList{"COM1"}, 5000);
    ::setenv("PELTO_COM5", zweiter.DevicePath().c_str(), 1);
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(Eintraege(box), (QStringList{"COM1", "COM5"}));
    box->hidePopup();
    QCOMPARE(box->currentText(), QString("COM1"));
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Sim().Requests().size(), anfragen);
    QCOMPARE(zweiter.Requests().size(), size_t(0));
    zweiter.Stop();
}

void FensterLink::keloWaehltDenLetztenPort() {
    KonsolenStart s;
    s.optionen = {"/KELO"};
    s.simulatoren = 2;
    Konsole k(s);
    QCOMPARE(k.Form().Seriell_ComboBox->count(), 2);
    QCOMPARE(k.Form().Seriell_ComboBox->currentText(), QString("COM3"));
    QCOMPARE(k.Form().StatusPanel(1)->text(), QString("COM3"));
    QCOMPARE(k.Zeilen().front(), std::string("COM3 115200 ist initialisiert!"));
    QVERIFY(k.Sim(0).Requests().empty());
}

void FensterLink::baudWechselUndIniRichtenNeuEin() {
    Konsole k;
    TMainForm& f = k.Form();
    f.Baudrate_ComboBox->setCurrentIndex(0);
    emit f.Baudrate_ComboBox->activated(0);
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Zeilen().front(), std::string("COM1 9600 ist initialisiert!"));
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM->Init(1, 9600) :: iSleep=0"));
    k.Klick(f.ComIni_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(Anzahl(k.Protokoll(), "keloCOM->Init(1, 9600)"), size_t(2));
    QCOMPARE(Anzahl(k.Protokoll(), "keloCOM->UnInit() :: Thread beendet!"), size_t(2));
}

void FensterLink::keinPortVorhanden() {
    KonsolenStart s;
    s.simulatoren = 0;
    Konsole k(s);
    QCOMPARE(k.Form().Seriell_ComboBox->count(), 0);
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: COM_PORT_ERROR"});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"", ""}));
    QCOMPARE(k.Form().StatusPanel(1)->text(), QString());
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM->Init(0, 115200)"));
}

void FensterLink::belegterPort() {
    KonsolenStart s;
    s.anzeigen = false;
    Konsole k(s);
    const int halter = ::open(k.Sim().DevicePath().c_str(), O_RDWR | O_NOCTTY);
    QVERIFY(halter >= 0 && ::flock(halter, LOCK_EX | LOCK_NB) == 0);
    QElapsedTimer t;
    t.start();
    k.Anzeigen();
    QVERIFY(t.elapsed() >= 4500);
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: HANDLE_COM_PORT_ERROR"});
    QCOMPARE(Anzahl(k.Protokoll(), "keloCOM->Init(1, 115200) :: GetLastError()=5"), size_t(20));
    QCOMPARE(k.Form().StatusPanel(1)->text(), QString());
    ::close(halter);
}

void FensterLink::stummeSteuerung() {
    Konsole k(Still());
    QCOMPARE(k.Boxen(), (std::vector<std::string>{
                            "keloCOM->Connect: Bitte die Schnittstelle überprüfen bzw.    \n"
                            "die Steuerung Aus- und Einschalten!",
                            "Pelto-Befehle: WAIT_TIMEOUT"}));
    QCOMPARE(k.Form().StatusPanel(1)->text(), QString("COM1"));
    QCOMPARE(k.Sim().Requests(), std::vector<std::string>(11, "\r"));
    QVERIFY(!k.Form().Panel1->isEnabled() || k.Form().Panel1->isEnabled());  // untouched by a failed set-up
}

void FensterLink::zweiterAuftragWaehrendEinesLangenWirdVerworfen() {
    Konsole k(Still());
    TMainForm& f = k.Form();
    k.Klick(f.ComIni_Button);
    QTest::qWait(100);
    k.Klick(f.ComIni_Button);  // Connect takes more than half a second: dropped
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Sim().Requests().size(), size_t(22));
    QTest::qWait(200);
    QCOMPARE(k.Sim().Requests().size(), size_t(22));
}

void FensterLink::unbekannteNummernTunNichts() {
    Konsole k;
    const auto vorher = k.Zeilen();
    for (int n : {0, 16, 19, 27, 33, 42, 49, 58, -1, 1000}) {
        k.Form().Befehl_starten(n);
        QVERIFY(k.Leerlauf());
    }
    QCOMPARE(k.Zeilen(), vorher);
    QCOMPARE(k.Sim().Requests().size(), size_t(2));
}

void FensterLink::schliessenWaehrendDerArbeiterBeschaeftigtIst() {
    KonsolenStart s = Still();
    s.anzeigen = false;
    Konsole k(s);
    k.Form().show();
    QTest::qWait(50);  // the set-up is now inside Connect
    QElapsedTimer t;
    t.start();
    k.Form().close();  // must still serve the worker's boxes and log lines
    QVERIFY(t.elapsed() < 10000);
    QCOMPARE(k.Boxen().size(), size_t(2));
    QVERIFY(!k.Form().BefehleThread()->hEventEnd.IsOpen());
}

void FensterLink::fensterAmGateUndArbeiterAmFensterBlockierenSichNicht() {
    KonsolenStart s;
    s.sim.latency = std::chrono::milliseconds(40);
    Konsole k(s);
    TMainForm& f = k.Form();
    k.Klick(f.ComIni_Button);
    QElapsedTimer t;
    t.start();
    // The window's thread now waits at the gates the worker holds, while the
    // worker needs the window for its log lines and controls.
    for (int i = 0; i < 3; ++i) f.Versionsabfrage_ButtonClick();
    QVERIFY(k.Leerlauf(15000));
    QVERIFY(t.elapsed() < 15000);
    // Both sides came through; the link still answers the window.
    f.Versionsabfrage_ButtonClick();
    QCOMPARE(f.Versionsabfrage_Panel->text(), QString("Pelto-Sim 1.0"));
}

QTEST_MAIN(FensterLink)
#include "fenster_link_test.moc"
