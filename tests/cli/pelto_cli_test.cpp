// pelto as a process against the simulated controller on a pseudo-terminal:
// every command, --json read back with jq, the exit statuses, the bad-input
// list, and Ctrl-C or SIGTERM while something runs.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "pelto_cli_fixture.h"

namespace {

using namespace std::chrono_literals;

void Programmdateien(const std::function<void(const std::string&, const std::string&)>& datei) {
    datei("prog.txt", "A1,1\r\n#S200  \r\n' comment\r\n\r\nL1,x200\r\n");
    datei("kopf.txt", "Kopf\r\n");
}

struct Schritt {
    Args args;
    int status;
    std::string aus;      // regex over standard output
    std::string anfrage;  // the controller must have got this request
};

TEST_F(PeltoCli, EveryCommand) {
    Programmdateien([this](auto& n, auto& i) { Datei(n, i); });
    Datei("befehle.txt", "#S300\r\n/ nothing\r\nW100\r\nL1,y50\r\n");
    const std::string kopf = std::regex_replace(sim_->DevicePath(), std::regex("/"), "\\/") + " 115200 ist initialisiert!\n";
    const std::string PW3 = std::regex_replace(Eroeffnungsantwort("*PW3"), std::regex("\\*"), "\\*");
    const Schritt schritte[] = {
        {{"version"}, 0, kopf + "@V<CR>\n@V Pelto-Sim 1\\.0<ACK>\n", "@V\r"},
        {{"--quiet", "version"}, 0, "Pelto-Sim 1\\.0\n", "@V\r"},
        {{"--quiet", "status"}, 0, "[^\n]{6}\n", "@X\r"},
        {{"--quiet", "position", "x"}, 0, "0\n", "@Lx\r"},
        {{"--quiet", "position", "u"}, 0, "0\n", "@Lu\r"},
        {{"write", "3", "prog.txt", "kopf.txt"}, 0,
         kopf + "### Programm 3 schreiben ###\n\\*PW3<CR>\n" + PW3 + "\nKopf\n<STX>\n<ACK>\nT1<CR>\n<ACK>\n"
                "A1,1<CR>\n<ACK>\n#S200<CR>\n<ACK>\nL1,x200<CR>\n<ACK>\n<ETX>\n<ACK>\n"
                "### Programm 3 schreiben - Ende ###\n",
         "\x03"},
        {{"--quiet", "read", "3"}, 0, "Kopf\nT1\nA1,1\n#S200\nL1,x200\n", "*PR3\r"},
        {{"--quiet", "read", "3", "--header"}, 0, "Kopf\n", "*PR3H\r"},
        {{"--quiet", "size", "prog.txt", "kopf.txt"}, 0, "\\*PS 23\n", "\x03"},
        {{"--quiet", "fat", "3"}, 0, "\\*FR3 1,4,22,4\n", "*FR3\r"},
        {{"--quiet", "fat"}, 0, "\\*FRa 1=0[^\n]*\n(\\d=[^\n]*\n){6}", "*FRa\r"},
        {{"delete", "3"}, 0, "[^]*### Programm 3 löschen - Ende ###\n", "*PE3\r"},
        {{"read", "3"}, 1, "[^]*\\*PR3<CR>\nE3<BEL>\n### Programm 3 lesen - Fehler ###\n", "*PR3\r"},
        {{"send", "*PE3", "A1,1"}, 1, kopf + "\\*PE3<CR>\n\\*PE3<NAK>\nE3<BEL>\nA1,1<CR>\n<ACK>\n", "A1,1\r"},
        {{"delete", "all"}, 0, "[^]*\\*PEa<NAK>\n<ACK>\n[^]*", "*PEa\r"},
        {{"send", "#S200", "W100", "L1,x100"}, 0, kopf + "#S200<CR>\n<ACK>\nW100<CR>\n<NAK>\n<ACK>\nL1,x100<CR>\n<NAK>\n<ACK>\n",
         "L1,x100\r"},
        {{"run", "befehle.txt"}, 0,
         kopf + "### befehle.txt übertragen ###\n#S300<CR>\n<ACK>\nW100<CR>\n<NAK>\n<ACK>\nL1,y50<CR>\n<NAK>\n<ACK>\n"
                "### befehle.txt übertragen ### - Ende\n",
         "L1,y50\r"},
        {{"--quiet", "position", "y"}, 0, "50\n", "@Ly\r"},
        {{"output", "2", "on"}, 0, kopf + "A2,1<CR>\n<ACK>\n", "A2,1\r"},
        {{"output", "1", "off", "--watchdog"}, 0, kopf + "WD,0<CR>\n<ACK>\n", "WD,0\r"},
        {{"output", "3", "on", "--i2c"}, 0, kopf + "I2C-A3,1<CR>\n<ACK>\n", "I2C-A3,1\r"},
        {{"--quiet", "input", "all"}, 0, "@IG [01]{4}\n", "@IG\r"},
        {{"move", "100", "-20", "0"}, 0, kopf + "L1,x100,y-20<CR>\n<NAK>\n<ACK>\n", "L1,x100,y-20\r"},
        {{"move", "5", "5", "5", "--absolute"}, 0, kopf + "L1,X5,Y5,Z5<CR>\n<NAK>\n<ACK>\n", "L1,X5,Y5,Z5\r"},
        {{"reset"}, 0, kopf + "@R<CR>\n@RS<ACK>\n", "@R\r"},
        {{"stop"}, 0, kopf + "@S<CR>\n@RS<ACK>\n", "@S\r"},
        {{"halt"}, 0, kopf + "@B<CR>\n@B<ACK>\n", "@B\r"},
    };
    for (const Schritt& s : schritte) {
        const auto e = Pelto(s.args);
        const std::string wie = s.args.back() + "\n" + e.aus + e.fehler;
        EXPECT_EQ(e.status, s.status) << wie;
        EXPECT_TRUE(std::regex_match(e.aus, std::regex(s.aus))) << wie;
        EXPECT_EQ(Anfragen().back(), s.anfrage) << wie;
    }
}

TEST_F(PeltoCli, JsonIsOneObjectPerExchangeAndAnOutcome) {
    auto e = Pelto({"--json", "send", "#S200", "W100", "XYZ"});
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(Jq(e.aus, ".[:-1][] | [.request, .reply, (.ms | type), .final, .error] | @tsv"),
              "#S200<CR>\t<ACK>\tnumber\t\t\n"
              "W100<CR>\t<NAK>\tnumber\t\t\n"
              "W100<CR>\t<ACK>\tnumber\ttrue\t\n"
              "XYZ<CR>\tE1<BEL>\tnumber\t\tE1\n");
    EXPECT_EQ(Jq(e.aus, ".[-1] | [.outcome, .exit, .error, .code] | @tsv"), "error\t1\tE1\t1021\n");

    e = Pelto({"--json", "read", "5"});
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(Jq(e.aus, "map(select(.error)) | map([.request, .reply, .error] | @tsv) | .[]"),
              "*PR5<CR>\tE3<BEL>\tE3\n\t\tE3\n");

    e = Pelto({"--json", "version"});
    EXPECT_EQ(Jq(e.aus, ".[-1] | [.outcome, .exit, .result[0]] | @tsv"), "ok\t0\tPelto-Sim 1.0\n");
    EXPECT_EQ(Jq(e.aus, ".[0].ms < 64"), "true\n");

    // A reply that comes too late: the exchange names the error, without
    // the reply before it.
    sim_->SetTimeScale(1.0);
    PeltoProzess p({"--port", sim_->DevicePath(), "--json", "send", "W300", "#S200"}, tmp_.Path());
    while (Anfragen().back() != "W300\r") std::this_thread::sleep_for(1ms);
    sim_->SetLate(400ms);
    e = p.Warten();
    EXPECT_EQ(e.status, 2) << e.fehler;
    EXPECT_EQ(Jq(e.aus, "map([.request, .reply, .error] | @tsv) | .[-2:][]"),
              "#S200<CR>\t\tWAIT_TIMEOUT\n\t\tWAIT_TIMEOUT\n");
}

struct Fall {
    const char* name;
    Args args;
    int status;
    std::string fehler;  // regex searched in standard error
};

// Nothing of a bad call, nor of a file that cannot be sent, reaches the line.
TEST_F(PeltoCli, BadInputSendsNothing) {
    Programmdateien([this](auto& n, auto& i) { Datei(n, i); });
    Datei("lang.txt", "A1,1\r\n" + std::string(127, 'x') + "\r\n");
    Datei("nul.txt", std::string("A1,1\r\nA2", 8) + '\0' + ",1\r\n");
    const Fall faelle[] = {
        {"unknown command", {"fly"}, 64, "unknown command 'fly'"},
        {"no command", {}, 64, "no command given"},
        {"unknown option", {"--fast", "version"}, 64, "unknown option '--fast'"},
        {"slot 0", {"read", "0"}, 64, "slot '0' is not 1-7"},
        {"slot 8", {"write", "8", "prog.txt", "kopf.txt"}, 64, "slot '8' is not 1-7"},
        {"slot word", {"delete", "three"}, 64, "slot 'three' is not 1-7 or all"},
        {"slot for fat", {"fat", "-1"}, 64, "slot '-1' is not 1-7 or all"},
        {"axis", {"position", "w"}, 64, "axis 'w' does not exist"},
        {"axis missing", {"position"}, 64, "wrong number of arguments"},
        {"extra argument", {"version", "now"}, 64, "wrong number of arguments"},
        {"long request", {"send", "A1,1", std::string(127, 'L')}, 64, "127 characters long \\(126 allowed\\)"},
        {"baud", {"--baud", "fast", "version"}, 64, "baud rate 'fast'"},
        {"port", {"--port", "LPT1", "version"}, 64, "port 'LPT1' is neither"},
        {"missing file", {"run", "fehlt.txt"}, 3, "Die Datei 'fehlt.txt' kann nicht gefunden werden!"},
        {"missing header", {"write", "1", "prog.txt", "fehlt.txt"}, 3, "'fehlt.txt' kann nicht gefunden"},
        {"missing program", {"size", "fehlt.txt", "kopf.txt"}, 3, "'fehlt.txt' kann nicht gefunden"},
        {"line too long", {"run", "lang.txt"}, 3, "Zeile 2 der Datei 'lang.txt' ist 127 Zeichen lang"},
        {"NUL", {"write", "2", "nul.txt", "kopf.txt"}, 3, "Zeile 2 der Datei 'nul.txt' enthält ein NUL-Zeichen"},
        {"folder", {"run", "."}, 3, "'\\.'"},
        {"output number", {"output", "5", "on"}, 64, "output '5' is not 1-4"},
        {"output state", {"output", "2", "an"}, 64, "'an' is neither on nor off"},
        {"watchdog elsewhere", {"output", "2", "on", "--watchdog"}, 64, "--watchdog is an option of 'output 1' only"},
        {"input", {"input", "G"}, 64, "input 'G' is not 0-9, A-F or all"},
        {"move component", {"move", "1", "2", "x"}, 64, "move component 'x' is not a whole number"},
        {"move overflow", {"move", "1", "2", "99999999999"}, 64, "'99999999999' is not a whole number"},
        {"absolute elsewhere", {"--absolute", "version"}, 64, "--absolute is an option of 'move' only"},
    };
    for (const Fall& f : faelle) {
        const auto e = Pelto(f.args);
        EXPECT_EQ(e.status, f.status) << f.name << "\n" << e.fehler;
        EXPECT_TRUE(std::regex_search(e.fehler, std::regex(f.fehler))) << f.name << "\n" << e.fehler;
        EXPECT_EQ(e.aus, "") << f.name;
    }
    EXPECT_TRUE(sim_->Requests().empty());
}

TEST_F(PeltoCli, ConsolePortNamesAndLinkErrors) {
    setenv("PELTO_COM5", sim_->DevicePath().c_str(), 1);
    auto e = PeltoProzess::Lauf({"--port", "com5", "--quiet", "version"}, tmp_.Path());
    unsetenv("PELTO_COM5");
    EXPECT_EQ(e.status, 0) << e.fehler;
    EXPECT_EQ(e.aus, "Pelto-Sim 1.0\n");

    e = PeltoProzess::Lauf({"--port", tmp_.File("kein-geraet"), "version"}, tmp_.Path());
    EXPECT_EQ(e.status, 2);
    EXPECT_NE(e.fehler.find("HANDLE_COM_PORT_ERROR (1002)"), std::string::npos) << e.fehler;

    sim_->SetSilent(true);
    e = Pelto({"version"});
    EXPECT_EQ(e.status, 2);
    EXPECT_NE(e.fehler.find("Bitte die Schnittstelle"), std::string::npos) << e.fehler;
    EXPECT_NE(e.fehler.find("WAIT_TIMEOUT (1012)"), std::string::npos) << e.fehler;
}

struct Unterbrechung {
    const char* name;
    Args args;
    int signal, anzahl;
    std::size_t nachAnfragen;  // signalled once the controller has this many
};

// The stop goes out before anything else; nothing follows it on the line.
TEST_F(PeltoCli, InterruptStopsTheAxesFirst) {
    Starten(1.0);
    std::string gross;
    for (int i = 0; i < 4000; ++i) gross += "L1,x" + std::to_string(i % 50 + 1) + "\r\n";
    Datei("gross.txt", gross);
    Programmdateien([this](auto& n, auto& i) { Datei(n, i); });
    Datei("fahrt.txt", "L1,x900000\r\nA1,1\r\nA2,1\r\n");
    const Unterbrechung faelle[] = {
        {"move", {"send", "L1,x900000", "A1,1"}, SIGINT, 1, 1},
        {"move, twice", {"send", "L1,x900000"}, SIGINT, 2, 1},
        {"wait", {"send", "W60000"}, SIGTERM, 1, 1},
        {"reference run", {"send", "L1,x2000", "$Hx"}, SIGHUP, 1, 2},
        {"command file", {"run", "fahrt.txt"}, SIGINT, 1, 1},
        {"program write", {"write", "2", "gross.txt", "kopf.txt"}, SIGINT, 2, 100},
    };
    for (const Unterbrechung& f : faelle) {
        const std::size_t vorher = Anfragen().size();
        std::vector<std::string> args = f.args;
        args.insert(args.begin(), {"--port", sim_->DevicePath()});
        PeltoProzess p(args, tmp_.Path());
        const auto frist = std::chrono::steady_clock::now() + 5s;
        while (Anfragen().size() < vorher + f.nachAnfragen && std::chrono::steady_clock::now() < frist)
            std::this_thread::sleep_for(1ms);
        for (int i = 0; i < f.anzahl; ++i) p.Signal(f.signal);
        const auto beginn = std::chrono::steady_clock::now();
        const auto e = p.Warten();
        EXPECT_LT(std::chrono::steady_clock::now() - beginn, 1500ms) << f.name;
        EXPECT_EQ(e.status, 130) << f.name << "\n" << e.fehler;
        // Amid program text a stop would be text to some controllers: none is sent.
        const bool bText = f.args[0] == std::string("write");
        EXPECT_EQ(Anfragen().back() == "@S\r", !bText) << f.name;
        EXPECT_EQ(e.fehler.find("may still be taking program text") != std::string::npos, bText) << f.name;
        EXPECT_NE(e.fehler.find("interrupted"), std::string::npos) << f.name;
        EXPECT_FALSE(sim_->SlotOccupied(2)) << f.name;
        Pelto({"reset"});
    }
}

}  // namespace

// "@" and control bytes inside header and program lines are text: a
// controller that keeps stored text as sent stores them, and they read back
// unchanged.
TEST_F(PeltoCli, AtAndControlBytesInsideLinesReadBackUnchanged) {
    sim::SimOptions o = Suitenprofil();
    o.timeScale = 0.02;
    o.strict.opaqueText = true;
    sim_ = std::make_unique<sim::SimServer>(o);
    sim_->Start();
    const std::string kopf = "K@pf\x04\tEnde@";
    const std::vector<std::string> zeilen {"A1,1", "M@IL\x01\x1b" "X", "L1,x@1\x7f"};
    Datei("h.txt", kopf + "\r\n");
    Datei("p.txt", zeilen[0] + "\r\n" + zeilen[1] + "\r\n" + zeilen[2] + "\r\n");
    const auto w = Pelto({"write", "1", "p.txt", "h.txt"});
    ASSERT_EQ(w.status, 0) << w.fehler;
    EXPECT_EQ(sim_->Slot(1).header, kopf);
    EXPECT_EQ(sim_->Slot(1).body, (std::vector<std::string> {"T1", zeilen[0], zeilen[1], zeilen[2]}));
    const auto r = Pelto({"--quiet", "read", "1"});
    EXPECT_EQ(r.status, 0) << r.fehler;
    EXPECT_EQ(r.aus, kopf + "\nT1\n" + zeilen[0] + "\n" + zeilen[1] + "\n" + zeilen[2] + "\n");
    const auto h = Pelto({"--quiet", "read", "1", "--header"});
    EXPECT_EQ(h.aus, kopf + "\n");
}
