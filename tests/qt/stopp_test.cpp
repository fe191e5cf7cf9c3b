// Situations that once left a channel of the link dead until "Ini", the
// Stop button among them, through the real window, link and simulated
// controller.
#include <QLabel>
#include <QTest>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "common/fehler.h"
#include "support/konsole.h"

using namespace std::chrono_literals;

namespace {

void Datei(const std::string& name, const std::vector<std::string>& zeilen) {
    std::ofstream out(name, std::ios::binary);
    for (const auto& z : zeilen) out << z << "\r\n";
}

size_t Anzahl(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<size_t>(std::count(v.begin(), v.end(), s));
}

// The window's immediate buttons and queries all reach the controller and
// are answered: no box, each request once more at the controller.
void SofortKnoepfeGehen(Konsole& k) {
    TMainForm& f = k.Form();
    const auto vorher = k.Sim().Requests();
    const auto boxen = k.Boxen();
    f.Versionsabfrage_ButtonClick();
    f.Statusabfrage_ButtonClick();
    f.Positionsabfrage_ButtonClick();
    f.Reset_ButtonClick();
    f.Stoppen_ButtonClick();
    f.Anhalten_ButtonClick();
    QCOMPARE(k.Boxen(), boxen);
    const auto nachher = k.Sim().Requests();
    for (const char* a : {"@V\r", "@X\r", "@Lx\r", "@R\r", "@S\r", "@B\r"})
        QCOMPARE(Anzahl(nachher, a), Anzahl(vorher, a) + 1);
}

}  // namespace

class Stopp : public QObject {
    Q_OBJECT
private slots:
    void kopfzeileMitAt();
    void unverlangteAtAntwort();
    void endantwortEinesVerzoegertenSenders();
};

// A header line that begins with "@" could be served as an "@" request: the
// file is refused before anything goes out, and the "@" buttons work on.
void Stopp::kopfzeileMitAt() {
    Konsole k;
    Datei("header1.txt", {"@Kopf"});
    Datei("programm1.txt", {"T1", "A1,1"});
    const size_t vorher = k.Sim().Requests().size();
    k.Klick(k.Form().ProgrammSchreiben_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Zeilen().back(), std::string("### Programm 1 schreiben - Fehler ###"));
    QCOMPARE(k.Boxen().size(), size_t(1));
    QCOMPARE(k.Sim().Requests().size(), vorher);
    SofortKnoepfeGehen(k);
}

// A complete "@" reply nobody asked for is dropped, and the link reads on.
void Stopp::unverlangteAtAntwort() {
    Konsole k;
    k.Sim().InjectGarbage("@X 999999\x06");
    QTest::qWait(100);
    k.Form().Startgeschw_Edit->setText("200");
    k.Klick(k.Form().Startgeschw_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Boxen(), std::vector<std::string>{});
    QCOMPARE(k.Zeilen(), (std::vector<std::string>{"#S200<CR>", "<ACK>"}));
    const auto p = k.Protokoll();
    QVERIFY(std::find(p.begin(), p.end(), "keloCOM_thread->Execute() :: unerwartete Antwort verworfen: @X 999999<ACK>") !=
            p.end());
    SofortKnoepfeGehen(k);
    k.Klick(k.Form().Startgeschw_Button);
    QVERIFY(k.Leerlauf());
    QCOMPARE(k.Boxen(), std::vector<std::string>{});
}

// A sender delayed between a move's NAK and its wait still gets the final
// answer, though the operator asked for the status meanwhile.
void Stopp::endantwortEinesVerzoegertenSenders() {
    KonsolenStart s;
    s.sim.timeScale = 0.05;
    Konsole k(s);
    // A sender of its own beside the window's.
    const auto arbeiter = k.Link().Neuer_Absender();
    TkeloCOM& link = *arbeiter;
    std::promise<void> nak;
    auto fahrt = std::async(std::launch::async, [&] {
        link.SendReqWaitResp("L1,x100\r", 500);
        const std::string zwischen = link.Antwort();
        nak.set_value();
        std::this_thread::sleep_for(400ms);  // the final answer comes meanwhile
        link.WaitResp(2000);
        const std::string ende = link.Antwort();
        link.SendReqWaitResp("#S200\r", 500);
        return zwischen + "|" + ende + "|" + link.Antwort();
    });
    nak.get_future().wait();
    QTest::qWait(200);
    k.Form().Statusabfrage_ButtonClick();
    QCOMPARE(k.Boxen(), std::vector<std::string>{});
    QVERIFY(!k.Form().Statusabfrage_Panel->text().isEmpty() || QTest::qWaitFor([&] {
        return !k.Form().Statusabfrage_Panel->text().isEmpty();
    }));
    std::string ergebnis;
    try {
        ergebnis = fahrt.get();
    } catch (int& e) {
        ergebnis = "error " + std::to_string(e);
    }
    QCOMPARE(ergebnis, std::string("\x15|\x06|\x06"));
}

QTEST_MAIN(Stopp)
#include "stopp_test.moc"
