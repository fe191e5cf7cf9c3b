// Recording the line and playing a recording back: the file format, the
// recorder on the real link, and the replay's verdict on what the console sent.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "common/mitschnitt_zeile.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"
#include "link/mitschnitt.h"
#include "link/mitschnitt_datei.h"
#include "sim/raw_serial_client.h"
#include "sim/replay_controller.h"
#include "sim/replay_script.h"
#include "sim/sim_server.h"
#include "support/dialog_recorder.h"
#include "support/sim_profil.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Lesen(const std::string& pfad) {
    std::ifstream in(pfad, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Maske {
    std::string bytes, text;
};

TEST(MitschnittFormat, ShowsControlBytesByNameAndEscapesWhatWouldMislead) {
    const Maske faelle[] = {
        {"#S100\r", "#S100<CR>"},
        {"@V 1.0\x06", "@V 1.0<ACK>"},
        {"\x15\x07\x02\x03", "<NAK><BEL><STX><ETX>"},
        {std::string("\0\n\x1b\x7f", 4), "<NUL><LF><ESC><DEL>"},
        {"a<CR>", "a\\x3CCR>"},
        {"\\x41", "\\x5Cx41"},
        {"\xAB\xFF", "\\xAB\\xFF"},
        {"a b ", "a b\\x20"},
    };
    for (const Maske& f : faelle) {
        EXPECT_EQ(Mitschnitt_maskieren(f.bytes), f.text);
        std::string zurueck;
        ASSERT_TRUE(Mitschnitt_entmaskieren(f.text, zurueck)) << f.text;
        EXPECT_EQ(zurueck, f.bytes) << f.text;
    }
}

TEST(MitschnittFormat, ReadsLinesCommentsAndNamesWhatIsWrong) {
    const auto zeile = std::get<MitschnittZeile>(Mitschnitt_lesen("1234 < E1<BEL>\r"));
    EXPECT_EQ(zeile.ms, 1234);
    EXPECT_EQ(zeile.richtung, MitschnittZeile::Richtung::Empfangen);
    EXPECT_EQ(zeile.bytes, "E1\x07");
    EXPECT_EQ(zeile.Text(), "1234 < E1<BEL>");
    for (const char* kommentar : {"", "# open /dev/ttyUSB0 115200"})
        EXPECT_TRUE(std::holds_alternative<std::monostate>(Mitschnitt_lesen(kommentar))) << kommentar;
    for (const char* falsch : {"abc", "-5 > x", "12 * x", "12 >x", "12 > ", "12 > <FOO>", "12 > \\xZZ", "12 > <CR"})
        EXPECT_TRUE(std::holds_alternative<std::string>(Mitschnitt_lesen(falsch))) << falsch;
}

TEST(ReplayScript, TimesEachReplyFromItsRequest) {
    const auto script = sim::ReplayScript::FromText(
        "# run of test\n"
        "3 < <NAK>\n"          // before any request: with the first, at once
        "10 > <CR>\n"
        "11 < E1<BEL>\n"
        "20 > L1,x9<CR>@S<CR>\n"  // two requests in one piece
        "22 < <NAK>\n"
        "500 < @S<ACK>\n"
        "510 < <ACK>\n"
        "600 > H\n");  // no end: not a request
    const auto& e = script.Exchanges();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].request, "\r");
    ASSERT_EQ(e[0].replies.size(), 2u);
    EXPECT_EQ(e[0].replies[0].after, 0ms);
    EXPECT_EQ(e[0].replies[1].after, 1ms);
    EXPECT_TRUE(e[1].replies.empty());
    EXPECT_EQ(e[2].request, "@S\r");
    EXPECT_EQ(e[2].line, 5u);
    ASSERT_EQ(e[2].replies.size(), 3u);
    EXPECT_EQ(e[2].replies[2].after, 490ms);
    EXPECT_EQ(e[2].replies[2].bytes, "\x06");
    for (const char* keine : {"# run of x\n1 > a<CR>\nkaputt\n", "", "# nur Kommentare\n", "1 > a<CR>\n",
                              "# run of x\n99999999999999 < <ACK>\n", "# run of x\n1 > a<CR>\n# line gone at -1\n",
                              "# run of x\n1 > a<CR>\n# line gone at 9223372036854775807\n",
                              "# run of x\n1 > a<CR>\n# line gone\n", "# run of x\n# open /dev/x 9600 at 1e9\n"})
        EXPECT_THROW(sim::ReplayScript::FromText(keine), std::runtime_error) << keine;
}

// Only a regular file is read as a recording: a FIFO would block, a device
// never end.
TEST(ReplayScript, ReadsOnlyRegularFiles) {
    TempDir tmp;
    ASSERT_EQ(::mkfifo(tmp.File("fifo").c_str(), 0600), 0);
    std::ofstream(tmp.File("leer.rec")) << "";
    for (const std::string& pfad : {tmp.File("fifo"), tmp.Path(), std::string("/dev/zero"), tmp.File("leer.rec")})
        EXPECT_THROW(sim::ReplayScript::FromFile(pfad), std::runtime_error) << pfad;
}

// A disk that fills up ends the recording with its reason, not the run.
TEST(MitschnittDatei, AFullDiskIsSaid) {
    TempDir tmp;
    const pid_t kind = ::fork();
    ASSERT_GE(kind, 0);
    if (kind == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit grenze {64, 64};
        ::setrlimit(RLIMIT_FSIZE, &grenze);
        MitschnittDatei datei;
        const bool ok = datei.Oeffnen(tmp.File("voll.rec")).empty();
        datei.Schreiben({std::string(100, 'x')});
        datei.Schreiben({"danach"});
        ::_exit(ok && datei.Fehler() == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(kind, &status, 0), kind);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Lesen(tmp.File("voll.rec")).find("danach"), std::string::npos);
}

// The console's requests against a three-request recording: what the replay
// says about them.
struct Abweichung {
    const char* name;
    std::vector<std::string> anfragen;
    std::string urteil;      // empty: the recording exactly
    std::string antworten;  // all the console got: nothing after a difference
};

const char* const kAufnahme =
    "# run of test\n"
    "0 > <CR>\n"
    "1 < E1<BEL>\n"
    "5 > @V<CR>\n"
    "6 < @V 2.0<ACK>\n"
    "9 > #S200<CR>\n"
    "70 < <ACK>\n";
const std::string kZweiAntworten = "E1\x07@V 2.0\x06";

TEST(ReplayController, ReportsTheFirstRequestThatDiffers) {
    const Abweichung faelle[] = {
        {"exact", {"\r", "@V\r", "#S200\r"}, "", kZweiAntworten + "\x06"},
        {"other value", {"\r", "@V\r", "#S300\r"},
         "request 3 (line 6) differs: expected \"#S200<CR>\", received \"#S300<CR>\"", kZweiAntworten},
        {"other order", {"\r", "#S200\r", "@V\r"},
         "request 2 (line 4) differs: expected \"@V<CR>\", received \"#S200<CR>\"", "E1\x07"},
        {"one more", {"\r", "@V\r", "#S200\r", "@X\r"},
         "request 4 differs: expected the end of the recording, received \"@X<CR>\"", kZweiAntworten + "\x06"},
        {"one missing", {"\r", "@V\r"}, "request 3 (line 6) \"#S200<CR>\" never came", kZweiAntworten},
        {"header end", {"\r", "@V\r", "#S200\x02"},
         "request 3 (line 6) differs: expected \"#S200<CR>\", received \"#S200<STX>\"", kZweiAntworten},
    };
    for (const Abweichung& f : faelle) {
        SCOPED_TRACE(f.name);
        sim::ReplayController replay(sim::ReplayScript::FromText(kAufnahme));
        replay.Start();
        sim::RawSerialClient konsole(replay.DevicePath());
        for (const std::string& a : f.anfragen) {
            konsole.Send(a);
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_EQ(konsole.ReadFor(200ms), f.antworten);
        EXPECT_EQ(replay.Verdict(), f.urteil);
    }
}

TEST(ReplayController, AnswersWithTheRecordedBytesNoEarlierThanRecorded) {
    sim::ReplayController replay(sim::ReplayScript::FromText(kAufnahme));
    replay.Start();
    sim::RawSerialClient konsole(replay.DevicePath());
    EXPECT_EQ(konsole.Ask("\r"), "E1\x07");
    EXPECT_EQ(konsole.Ask("@V\r"), "@V 2.0\x06");
    const auto t0 = Clock::now();
    EXPECT_EQ(konsole.Ask("#S200\r"), "\x06");
    EXPECT_GE(Clock::now() - t0, 55ms);
    EXPECT_EQ(replay.Verdict(), "");
    EXPECT_EQ(replay.Progress(), "request 3 of 3");
}

class MitschnittLink : public ::testing::Test {
protected:
    void SetUp() override {
        Protokolldatei_Ordner_setzen(tmp_.Path());
        sim_.Start();
    }
    void TearDown() override {
        Mitschnitt::Prozess().Beenden();
        Protokolldatei_Ordner_setzen("");
    }

    TempDir tmp_;
    DialogRecorder dialogs_;
    sim::SimServer sim_{SchnellesProfil()};
};

// Every byte each way, in order, and nothing sent that would not be sent
// without the recording.
TEST_F(MitschnittLink, RecordsEveryByteBothWays) {
    const std::string pfad = tmp_.File("lauf.rec");
    ASSERT_EQ(Mitschnitt::Prozess().Starten(pfad, "test"), "");
    {
        TkeloCOM com;
        com.Init(sim_.DevicePath(), 115200);
        ASSERT_TRUE(com.Connect());
        char version[64];
        com.Version_abfragen(version, sizeof version);
        com.Startgeschwindigkeit_einstellen(200);
        com.xyzVektor_fahren(1, 1, 300, 0, 0);
        com.WaitResp(10000);
        com.UnInit();
    }
    Mitschnitt::Prozess().Beenden();
    const std::string text = Lesen(pfad);
    EXPECT_EQ(text.rfind("# run of test, ", 0), 0u) << text;
    EXPECT_NE(text.find("# open " + sim_.DevicePath() + " 115200 at "), std::string::npos) << text;
    std::string gesendet, empfangen;
    std::istringstream zeilen(text);
    for (std::string z; std::getline(zeilen, z);) {
        const MitschnittLesung lesung = Mitschnitt_lesen(z);
        if (const auto* l = std::get_if<MitschnittZeile>(&lesung))
            (l->richtung == MitschnittZeile::Richtung::Gesendet ? gesendet : empfangen) += l->bytes;
    }
    std::string anfragen;
    for (const std::string& r : sim_.Requests()) anfragen += r;
    EXPECT_EQ(gesendet, anfragen);
    EXPECT_EQ(empfangen, sim_.Written());
    EXPECT_NE(text.find(" < <NAK>\n"), std::string::npos) << text;
}

TEST_F(MitschnittLink, AFileThatCannotBeWrittenIsSaidOnceAndRecordsNothing) {
    // A FIFO with no reader would block the start; a second run into the
    // same file would mix its lines with the first's.
    ASSERT_EQ(::mkfifo(tmp_.File("fifo").c_str(), 0600), 0);
    Mitschnitt erster;
    ASSERT_EQ(erster.Starten(tmp_.File("belegt.rec"), "erster"), "");
    const std::pair<std::string, std::string> faelle[] = {
        {tmp_.File("fehlt/lauf.rec"), "No such file or directory"},
        {tmp_.File("fifo"), "not a regular file"},
        {tmp_.Path(), "Is a directory"},
        {"/dev/null", "not a regular file"},
        {tmp_.File("belegt.rec"), "another run is recording into it"},
    };
    for (const auto& [pfad, erwartet] : faelle) {
        EXPECT_EQ(Mitschnitt::Prozess().Starten(pfad, "test"), erwartet) << pfad;
        EXPECT_FALSE(Mitschnitt::Prozess().Laeuft());
    }
    TkeloCOM com;
    com.Init(sim_.DevicePath(), 115200);
    EXPECT_TRUE(com.Connect());
}

// A run cut short (a full disk) left half a line: the next run begins on a
// line of its own, and a line break in the arguments stays in its comment.
TEST_F(MitschnittLink, EachRunBeginsOnALineOfItsOwn) {
    const std::string pfad = tmp_.File("lauf.rec");
    std::ofstream(pfad) << "# run of pelto\n0 > A1";
    ASSERT_EQ(Mitschnitt::Prozess().Starten(pfad, "pelto run a\nb\r5 > @V<CR>"), "");
    EXPECT_EQ(Mitschnitt::Prozess().Beenden(), "");
    std::istringstream zeilen(Lesen(pfad));
    std::vector<std::string> z;
    for (std::string zeile; std::getline(zeilen, zeile);) z.push_back(zeile);
    ASSERT_EQ(z.size(), 3u);
    EXPECT_EQ(z[1], "0 > A1");
    EXPECT_EQ(z[2].rfind("# run of pelto run a<LF>b<CR>5 > @V<CR>, ", 0), 0u) << z[2];
}

}  // namespace
