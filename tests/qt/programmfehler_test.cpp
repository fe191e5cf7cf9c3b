// Every reply that makes a program-memory routine fail, once each through
// the window, brought about by the simulator's own fault commands: the
// error code, the pane, the protocol log, what reached the controller, and
// that the next routine works on the same link without "Ini".
#include <QAbstractButton>
#include <QTest>

#include <variant>

#include "app/radio_group.h"
#include "common/fehler.h"
#include "sim/fault_command.h"
#include "support/konsole.h"

namespace {

const QColor kRotQ(255, 0, 0);
const std::string kHinweis =
    "Die Steuerung nimmt womöglich noch Programmtext an: \"Reset ausführen\" bringt sie zurück.";
const std::string kSchreibenFehler = "### Programm 3 schreiben - Fehler ###";

struct Zweig {
    const char* name;
    bool programm;       // slot 3 holds a program before, and still after
    const char* stoerung;  // the line typed into pelto-sim
    const char* knopf;
    int32_t code;
    std::vector<std::string> zeilen;     // the pane at the end
    std::vector<std::string> protokoll;  // lines the protocol log gains, the next routine's too
    std::string zuletzt;                 // the last request on the line
};

const std::vector<Zweig> kZweige = {
    {"Eroeffnung weder ACK noch E5", false, "rule 1 *PW3 0:453107", "ProgrammSchreiben_Button", COMMUNICATION_ERROR,
     {"*PW3<CR>", "E1<BEL>", kHinweis, kSchreibenFehler}, {}, "*PW3\r"},
    {"Headerende E8", false, "refuse stx 453807", "ProgrammSchreiben_Button", 1028,
     {"<STX>", "E8<BEL>", Fehlertext_holen(1028), kHinweis, kSchreibenFehler}, {}, "Header 3\x02"},
    {"Headerende anders", false, "refuse stx 453107", "ProgrammSchreiben_Button", COMMUNICATION_ERROR,
     {"<STX>", "E1<BEL>", kHinweis, kSchreibenFehler}, {}, "Header 3\x02"},
    {"ETX ohne ACK", false, "refuse etx 453407", "ProgrammSchreiben_Button", ACK_ERROR,
     {"<ETX>", "E4<BEL>", kSchreibenFehler}, {}, "\x03"},
    {"Lesen, falsches Echo", true, "rule 1 *PR3 0:2A5052340D", "ProgrammLesen_Button", COMMUNICATION_ERROR,
     {"*PR3<CR>", "*PR4<CR>", "### Programm 3 lesen - Fehler ###"}, {}, "*PR3\r"},
    {"Lesen endet vor dem ACK", true, "rule 1 *PR3 0:2A5052330D 5:486561646572203302", "ProgrammLesen_Button",
     WAIT_TIMEOUT_ERROR, {"*PR3<CR>", "Header 3<STX>", "### Programm 3 lesen - Fehler ###"},
     {"keloCOM->WaitResp() :: WAIT_TIMEOUT"}, "*PR3\r"},
    // After its NAK the final answer is owed all the same: it comes, and is
    // dropped instead of answering the next request.
    {"Loeschen, falsches Echo", true, "rule 1 *PE3 0:2A50453415 500:06", "ProgrammLoeschen_Button",
     COMMUNICATION_ERROR, {"*PE3<CR>", "*PE4<NAK>", "### Programm 3 löschen - Fehler ###"},
     {"keloCOM_thread->Execute() :: verspätete Antwort verworfen: <ACK>"}, "*PE3\r"},
    {"Loeschen, Endantwort anders", true, "rule 1 *PE3 0:2A50453315 20:453107", "ProgrammLoeschen_Button",
     COMMUNICATION_ERROR, {"*PE3<CR>", "E1<BEL>", "### Programm 3 löschen - Fehler ###"}, {}, "*PE3\r"},
    {"FAT, falsches Echo", true, "rule 1 *FR3 0:2A46523420302C302C302C3006", "FATLesen_Button", COMMUNICATION_ERROR,
     {"*FR3<CR>", "*FR4 0,0,0,0<ACK>", "### FAT 3 lesen - Fehler ###"}, {}, "*FR3\r"},
    {"Alle loeschen ohne NAK", true, "rule 1 *PEa 0:2A50456106", "ProgrammLoeschenAlle_Button", NAK_ERROR,
     {"*PEa<CR>", "*PEa<ACK>", "### alle Programme löschen - Fehler ###"}, {}, "*PEa\r"},
};

bool Ausfuehren(Konsole& k, const char* knopf) {
    k.Klick(k.Form().findChild<QAbstractButton*>(knopf));
    return k.Leerlauf();
}

// The last request the line carried since the counts given: a rule's, when
// the controller got none since, or the controller's.
std::string Zuletzt(Konsole& k, size_t anDieSteuerung, size_t anRegeln) {
    const auto steuerung = k.Sim().Requests();
    const auto regeln = k.Sim().RuledRequests();
    if (regeln.size() > anRegeln) return steuerung.size() == anDieSteuerung ? regeln.back() : "beide";
    return steuerung.size() > anDieSteuerung ? steuerung.back() : "";
}

std::vector<std::string> Ab(const std::vector<std::string>& v, size_t n) {
    return {v.begin() + std::min(n, v.size()), v.end()};
}

// The size of slot 3's files, on the same link: every exchange answered.
void GroesseGeht(Konsole& k) {
    const size_t boxen = k.Boxen().size(), vorher = k.Sim().Requests().size();
    QVERIFY(Ausfuehren(k, "ProgrammGroesseErmitteln_Button"));
    const auto zeilen = k.Zeilen();
    QCOMPARE(Ab(zeilen, zeilen.size() - 2),
             (std::vector<std::string>{"*PS 73<ACK>", "### Programmgröße 3 ermitteln - Ende ###"}));
    QCOMPARE(k.Boxen().size(), boxen);
    const auto anfragen = Ab(k.Sim().Requests(), vorher);
    QCOMPARE(anfragen.size(), size_t(13));
    QCOMPARE(anfragen.front(), std::string("*PS\r"));
    QCOMPARE(anfragen.back(), std::string("\x03"));
}

}  // namespace

class Programmfehler : public QObject {
    Q_OBJECT
private slots:
    void zweig_data();
    void zweig();
};

void Programmfehler::zweig_data() {
    QTest::addColumn<int>("i");
    for (size_t i = 0; i < kZweige.size(); ++i) QTest::newRow(kZweige[i].name) << int(i);
}

void Programmfehler::zweig() {
    QFETCH(int, i);
    const Zweig& z = kZweige.at(size_t(i));
    Konsole k;
    RadioGroup_SetItemIndex(k.Form().Programm_RadioGroup, 2);
    if (z.programm) QVERIFY(Ausfuehren(k, "ProgrammSchreiben_Button") && k.Sim().SlotOccupied(3));
    const size_t protokoll = k.Protokoll().size(), anDieSteuerung = k.Sim().Requests().size();

    const sim::FaultParse stoerung = sim::ParseFaultCommand(z.stoerung);
    QVERIFY(std::holds_alternative<sim::FaultCommand>(stoerung));
    sim::ApplyFaultCommand(k.Sim(), std::get<sim::FaultCommand>(stoerung));
    QVERIFY(Ausfuehren(k, z.knopf));

    QCOMPARE(k.Zeilen(), z.zeilen);
    if (z.code >= CONTROLLER_ERROR_BASE) {
        QVERIFY(k.Boxen().empty());
        QCOMPARE(k.Farben().at(2), kRotQ);
        QCOMPARE(k.Zeilen().at(2), std::string(Fehlertext_holen(z.code)));
    } else {
        QCOMPARE(k.Boxen(), std::vector<std::string>{std::string("Pelto-Befehle: ") + Fehlername_holen(z.code)});
    }
    // Nothing was sent after the failed exchange, and nothing was stored.
    QCOMPARE(Zuletzt(k, anDieSteuerung, 0), z.zuletzt);
    QCOMPARE(k.Sim().SlotOccupied(3), z.programm);

    // The link as it is, no "Ini": the protocol log gains no set-up.
    GroesseGeht(k);
    QCOMPARE(Ab(k.Protokoll(), protokoll), z.protokoll);
}

QTEST_MAIN(Programmfehler)
#include "programmfehler_test.moc"
