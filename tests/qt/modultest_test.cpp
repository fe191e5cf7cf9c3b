// The module self-test: its exact command sequence, pane and protocol log,
// and its failure path.
#include <QPushButton>
#include <QTest>

#include "support/konsole.h"

namespace {

const QColor kSchwarzQ(0, 0, 0), kBlauQ(0, 0, 255), kGrauQ(128, 128, 128);
const std::string kTrennlinie(28, '-');
constexpr size_t kStartAnfragen = 2;  // sent by the start-up set-up

std::vector<std::string> Neue(Konsole& k) {
    const auto alle = k.Sim().Requests();
    return {alle.begin() + static_cast<long>(std::min(alle.size(), kStartAnfragen)), alle.end()};
}

template <typename T>
std::vector<T> Ab(const std::vector<T>& v, size_t n) {
    return {v.begin() + static_cast<long>(std::min(v.size(), n)), v.end()};
}

KonsolenStart Kelo(double zeitmass) {
    KonsolenStart s;
    s.optionen = {"/KELO"};
    s.sim.timeScale = zeitmass;
    return s;
}

const std::vector<std::string> kAblauf = {
    "@R\r",    "@V\r",    "@X\r",     "T0\r",     "FH0\r",    "T1\r",     "#S200\r",  "#R100\r",
    "#E1,400\r", "W0\r",  "W123\r",   "A1,1\r",   "A1,0\r",   "A2,1\r",   "A2,0\r",   "A3,1\r",
    "A3,0\r",  "A4,1\r",  "A4,0\r",   "@Lx\r",    "@Ly\r",    "@Lz\r",    "@Lu\r",    "L1,x20\r",
    "L1,y40\r", "L1,z60\r", "L1,u80\r", "@Lx\r",  "@Ly\r",    "@Lz\r",    "@Lu\r",
};

}  // namespace

class ModulTest : public QObject {
    Q_OBJECT
private slots:
    void vollstaendigerLauf();
    void wartezeitKommtZuSpaet();
};

void ModulTest::vollstaendigerLauf() {
    Konsole k(Kelo(0.05));
    TMainForm& f = k.Form();
    const size_t protokollVorher = k.Protokoll().size();
    k.Klick(f.ModulTest_Button);
    QVERIFY(k.Leerlauf(30000));
    QCOMPARE(Neue(k), kAblauf);
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"ModulTest - Start", "ModulTest - Ende"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kGrauQ, kGrauQ}));
    QCOMPARE(Ab(k.Protokoll(), protokollVorher),
             (std::vector<std::string>{kTrennlinie, "Funktionsüberprüfung Quandro", "", "keloCOM->Version_abfragen()",
                                       "", "", "", kTrennlinie}));
    QCOMPARE(k.Sim().Position('x'), int64_t(20));
    QCOMPARE(k.Sim().Position('u'), int64_t(80));  // with or without "/UACHSE"
    QVERIFY(k.Boxen().empty());
}

void ModulTest::wartezeitKommtZuSpaet() {
    // Four times the device time: W123 ends after about 490 ms, not 246.
    Konsole k(Kelo(4.0));
    TMainForm& f = k.Form();
    const size_t protokollVorher = k.Protokoll().size();
    k.Klick(f.ModulTest_Button);
    QVERIFY(k.Leerlauf(30000));
    const std::vector<std::string> bisW123(kAblauf.begin(), kAblauf.begin() + 11);
    QCOMPARE(Neue(k), bisW123);
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"W123<CR>", "<NAK>"}));
    QCOMPARE(k.Farben(), (std::vector<QColor>{kSchwarzQ, kBlauQ}));
    QCOMPARE(k.Boxen(), std::vector<std::string>{"Pelto-Befehle: WAIT_TIMEOUT"});
    QCOMPARE(Ab(k.Protokoll(), protokollVorher),
             (std::vector<std::string>{kTrennlinie, "Funktionsüberprüfung Quandro", "", "keloCOM->Version_abfragen()",
                                       "keloCOM->WaitResp() :: WAIT_TIMEOUT", "Exception->iFehler=1012"}));
}

QTEST_MAIN(ModulTest)
#include "modultest_test.moc"
