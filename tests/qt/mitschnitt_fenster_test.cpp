// A run of the window against the simulated controller, with faults,
// recorded on the wire and played again by the replay: the window shows the
// same lines, panels and boxes, and sends exactly the recorded requests.
#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <functional>

#include "link/mitschnitt.h"
#include "sim/replay_controller.h"
#include "sim/replay_script.h"
#include "sim/sim_server.h"
#include "support/sim_profil.h"
#include "support/temp_dir.h"
#include "support/konsole.h"

namespace {

// What the operator saw after each step.
struct Sicht {
    std::vector<std::string> zeilen;
    std::vector<std::string> boxen;
    std::string status;
    bool operator==(const Sicht&) const = default;
};

// The steps, each with what it does to the simulator beforehand (nothing
// when replayed: the recording holds the faults' effect).
std::vector<Sicht> Ablauf(Konsole& k, bool bSimulator) {
    TMainForm& f = k.Form();
    const std::vector<std::pair<std::function<void()>, QAbstractButton*>> schritte = {
        {[] {}, f.Startgeschw_Button},
        {[&] { k.Sim().AddRule({"A1,1\r", {{std::chrono::milliseconds(5), "E6\x07"}}, 1}); }, f.A1_ON_SpeedButton},
        {[&] { k.Sim().AddRule({"#S200\r", {}, 1}); }, f.Startgeschw_Button},
        {[] {}, f.Statusabfrage_Button},
        {[] {}, f.FATLesen_Button},
    };
    std::vector<Sicht> sichten;
    for (const auto& [stoerung, knopf] : schritte) {
        if (bSimulator) stoerung();
        k.Klick(knopf);
        if (!k.Leerlauf()) return {};
        sichten.push_back({k.Zeilen(), k.Boxen(), f.Statusabfrage_Panel->text().toStdString()});
    }
    return sichten;
}

}  // namespace

class MitschnittFenster : public QObject {
    Q_OBJECT
private slots:
    void wiedergabeZeigtDasGleiche();
    void signalSchliesstWieDerKnopf_data();
    void signalSchliesstWieDerKnopf();
};

void MitschnittFenster::wiedergabeZeigtDasGleiche() {
    TempDir ablage;
    const std::string datei = ablage.Path() + "/lauf.rec";
    std::vector<Sicht> aufgenommen;
    {
        KonsolenStart s;
        s.anzeigen = false;
        Konsole k(s);
        QCOMPARE(Mitschnitt::Prozess().Starten(datei, "mitschnitt_fenster_test"), std::string());
        k.Anzeigen();
        aufgenommen = Ablauf(k, true);
    }
    Mitschnitt::Prozess().Beenden();
    QCOMPARE(aufgenommen.size(), size_t(5));
    QCOMPARE(aufgenommen[2].boxen,
             (std::vector<std::string>{"Pelto-Befehle: ACK_ERROR", "Pelto-Befehle: WAIT_TIMEOUT"}));

    sim::ReplayController wiedergabe(sim::ReplayScript::FromFile(datei));
    wiedergabe.Start();
    KonsolenStart s;
    s.simulatoren = 0;
    s.anzeigen = false;
    Konsole k(s);
    ::setenv("PELTO_COM1", wiedergabe.DevicePath().c_str(), 1);
    k.Anzeigen();
    const std::vector<Sicht> wiedergegeben = Ablauf(k, false);
    QCOMPARE(wiedergegeben.size(), aufgenommen.size());
    for (size_t i = 0; i < aufgenommen.size(); ++i) {
        QCOMPARE(wiedergegeben[i].zeilen, aufgenommen[i].zeilen);
        QCOMPARE(wiedergegeben[i].boxen, aufgenommen[i].boxen);
        QCOMPARE(wiedergegeben[i].status, aufgenommen[i].status);
    }
    QCOMPARE(wiedergabe.Verdict(), std::string());
}

void MitschnittFenster::signalSchliesstWieDerKnopf_data() {
    QTest::addColumn<bool>("stumm");
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << false << SIGTERM;
    QTest::newRow("SIGHUP") << false << SIGHUP;
    // The set-up's box "Bitte die Schnittstelle überprüfen" is open then.
    QTest::newRow("SIGINT, Box offen") << true << SIGINT;
}

// A signal (a logout, a kill) ends the program as its exit button does,
// also while a box is open: the port is closed and the recording has its
// last line.
void MitschnittFenster::signalSchliesstWieDerKnopf() {
    QFETCH(bool, stumm);
    QFETCH(int, signal);
    TempDir ablage;
    const QString datei = QString::fromStdString(ablage.Path() + "/lauf.rec");
    sim::SimServer sim(SchnellesProfil());
    sim.Start();
    sim.SetSilent(stumm);
    QProcess programm;
    QProcessEnvironment umgebung = QProcessEnvironment::systemEnvironment();
    umgebung.insert("QT_QPA_PLATFORM", "offscreen");
    umgebung.insert("PELTO_COM1", QString::fromStdString(sim.DevicePath()));
    umgebung.insert("PELTO_RECORD", datei);
    programm.setProcessEnvironment(umgebung);
    programm.setWorkingDirectory(QString::fromStdString(ablage.Path()));
    programm.start(PELTO_BEFEHLE, {});
    QVERIFY(programm.waitForStarted());
    const auto Text = [&] {
        QFile f(datei);
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    };
    QTRY_VERIFY_WITH_TIMEOUT(Text().find(stumm ? "> <CR>" : "< @V ") != std::string::npos, 20000);
    if (stumm) QTest::qWait(1500);  // the set-up's tries are over, its box is open
    ::kill(static_cast<pid_t>(programm.processId()), signal);
    QVERIFY(programm.waitForFinished(10000));
    QCOMPARE(programm.exitStatus(), QProcess::NormalExit);
    QCOMPARE(programm.exitCode(), 0);
    QVERIFY2(Text().find("\n# close at ") != std::string::npos, Text().c_str());
}

QTEST_MAIN(MitschnittFenster)
#include "mitschnitt_fenster_test.moc"
