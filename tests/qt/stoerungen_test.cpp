// Faults on the line, through the real link and window against the simulated
// controller: a silent controller, late replies, noise and NUL bytes, the
// line pulled during a wait, a move and a program write, and a reset during
// a program write. In each case the operator gets a clear message, the
// window keeps working, "Ini" brings the link back, and nothing spins.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/pelto_befehle_thread.h"
#include "app/radio_group.h"
#include "support/cpu_zeit.h"
#include "support/konsole.h"

using namespace std::chrono_literals;

namespace {

const QColor kGrauQ(128, 128, 128);
const std::string kTimeout = "Pelto-Befehle: WAIT_TIMEOUT";
const std::string kLeitungWeg = "Pelto-Befehle: WAIT_FAILED";
const std::string kVerworfen = "keloCOM_thread->Execute() :: verspätete Antwort verworfen: ";


KonsolenStart Schnell() {
    KonsolenStart s;
    s.sim.timeScale = 0.05;
    return s;
}

bool Enthaelt(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

bool BeginntMit(const std::vector<std::string>& v, const std::string& anfang) {
    return std::any_of(v.begin(), v.end(), [&](const std::string& z) { return z.rfind(anfang, 0) == 0; });
}

// Longest pause of the window's event loop, in ms, seen by a 20 ms timer
// while the test waits `ms`.
qint64 LaengsteStockung(int ms) {
    QElapsedTimer uhr;
    uhr.start();
    qint64 letzter = 0, laengste = 0;
    QTimer takt;
    QObject::connect(&takt, &QTimer::timeout, [&] {
        laengste = std::max(laengste, uhr.elapsed() - letzter);
        letzter = uhr.elapsed();
    });
    takt.start(20);
    QTest::qWait(ms);
    return std::max(laengste, uhr.elapsed() - letzter);
}

// CPU time of the whole process (window, worker, link, simulator) over one
// idle second; a spinning thread would take about a second.
double CpuInEinerRuhigenSekunde() {
    const double vorher = CpuSekunden();
    QTest::qWait(1000);
    return CpuSekunden() - vorher;
}

// Waits until the controller has received `anfrage` (and answered at once).
bool Empfangen(Konsole& k, const std::string& anfrage, size_t ab = 0) {
    const bool ok = QTest::qWaitFor(
        [&] {
            const auto r = k.Sim().Requests();
            return std::find(r.begin() + std::min(ab, r.size()), r.end(), anfrage) != r.end();
        },
        5000);
    QTest::qWait(30);
    return ok;
}

void Eintragen(QLineEdit* feld, const QString& text) { feld->setText(text); }

// The worker's routine has finished and the window shows its end.
bool Fertig(Konsole& k, QAbstractButton* knopf, int ms = 20000) {
    k.Klick(knopf);
    return k.Leerlauf(ms);
}

// After a drop: waits for the new terminal and points COM1 at it.
bool LeitungZurueck(Konsole& k, unsigned generation) {
    const bool da = QTest::qWaitFor(
        [&] { return k.Sim().LineGeneration() > generation && !k.Sim().DevicePath().empty(); }, 5000);
    if (da) ::setenv("PELTO_COM1", k.Sim().DevicePath().c_str(), 1);
    return da;
}

// "Ini" as the operator presses it; true when the link is set up again.
bool Ini(Konsole& k) {
    if (!Fertig(k, k.Form().ComIni_Button)) return false;
    const auto z = k.Zeilen();
    return !z.empty() && z.front() == "COM1 115200 ist initialisiert!";
}

// The version query on the "@" channel, as its panel shows the answer.
QString Version(Konsole& k) {
    k.Form().Versionsabfrage_ButtonClick();
    return k.Form().Versionsabfrage_Panel->text();
}

// A normal exchange that must work: output A1 on.
bool A1An(Konsole& k) {
    const size_t vorher = k.Sim().Requests().size();
    if (!Fertig(k, k.Form().A1_ON_SpeedButton)) return false;
    const auto r = k.Sim().Requests();
    return r.size() == vorher + 1 && r.back() == "A1,1\r" &&
           k.Zeilen() == std::vector<std::string>{"A1,1<CR>", "<ACK>"};
}

// Slot 3 gets the test program cut to its first 1000 body lines: long
// enough for faults amid the body, short enough that the 64 ms limit of
// each line is not at the mercy of a busy machine for minutes.
constexpr size_t kKoerper = 1000;
const std::string kLetzteZeile = "L1,X00999";

void GrossesProgrammInSlot3(Konsole& k) {
    std::ifstream ein("programm.txt", std::ios::binary);
    std::ofstream aus("programm3.txt", std::ios::binary | std::ios::trunc);
    std::string zeile;
    for (size_t i = 0; i < kKoerper && std::getline(ein, zeile); ++i) aus << zeile << '\n';
    std::filesystem::copy_file("header.txt", "header3.txt", std::filesystem::copy_options::overwrite_existing);
    RadioGroup_SetItemIndex(k.Form().Programm_RadioGroup, 2);
}

// The write has got this far into the body.
bool ImKoerper(Konsole& k, size_t zeilen) {
    return QTest::qWaitFor([&] { return k.Sim().Requests().size() > zeilen; }, 10000);
}

// The write started on a line quick enough to cut it amid the body.
bool SchreibenBisImKoerper(Konsole& k, size_t zeilen) {
    k.Sim().SetLatency(1ms);
    k.Klick(k.Form().ProgrammSchreiben_Button);
    return ImKoerper(k, zeilen);
}

// The write has ended well and slot 3 holds every body line.
void ProgrammGanz(Konsole& k) {
    QCOMPARE(k.Zeilen().back(), std::string("### Programm 3 schreiben - Ende ###"));
    const auto body = k.Sim().Slot(3).body;
    QCOMPARE(body.size(), kKoerper + 1);
    QCOMPARE(body.at(1), std::string("L1,X00000"));
    QCOMPARE(body.back(), kLetzteZeile);
}

// How a scenario brings the console back once its fault is over, and what
// must hold then. The controller's faults are lifted first; the steps run
// in this order, those left unset are skipped.
struct Rueckweg {
    enum class Knopf { Keiner, Reset, Stopp };
    Knopf knopf = Knopf::Keiner;  // pressed first; the worker is idle after it
    std::string quittung {};      // the pane's last line then; empty: not looked at
    bool ini = false;             // "Ini" sets the link up
    bool a1 = true;               // output A1 on works...
    int a1BinnenMs = 0;           // ...within this time, when set
    bool programm = false;        // slot 3 is written in full
    bool version = false;         // the "@" channel answers
    std::string nieImProtokoll {};  // a line the log must not have
    size_t boxen = 0;             // boxes in all, the fault's own included
};

void Zurueckholen(Konsole& k, const Rueckweg& w) {
    k.Sim().SetSilent(false);
    k.Sim().SetLate(0ms);
    k.Sim().SetLatency(0ms);
    if (w.knopf != Rueckweg::Knopf::Keiner) {
        w.knopf == Rueckweg::Knopf::Reset ? k.Form().Reset_ButtonClick() : k.Form().Stoppen_ButtonClick();
        QVERIFY(k.Leerlauf(3000));
        // A "!" is the worker's; the window's own two lines may come after it.
        const std::string anfrage = w.knopf == Rueckweg::Knopf::Reset ? "@R<CR>" : "@S<CR>";
        const auto zeilen = w.quittung == "!" ? OhneSofortzeilen(k.Zeilen(), anfrage) : k.Zeilen();
        if (!w.quittung.empty()) QCOMPARE(zeilen.back(), w.quittung);
    }
    if (w.ini) QVERIFY(Ini(k));
    QElapsedTimer t;
    t.start();
    if (w.a1) QVERIFY(A1An(k));
    if (w.a1BinnenMs > 0) QVERIFY2(t.elapsed() < w.a1BinnenMs, qPrintable(QString::number(t.elapsed())));
    if (w.programm) {
        QVERIFY(Fertig(k, k.Form().ProgrammSchreiben_Button, 60000));
        ProgrammGanz(k);
        if (QTest::currentTestFailed()) return;
    }
    if (w.version) QCOMPARE(Version(k), QString("Pelto-Sim 1.0"));
    if (!w.nieImProtokoll.empty()) QVERIFY(!Enthaelt(k.Protokoll(), w.nieImProtokoll));
    QCOMPARE(k.Boxen().size(), w.boxen);
}

}  // namespace

class Stoerungen : public QObject {
    Q_OBJECT
private slots:
    void stummeSteuerungVorDerRoutine();
    void stummWaehrendDerWartezeit();
    void sofortKnopfBeiStummerSteuerung();
    void endantwortKommtNie();
    void resetInDieStilleWaehrendDerFahrt();
    void schliessenKurzNachDemRoutinenende();
    void spaeteAntworten_data();
    void spaeteAntworten();
    void spaeteKlammeraffeAntwort();
    void stoerbytesZwischenDenAustauschen_data();
    void stoerbytesZwischenDenAustauschen();
    void stoerantwortZwischenDenAustauschen();
    void sofortKnopfNachStoerantwort();
    void stoerbytesWaehrendDesProgrammschreibens();
    void nulWaehrendDesProgrammschreibens();
    void leitungWegWaehrendDerWartezeit();
    void leitungWegWaehrendDerFahrt();
    void leitungWegWaehrendDesProgrammschreibens();
    void resetWaehrendDesProgrammschreibens();
    void nachDemResetKeineProgrammzeile();
};

// Silent from the start of a routine: the request times out, the "@"
// channel stays usable, and a confirmed reset reopens the normal one.
void Stoerungen::stummeSteuerungVorDerRoutine() {
    Konsole k(Schnell());
    k.Sim().SetSilent(true);
    QVERIFY(Fertig(k, k.Form().Startgeschw_Button));
    QCOMPARE(k.Boxen(), std::vector<std::string>{kTimeout});
    // The failed request, and no reply: start-up's version answered another.
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"#S200<CR>", ""}));
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM->WaitResp() :: WAIT_TIMEOUT"));
    QVERIFY(CpuInEinerRuhigenSekunde() < 0.3);

    // The controller answers again: the "@" channel works at once.
    k.Sim().SetSilent(false);
    QCOMPARE(Version(k), QString("Pelto-Sim 1.0"));
    // The confirmed reset ended what the lost reply was owed: the next
    // routine goes out at once, without "Ini".
    Zurueckholen(k, {.knopf = Rueckweg::Knopf::Reset, .quittung = "@RS<ACK>", .a1BinnenMs = 1000,
                     .nieImProtokoll = "keloCOM->SendReq() :: WAIT_TIMEOUT", .boxen = 1});
}

// An immediate button pressed while the controller is silent: reported on
// the window; once the controller answers, the immediate buttons work again.
void Stoerungen::sofortKnopfBeiStummerSteuerung() {
    Konsole k(Schnell());
    k.Sim().SetSilent(true);
    k.Form().Reset_ButtonClick();
    QCOMPARE(k.Boxen(), std::vector<std::string>{kTimeout});
    Zurueckholen(k, {.knopf = Rueckweg::Knopf::Stopp, .quittung = "@RS<ACK>", .a1 = false, .version = true,
                     .boxen = 1});
}

// The controller falls silent after accepting a wait: the routine ends after
// its own time; meanwhile the window works; a stop once the controller
// answers again reopens the link without "Ini".
void Stoerungen::stummWaehrendDerWartezeit() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Eintragen(f.Wartezeit_Edit, "1500");  // waits up to 3000 ms for the end
    QElapsedTimer t;
    t.start();
    k.Klick(f.Wartezeit_Button);
    QVERIFY(Empfangen(k, "W1500\r"));
    k.Sim().SetSilent(true);
    QVERIFY(LaengsteStockung(300) < 100);
    QVERIFY(!k.Leerlauf(50));
    f.Reset_ButtonClick();
    QCOMPARE(k.Boxen(), std::vector<std::string>{kTimeout});
    QVERIFY(!k.Leerlauf(50));  // the worker still waits
    QVERIFY(CpuInEinerRuhigenSekunde() < 0.3);
    QVERIFY(k.Leerlauf(5000));
    QVERIFY(t.elapsed() >= 2900 && t.elapsed() < 6000);
    QCOMPARE(k.Boxen(), (std::vector<std::string>{kTimeout, kTimeout}));
    QCOMPARE(k.Zeilen().at(1), std::string("<NAK>"));
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM->WaitResp() :: WAIT_TIMEOUT"));

    // The confirmed stop ends what the wait was owed: no request is open, so
    // no "!" is made, and the normal gate opens.
    Zurueckholen(k, {.knopf = Rueckweg::Knopf::Stopp, .quittung = "@RS<ACK>", .nieImProtokoll = kVerworfen + "!",
                     .boxen = 2});
}

// A move whose final answer never comes (the controller silent after its
// NAK; the move ends meanwhile). The worker's five-minute wait goes on, the
// window works; once the controller answers again a reset ends the wait.
void Stoerungen::endantwortKommtNie() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Eintragen(f.VektorX_Edit, "4000");  // 200 ms at this scale
    k.Klick(f.xyzVektorFahren_Button);
    QVERIFY(Empfangen(k, "L1,x4000\r"));
    k.Sim().SetSilent(true);
    QVERIFY(LaengsteStockung(500) < 100);
    QCOMPARE(k.Sim().Position('x'), int64_t(4000));  // done; its ACK is lost
    QVERIFY(!k.Leerlauf(100));
    QVERIFY(CpuInEinerRuhigenSekunde() < 0.3);
    k.Sim().SetSilent(false);
    QElapsedTimer t;
    t.start();
    f.Reset_ButtonClick();
    QVERIFY(k.Leerlauf(3000));
    QVERIFY(t.elapsed() < 3000);
    const auto z = k.Zeilen();
    QVERIFY(Enthaelt(z, "@RS<ACK>"));
    QCOMPARE(OhneSofortzeilen(z, "@R<CR>").back(), std::string("!"));
    Zurueckholen(k, {});
}

// The same, but the operator presses Reset while the controller is silent:
// the move must still be stoppable once the controller answers.
void Stoerungen::resetInDieStilleWaehrendDerFahrt() {
    Konsole k;  // real time: the move would take about a hundred seconds
    TMainForm& f = k.Form();
    Eintragen(f.VektorX_Edit, "100000");
    k.Klick(f.xyzVektorFahren_Button);
    QVERIFY(Empfangen(k, "L1,x100000\r"));
    k.Sim().SetSilent(true);
    f.Reset_ButtonClick();
    QCOMPARE(k.Boxen(), std::vector<std::string>{kTimeout});
    QVERIFY(!k.Leerlauf(100));
    // The silent controller did take the reset; a stop now must reach it.
    Zurueckholen(k, {.knopf = Rueckweg::Knopf::Stopp, .quittung = "!", .boxen = 1});
}

// Closing while a routine waits for a silent controller: the window serves
// the routine to its end (its box included) and closes within a second.
void Stoerungen::schliessenKurzNachDemRoutinenende() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Eintragen(f.Wartezeit_Edit, "1000");  // ends 2000 ms after the request
    QElapsedTimer t;
    t.start();
    k.Klick(f.Wartezeit_Button);
    QVERIFY(Empfangen(k, "W1000\r"));
    k.Sim().SetSilent(true);
    f.close();
    const qint64 zu = t.elapsed();
    QVERIFY2(zu >= 1900, qPrintable(QString::number(zu)));
    QVERIFY2(zu < 2000 + 1000 + 500, qPrintable(QString::number(zu)));  // 500 ms for a slow machine
    QCOMPARE(k.Boxen(), std::vector<std::string>{kTimeout});
    QVERIFY(!f.BefehleThread()->hEventEnd.IsOpen());
}

void Stoerungen::spaeteAntworten_data() {
    QTest::addColumn<QString>("zuerst");     // the routine whose reply comes late
    QTest::addColumn<int>("spaet");          // ms added to every reply
    QTest::addColumn<QString>("danach");     // the next routine, clicked at once
    QTest::addColumn<QStringList>("zeilen");  // what it must show
    QTest::addColumn<QString>("verworfen");  // the stale reply, as logged
    // A stale ACK handed to "lesen" would be no echo: COMMUNICATION_ERROR.
    QTest::newRow("ACK spaet, dann lesen")
        << "A1_ON_SpeedButton" << 300 << "ProgrammLesen_Button"
        << QStringList{"*PR6<CR>", "E3<BEL>", "### ungültiger FAT-Eintrag ###", "### Programm 6 lesen - Fehler ###"}
        << "<ACK>";
    // A stale "E3" handed to A1 would be an ACK_ERROR box.
    QTest::newRow("Fehlerantwort spaet, dann A1") << "ProgrammLesen_Button" << 700 << "A1_ON_SpeedButton"
                                                   << QStringList{"A1,1<CR>", "<ACK>"} << "E3<BEL>";
    // NAK and final answer late: the next normal request waits at the gate
    // until the final answer is in, then goes.
    QTest::newRow("NAK spaet, dann Startgeschwindigkeit") << "Wartezeit_Button" << 300 << "Startgeschw_Button"
                                                           << QStringList{"#S200<CR>", "<ACK>"} << "<NAK>";
}

// A reply that comes after its sender gave up is dropped: the next routine
// gets its own reply.
void Stoerungen::spaeteAntworten() {
    QFETCH(QString, zuerst);
    QFETCH(int, spaet);
    QFETCH(QString, danach);
    QFETCH(QStringList, zeilen);
    QFETCH(QString, verworfen);
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    RadioGroup_SetItemIndex(f.Programm_RadioGroup, 5);
    Eintragen(f.Wartezeit_Edit, "200");
    k.Sim().SetLate(std::chrono::milliseconds(spaet));
    QVERIFY(Fertig(k, f.findChild<QAbstractButton*>(zuerst)));
    QCOMPARE(k.Boxen(), std::vector<std::string>{kTimeout});
    k.Sim().SetLate(0ms);
    QVERIFY(Fertig(k, f.findChild<QAbstractButton*>(danach)));
    std::vector<std::string> erwartet;
    for (const auto& z : zeilen) erwartet.push_back(z.toStdString());
    const auto ist = k.Zeilen();
    QCOMPARE(std::vector<std::string>(ist.end() - std::min(ist.size(), erwartet.size()), ist.end()), erwartet);
    QVERIFY(QTest::qWaitFor([&] { return Enthaelt(k.Protokoll(), kVerworfen + verworfen.toStdString()); }, 2000));
    Zurueckholen(k, {.boxen = 1});
}

// A late "@" reply is not the next "@" request's reply either.
void Stoerungen::spaeteKlammeraffeAntwort() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    k.Sim().SetLate(300ms);
    f.Versionsabfrage_ButtonClick();
    QCOMPARE(k.Boxen(), std::vector<std::string>{kTimeout});
    k.Sim().SetLate(0ms);
    QTest::qWait(400);
    f.Statusabfrage_ButtonClick();
    QString status;
    for (char c : k.Sim().Status()) status += (status.isEmpty() ? "" : " - ") + QString(QChar(c));
    QCOMPARE(f.Statusabfrage_Panel->text(), status);
    QVERIFY(Enthaelt(k.Protokoll(), kVerworfen + "@V Pelto-Sim 1.0<ACK>"));
    QCOMPARE(k.Boxen().size(), size_t(1));
}

void Stoerungen::stoerbytesZwischenDenAustauschen_data() {
    QTest::addColumn<QByteArray>("stoerung");
    QTest::newRow("Zeichen ohne Endezeichen") << QByteArray("zz?");
    QTest::newRow("NUL-Bytes") << QByteArray("\0\0\0", 3);
    QTest::newRow("NUL und 0xFF") << QByteArray("\0\xff\xfe\0", 4);
}

// Noise without an end character, waiting when the next request goes out,
// is dropped: that routine gets its own reply, and so does the next one.
void Stoerungen::stoerbytesZwischenDenAustauschen() {
    QFETCH(QByteArray, stoerung);
    Konsole k(Schnell());
    k.Sim().InjectGarbage(stoerung.toStdString());
    QTest::qWait(100);
    QVERIFY(Fertig(k, k.Form().A2_ON_SpeedButton));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"A2,1<CR>", "<ACK>"}));
    QVERIFY(BeginntMit(k.Protokoll(), "keloCOM_thread->Execute() :: unvollständige Antwort verworfen: "));
    Zurueckholen(k, {.version = true});
}

// Noise that ends like a reply ("\r"), arriving while nothing is asked, is
// dropped when the next request goes out: that routine gets its own reply,
// and the ones after it too.
void Stoerungen::stoerantwortZwischenDenAustauschen() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    k.Sim().InjectGarbage("xq7\r");
    QTest::qWait(100);
    QVERIFY(A1An(k));
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM_thread->Execute() :: unerwartete Antwort verworfen: xq7<CR>"));
    QCOMPARE(Version(k), QString("Pelto-Sim 1.0"));
    RadioGroup_SetItemIndex(f.Programm_RadioGroup, 5);
    QVERIFY(Fertig(k, f.ProgrammLesen_Button));
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"*PR6<CR>", "E3<BEL>", "### ungültiger FAT-Eintrag ###",
                                                   "### Programm 6 lesen - Fehler ###"}));
    QVERIFY(k.Boxen().empty());
}

// The same noise, then the operator presses Reset: the controller answers,
// so the reset must be confirmed.
void Stoerungen::sofortKnopfNachStoerantwort() {
    Konsole k(Schnell());
    k.Sim().InjectGarbage("xq7\r");
    QTest::qWait(100);
    Zurueckholen(k, {.knopf = Rueckweg::Knopf::Reset, .quittung = "@RS<ACK>"});
}

// Noise amid the acknowledgements of a program body: no line is lost.
void Stoerungen::stoerbytesWaehrendDesProgrammschreibens() {
    Konsole k(Schnell());
    GrossesProgrammInSlot3(k);
    QVERIFY(SchreibenBisImKoerper(k, 300));
    k.Sim().InjectGarbage("#~");
    QVERIFY(k.Leerlauf(60000));
    QVERIFY(k.Boxen().empty());
    ProgrammGanz(k);
}

// A NUL amid the body's acknowledgements: dropped when it comes between two
// exchanges, so the write goes on. Should it fall inside one reply, that
// reply is spoilt: the write stops with a clear error, and after a reset
// the write stores every line.
void Stoerungen::nulWaehrendDesProgrammschreibens() {
    Konsole k(Schnell());
    GrossesProgrammInSlot3(k);
    QVERIFY(SchreibenBisImKoerper(k, 300));
    k.Sim().InjectGarbage(std::string(1, '\0'));
    QVERIFY(LaengsteStockung(200) < 100);
    QVERIFY(k.Leerlauf(60000));
    if (!k.Boxen().empty()) {
        QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: ACK_ERROR"});
        QCOMPARE(k.Zeilen().back(), std::string("### Programm 3 schreiben - Fehler ###"));
        QVERIFY(!k.Sim().SlotOccupied(3));
        // The controller still expects body lines.
        Zurueckholen(k, {.knopf = Rueckweg::Knopf::Reset, .a1 = false, .programm = true, .boxen = 1});
        return;
    }
    // Otherwise it was dropped ("unvollständige Antwort verworfen"), or, not
    // read yet when the next request went out, purged with the port's input.
    ProgrammGanz(k);
    QVERIFY(k.Boxen().size() <= 1);
}

// The line pulled while the worker waits for a wait's end: the routine ends
// at once with a clear message; "Ini" on the new terminal brings the link
// back, even with the wait's final answer waiting there.
void Stoerungen::leitungWegWaehrendDerWartezeit() {
    Konsole k;  // real time: the wait outlasts the drop
    TMainForm& f = k.Form();
    Eintragen(f.Wartezeit_Edit, "1500");  // the worker would wait up to 3000 ms
    k.Klick(f.Wartezeit_Button);
    QVERIFY(Empfangen(k, "W1500\r"));
    const unsigned generation = k.Sim().LineGeneration();
    QElapsedTimer t;
    t.start();
    k.Sim().DropLine(1500ms);
    QVERIFY(QTest::qWaitFor([&] { return k.Sim().DevicePath().empty(); }, 2000));
    QVERIFY(LaengsteStockung(200) < 100);
    QVERIFY(k.Leerlauf(2000));
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));  // not the wait's 3 s
    QCOMPARE(k.Boxen(), std::vector<std::string>{kLeitungWeg});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"W1500<CR>", "<NAK>"}));
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM->WaitResp() :: WAIT_FAILED"));
    f.Stoppen_ButtonClick();  // nothing can reach the controller now
    QCOMPARE(k.Boxen(), (std::vector<std::string>{kLeitungWeg, kLeitungWeg}));
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM->WaitResp_MB() :: WAIT_FAILED"));
    QVERIFY(BeginntMit(k.Protokoll(), "keloCOM_thread->Execute() :: ReadFile GetLastError()="));
    QVERIFY(CpuInEinerRuhigenSekunde() < 0.3);
    QVERIFY(LeitungZurueck(k, generation));
    QTest::qWait(300);  // the wait's final answer is on the new line by now
    Zurueckholen(k, {.ini = true, .boxen = 2});
}

// The line pulled in the middle of a move: the worker learns of the dead
// line at once and is free. On the new terminal, while the controller still
// moves, "Ini" gets no answer to its connection test; a reset then reaches
// the controller there, and "Ini" sets the link up.
void Stoerungen::leitungWegWaehrendDerFahrt() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    Eintragen(f.VektorX_Edit, "1000000");  // 50 s at this scale
    k.Klick(f.xyzVektorFahren_Button);
    QVERIFY(Empfangen(k, "L1,x1000000\r"));
    const unsigned generation = k.Sim().LineGeneration();
    QElapsedTimer t;
    t.start();
    k.Sim().DropLine(500ms);
    QVERIFY(k.Leerlauf(3000));
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(k.Boxen(), std::vector<std::string>{kLeitungWeg});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"L1,x1000000<CR>", "<NAK>"}));
    QVERIFY(Enthaelt(k.Protokoll(), "keloCOM->WaitResp() :: WAIT_FAILED"));
    QVERIFY(CpuInEinerRuhigenSekunde() < 0.3);
    QVERIFY(LeitungZurueck(k, generation));
    QVERIFY(!Ini(k));
    QCOMPARE(k.Boxen(), (std::vector<std::string>{kLeitungWeg,
                                                  "keloCOM->Connect: Bitte die Schnittstelle überprüfen bzw.    \n"
                                                  "die Steuerung Aus- und Einschalten!",
                                                  kTimeout}));
    Zurueckholen(k, {.knopf = Rueckweg::Knopf::Reset, .quittung = "@RS<ACK>", .ini = true, .boxen = 3});
}

// The line pulled during a long program write: the write stops with a clear
// message, the slot is not left half written, the file stays as it was,
// and after "Ini" the write stores every line.
void Stoerungen::leitungWegWaehrendDesProgrammschreibens() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    GrossesProgrammInSlot3(k);
    const std::string datei = Lesen("programm3.txt");
    QVERIFY(SchreibenBisImKoerper(k, 500));
    const unsigned generation = k.Sim().LineGeneration();
    k.Sim().DropLine(1000ms);
    QVERIFY(k.Leerlauf(3000));
    QCOMPARE(k.Boxen(), std::vector<std::string>{kLeitungWeg});
    QCOMPARE(k.Zeilen().back(), std::string("### Programm 3 schreiben - Fehler ###"));
    QCOMPARE(k.Farben().back(), kGrauQ);
    QVERIFY(!k.Sim().SlotOccupied(3));
    QCOMPARE(Lesen("programm3.txt"), datei);
    f.Reset_ButtonClick();  // dead line: reported at once, nothing hangs
    QCOMPARE(k.Boxen(), (std::vector<std::string>{kLeitungWeg, kLeitungWeg}));
    QVERIFY(CpuInEinerRuhigenSekunde() < 0.3);
    QVERIFY(LeitungZurueck(k, generation));
    Zurueckholen(k, {.ini = true, .a1 = false, .programm = true, .boxen = 2});
}

// A reset while a program is written: the controller drops the transfer,
// and the write ends with a clear error before its next line. The link
// stays sound, and a new write stores every line.
void Stoerungen::resetWaehrendDesProgrammschreibens() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    GrossesProgrammInSlot3(k);
    QVERIFY(SchreibenBisImKoerper(k, 500));
    f.Reset_ButtonClick();
    QVERIFY(k.Leerlauf(5000));
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: ACK_ERROR"});
    // The window's own reset lines may land before or after the worker's last.
    const auto zeilen = k.Zeilen();
    const auto fehler = std::find(zeilen.begin(), zeilen.end(), "### Programm 3 schreiben - Fehler ###");
    QVERIFY(fehler != zeilen.end());
    QCOMPARE(k.Farben().at(static_cast<size_t>(fehler - zeilen.begin())), kGrauQ);
    QVERIFY(!k.Sim().SlotOccupied(3));
    const auto r = k.Sim().Requests();
    QVERIFY(std::find(r.begin(), r.end(), "\x03") == r.end());  // no end mark
    Zurueckholen(k, {.programm = true, .boxen = 1});
}

// Once the reset is on its way, no program line may reach the controller:
// having left the transfer, it would run the line as a live command. A race,
// so several writes are cut.
void Stoerungen::nachDemResetKeineProgrammzeile() {
    Konsole k(Schnell());
    TMainForm& f = k.Form();
    GrossesProgrammInSlot3(k);
    k.Sim().SetLatency(1ms);
    for (int runde = 0; runde < 6; ++runde) {
        const size_t vorher = k.Sim().Requests().size();
        k.Klick(f.ProgrammSchreiben_Button);
        QVERIFY(ImKoerper(k, vorher + 300));
        f.Reset_ButtonClick();
        QVERIFY(k.Leerlauf(5000));
        QTest::qWait(100);
        const auto r = k.Sim().Requests();
        QVERIFY2(r.back() == "@R\r", qPrintable("after the reset: " + QString::fromStdString(r.back())));
        QCOMPARE(k.Sim().Position('x'), int64_t(0));
    }
}

QTEST_MAIN(Stoerungen)
#include "stoerungen_test.moc"
