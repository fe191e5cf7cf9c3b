// pelto on a production line and in scripts: options anywhere, the port
// list, open errors that say why, progress on a terminal, and the module
// test with its JSON and JUnit reports, judged by what reached the
// simulated controller and by jq and xmllint.
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "cli/ausgabekanal.h"
#include "cli/fortschritt.h"
#include "cli/ports_befehl.h"
#include "common/schnittstellen_info.h"
#include "pelto_cli_fixture.h"

namespace {

using Start = PeltoProzess::Start;
using Kanal = PeltoProzess::Kanal;

class PeltoLinie : public PeltoCli {
protected:
    // The requests since the connection check, each with its CR.
    std::vector<std::string> Seit(std::size_t vorher) const {
        const auto a = Anfragen();
        return {a.begin() + static_cast<long>(std::min(vorher, a.size())), a.end()};
    }

    // The value of an XPath expression over the JUnit report.
    std::string Xml(const std::string& xpath) {
        std::string wert = Werkzeug("xmllint --xpath '" + xpath + "' " + tmp_.File("r.xml"), xpath);
        if (!wert.empty() && wert.back() == '\n') wert.pop_back();
        return wert;
    }
};

// What the window's "Modul-Test" sends, in order.
std::vector<std::string> Modultest_Anfragen() {
    std::vector<std::string> a = {"@R", "@V", "@X", "T0", "FH0", "T1", "#S200", "#R100", "#E1,400", "W0", "W123"};
    for (char nr : {'1', '2', '3', '4'})
        for (char wert : {'1', '0'}) a.push_back(std::string("A") + nr + "," + wert);
    const std::vector<std::string> positionen = {"@Lx", "@Ly", "@Lz", "@Lu"};
    a.insert(a.end(), positionen.begin(), positionen.end());
    for (const char* fahrt : {"L1,x20", "L1,y40", "L1,z60", "L1,u80"}) a.push_back(fahrt);
    a.insert(a.end(), positionen.begin(), positionen.end());
    for (std::string& r : a) r += '\r';
    return a;
}

std::vector<std::string> Zeilen(const std::string& text) {
    std::vector<std::string> z;
    std::istringstream in(text);
    for (std::string zeile; std::getline(in, zeile);) z.push_back(zeile);
    return z;
}

struct Aufrufart {
    const char* name;
    Args args;
    int status;
    std::string fehler;   // regex searched in standard error
    std::string anfrage;  // the last request the controller got; empty: none at all
};

TEST_F(PeltoLinie, OptionsGoAnywhereAndDoubleDashEndsThem) {
    const Aufrufart faelle[] = {
        {"quiet after the command", {"version", "--quiet"}, 0, "^$", "@V\r"},
        {"json after the argument", {"fat", "all", "--json"}, 0, "^$", "*FRa\r"},
        {"header before the command", {"--header", "read", "1"}, 1, "E3", "*PR1H\r"},
        {"header after the slot", {"read", "1", "--header"}, 1, "E3", "*PR1H\r"},
        {"value with =", {"send", "#S200", "--baud=115200"}, 0, "^$", "#S200\r"},
        {"a request that looks like an option", {"send", "--", "-x"}, 1, "E1", "-x\r"},
        {"an option's name as a request", {"--quiet", "send", "A1,1", "--", "--json"}, 1, "E1", "--json\r"},
        {"negative slot is a word", {"read", "-3"}, 64, "slot '-3' is not 1-7", ""},
        {"unknown option after the command", {"send", "-x"}, 64, "unknown option '-x'", ""},
        {"header for another command", {"version", "--header"}, 64, "--header is an option of 'read' only", ""},
        {"junit for another command", {"fat", "--junit", "r.xml"}, 64, "--junit is an option of 'modultest' only", ""},
        {"junit without its file", {"modultest", "--junit"}, 64, "--junit needs a value", ""},
    };
    for (const Aufrufart& f : faelle) {
        SCOPED_TRACE(f.name);
        Starten(0.02);
        const auto e = Pelto(f.args);
        EXPECT_EQ(e.status, f.status) << e.fehler;
        EXPECT_TRUE(std::regex_search(e.fehler, std::regex(f.fehler))) << e.fehler;
        if (f.anfrage.empty())
            EXPECT_EQ(sim_->LineBytes().in, 0u);
        else
            EXPECT_EQ(Anfragen().back(), f.anfrage);
    }
    // JSON wherever --json stands.
    const auto e = Pelto({"fat", "all", "--json"});
    EXPECT_EQ(Jq(e.aus, ".[-1].outcome"), "ok\n");
}

TEST_F(PeltoLinie, ModultestSendsWhatTheWindowSends) {
    const std::size_t vorher = Anfragen().size();
    auto e = Pelto({"modultest"});
    EXPECT_EQ(e.status, 0) << e.fehler;
    EXPECT_EQ(Seit(vorher), Modultest_Anfragen());
    EXPECT_EQ(sim_->Position('x'), 20);
    EXPECT_EQ(sim_->Position('u'), 80);
    const auto zeilen = Zeilen(e.aus);
    ASSERT_EQ(zeilen.size(), 34u) << e.aus;
    EXPECT_EQ(zeilen[1], "ModulTest - Start");
    EXPECT_EQ(zeilen.back(), "ModulTest - Ende");
    EXPECT_TRUE(std::regex_match(zeilen[12], std::regex("11 passed Wartezeit_einfuegen W123<CR> -> <ACK> [0-9.]+ ms")))
        << zeilen[12];
    for (std::size_t i = 2; i < 33; ++i) EXPECT_TRUE(std::regex_search(zeilen[i], std::regex("^\\d\\d passed "))) << zeilen[i];

    // JSON and JUnit of the same run.
    const std::size_t vorJson = Anfragen().size();
    e = Pelto({"modultest", "--json", "--junit", "r.xml"});
    EXPECT_EQ(e.status, 0) << e.fehler;
    std::string erwartet;
    for (const std::string& a : Seit(vorJson)) erwartet += a.substr(0, a.size() - 1) + "<CR>\n";
    EXPECT_EQ(Jq(e.aus, "map(select(.step)) | map(.request)[]"), erwartet);
    EXPECT_EQ(Jq(e.aus, "map(select(.step)) | [length, (map(.outcome) | unique[]), (map(.ms | type) | unique[])] | @tsv"),
              "31\tpassed\tnumber\n");
    EXPECT_EQ(Jq(e.aus, ".[-1] | [.outcome, .exit] | @tsv"), "ok\t0\n");
    Werkzeug("xmllint --noout " + tmp_.File("r.xml"), "JUnit report");
    EXPECT_EQ(Xml("count(//testsuite/testcase)"), "31");
    EXPECT_EQ(Xml("count(//failure|//skipped)"), "0");
    EXPECT_EQ(Xml("string(//testcase[2]/@name)"), "02 Version_abfragen");
    EXPECT_EQ(Xml("string(//testcase[2]/system-out)"), "request: @V<CR>\nreply: @V Pelto-Sim 1.0<ACK>");
}

TEST_F(PeltoLinie, ModultestEndsAtTheFirstFailureAndSkipsTheRest) {
    // Four times the device time: W123 ends after about 490 ms, not 246.
    Starten(4.0);
    const std::size_t vorher = Anfragen().size();
    auto e = Pelto({"modultest", "--junit", "r.xml"});
    EXPECT_EQ(e.status, 2);
    EXPECT_NE(e.fehler.find("pelto: WAIT_TIMEOUT (1012)"), std::string::npos) << e.fehler;
    const auto alle = Modultest_Anfragen();
    EXPECT_EQ(Seit(vorher), std::vector<std::string>(alle.begin(), alle.begin() + 11));
    const auto zeilen = Zeilen(e.aus);
    ASSERT_EQ(zeilen.size(), 34u) << e.aus;
    EXPECT_TRUE(std::regex_match(zeilen[12], std::regex("11 failed Wartezeit_einfuegen W123<CR> -> <NAK> [0-9.]+ ms "
                                                        "WAIT_TIMEOUT \\(1012\\)")))
        << zeilen[12];
    EXPECT_EQ(zeilen[13], "ModulTest - Fehler");
    EXPECT_EQ(zeilen[14], "12 skipped Ausgangssignal_setzen");
    EXPECT_EQ(zeilen.back(), "31 skipped Position_abfragen");
    Werkzeug("xmllint --noout " + tmp_.File("r.xml"), "JUnit report");
    EXPECT_EQ(Xml("string(//testsuite/@failures)") + " " + Xml("string(//testsuite/@skipped)"), "1 20");
    EXPECT_EQ(Xml("string(//testcase[11]/failure/@type)"), "WAIT_TIMEOUT");
    EXPECT_EQ(Xml("string(//testcase[11]/failure)"), "request: W123<CR>\nreply: <NAK>");
    EXPECT_EQ(Xml("count(//testcase[position() > 11]/skipped)"), "20");

    // JSON: the failed step carries the error, the skipped ones no exchange.
    Starten(4.0);
    e = Pelto({"--json", "modultest"});
    EXPECT_EQ(Jq(e.aus, ".[10] | [.step, .outcome, .error, .code] | @tsv"), "11\tfailed\tWAIT_TIMEOUT\t1012\n");
    EXPECT_EQ(Jq(e.aus, ".[11] | [.outcome, has(\"request\")] | @tsv"), "skipped\tfalse\n");
    EXPECT_EQ(Jq(e.aus, ".[-1] | [.outcome, .exit] | @tsv"), "error\t2\n");
}

// A step that gets no reply at all shows none, not the step's before; a
// controller that does not answer the connection test still leaves a report.
TEST_F(PeltoLinie, ModultestReportsOnlyWhatReallyCame) {
    sim_->AddRule({"@X\r", {}, 1});
    auto e = Pelto({"--json", "modultest"});
    EXPECT_EQ(e.status, 2);
    EXPECT_EQ(Jq(e.aus, ".[2] | [.step, .outcome, .reply, .error] | @tsv"), "3\tfailed\t\tWAIT_TIMEOUT\n");
    sim_->SetSilent(true);
    e = Pelto({"modultest", "--junit", "r.xml"});
    EXPECT_EQ(e.status, 2);
    EXPECT_EQ(Xml("string(//testsuite/@failures)") + " " + Xml("string(//testcase[1]/failure/@type)"),
              "1 WAIT_TIMEOUT");
}

TEST_F(PeltoLinie, ModultestReportIsCheckedBeforeAnythingIsSent) {
    const auto e = Pelto({"modultest", "--junit", tmp_.File("fehlt/r.xml")});
    EXPECT_EQ(e.status, 3);
    EXPECT_NE(e.fehler.find("cannot be written"), std::string::npos) << e.fehler;
    EXPECT_EQ(sim_->LineBytes().in, 0u);
    // A port that does not open leaves a report with that failure for the
    // line's CI, not none.
    const auto ohne = Pelto({"--port", tmp_.File("kein-geraet"), "modultest", "--junit", "r.xml"});
    EXPECT_EQ(ohne.status, 2);
    EXPECT_EQ(Xml("string(//testcase[1]/failure/@type)"), "HANDLE_COM_PORT_ERROR");
}

TEST_F(PeltoLinie, PortsListsEveryComNameWithoutOpeningOne) {
    std::filesystem::create_symlink(sim_->DevicePath(), tmp_.File("by-id-name"));
    setenv("PELTO_COM7", sim_->DevicePath().c_str(), 1);
    setenv("PELTO_COM9", tmp_.File("by-id-name").c_str(), 1);
    setenv("PELTO_COM8", "/etc/passwd", 1);
    const auto json = Pelto({"ports", "--json"});
    const auto text = Pelto({"ports"});
    const auto still = Pelto({"--quiet", "ports"});
    for (const char* n : {"PELTO_COM7", "PELTO_COM8", "PELTO_COM9"}) unsetenv(n);
    EXPECT_EQ(json.status, 0) << json.fehler;
    const std::string geraet = std::filesystem::canonical(sim_->DevicePath()).string();
    EXPECT_EQ(Jq(json.aus, "map(select(.port == \"COM7\" or .port == \"COM9\"))[] | [.port, .device, (.by_id | type)] | @tsv"),
              "COM7\t" + geraet + "\tarray\nCOM9\t" + geraet + "\tarray\n");
    EXPECT_EQ(Jq(json.aus, "map(select(.port == \"COM8\")) | length"), "0\n");
    EXPECT_EQ(Jq(json.aus, ".[-1].outcome"), "ok\n");
    EXPECT_NE(json.fehler.find("PELTO_COM8=/etc/passwd ist keine serielle Schnittstelle"), std::string::npos);
    EXPECT_NE(text.aus.find("COM7\n  " + geraet + "\n"), std::string::npos) << text.aus;
    EXPECT_TRUE(std::regex_search(still.aus, std::regex("(^|\n)COM7\nCOM9\n"))) << still.aus;
    EXPECT_EQ(sim_->LineBytes().in, 0u);
}

TEST_F(PeltoLinie, OpenErrorsSayWhy) {
    // Held by this process, as another program would hold it.
    const int halter = open(sim_->DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(flock(halter, LOCK_EX | LOCK_NB), 0);
    auto e = Pelto({"version"});
    close(halter);
    EXPECT_EQ(e.status, 2);
    EXPECT_TRUE(std::regex_search(e.fehler, std::regex("HANDLE_COM_PORT_ERROR \\(1002\\)\npelto: " + sim_->DevicePath() +
                                                       " is busy: held by [^\n]*\\b" + std::to_string(getpid()) + " \\(")))
        << e.fehler;

    // A device only its group may open, for a user outside it.
    const std::string geraet = tmp_.File("ttyGESPERRT");
    Datei("ttyGESPERRT", "");
    const group* g = getgrnam("dialout");
    ASSERT_EQ(chown(geraet.c_str(), static_cast<uid_t>(-1), getuid() == 0 && g ? g->gr_gid : getgid()), 0);
    chmod(geraet.c_str(), 0060);
    chmod(tmp_.Path().c_str(), 0755);
    e = PeltoProzess::Lauf({"--port", geraet, "version"}, tmp_.Path(), Kanal::Rohr, Start{false, true});
    EXPECT_EQ(e.status, 2);
    EXPECT_TRUE(std::regex_search(e.fehler, std::regex(geraet + " is not permitted: [^\n]*Gruppe \\S+\\. Abhilfe: sudo "
                                                                "usermod -aG \\S+ \\$USER")))
        << e.fehler;

    e = Pelto({"--port", tmp_.File("kein-geraet"), "version"});
    EXPECT_EQ(e.status, 2);
    EXPECT_NE(e.fehler.find(tmp_.File("kein-geraet") + " is missing"), std::string::npos) << e.fehler;
}

// Each ends with 0; standard error is searched with the regex.
// The pseudo-terminal of the simulated controller dressed as a USB adapter
// in a fake sysfs tree, with a stable name; what `ports` tells of it.
TEST_F(PeltoLinie, PortsTellTheUsbAdapterAsTheTooltipsDo) {
    namespace fs = std::filesystem;
    const std::string pts = fs::canonical(sim_->DevicePath()).string();
    const std::string name = fs::path(pts).filename();
    const std::string usb = tmp_.File("sys/devices/usb1/1-2");
    fs::create_directories(usb + "/1-2:1.0/tty");
    fs::create_directories(tmp_.File("sys/class/tty/" + name));
    fs::create_directory_symlink(usb + "/1-2:1.0", tmp_.File("sys/class/tty/" + name + "/device"));
    const std::pair<const char*, const char*> strings[] = {
        {"idVendor", "0403"}, {"manufacturer", "FTDI \"Bench\" & Co"}, {"product", "FT232R USB UART"}, {"serial", "A50285BI"}};
    for (const auto& [datei, text] : strings) std::ofstream(usb + "/" + datei) << text << "\n";
    fs::create_directories(tmp_.File("by-id"));
    fs::create_symlink(pts, tmp_.File("by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    SchnittstellenInfo::Wurzeln_setzen({tmp_.File("sys"), tmp_.File("by-id")});
    setenv("PELTO_COM33", sim_->DevicePath().c_str(), 1);
    const auto zeigen = [](Ausgabe art) {
        std::FILE* datei = std::tmpfile();
        Ausgabekanal aus(datei);
        EXPECT_EQ(Ports_zeigen(art, aus), 0);
        std::string text(static_cast<std::size_t>(std::ftell(datei)), '\0');
        std::rewind(datei);
        EXPECT_EQ(std::fread(text.data(), 1, text.size(), datei), text.size());
        std::fclose(datei);
        return text;
    };
    const std::string json = zeigen(Ausgabe::Json), text = zeigen(Ausgabe::Text);
    unsetenv("PELTO_COM33");
    SchnittstellenInfo::Wurzeln_setzen({});
    EXPECT_EQ(Jq(json, "map(select(.port == \"COM33\"))[] | [.device, .manufacturer, .product, .serial, .by_id[0]] | @tsv"),
              pts + "\tFTDI \"Bench\" & Co\tFT232R USB UART\tA50285BI\t" +
                  tmp_.File("by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0") + "\n");
    EXPECT_NE(text.find("COM33\n  " + pts + "\n  Hersteller: FTDI \"Bench\" & Co\n  Produkt: FT232R USB UART\n"
                        "  Seriennummer: A50285BI\n  " + tmp_.File("by-id/")),
              std::string::npos)
        << text;
    EXPECT_EQ(sim_->LineBytes().in, 0u);
}

struct Fortschrittsfall {
    const char* name;
    Args args;
    Start start;
    std::string fehler;
};

TEST_F(PeltoLinie, ProgressOnlyOnATerminal) {
    Datei("prog.txt", "A1,1\r\n#S200  \r\n' comment\r\n\r\nL1,x200\r\n");
    Datei("kopf.txt", "Kopf\r\n");
    Datei("befehle.txt", "#S300\r\n/ nothing\r\nW10\r\n");
    const std::string ende = " lines, \\d+ lines/s\x1b\\[K\r?\n";
    const Start kTerminal{true, false};
    const Fortschrittsfall faelle[] = {
        {"write: header and program lines", {"write", "3", "prog.txt", "kopf.txt"}, kTerminal, "\rpelto: 4/4" + ende},
        {"size", {"size", "prog.txt", "kopf.txt"}, kTerminal, "\rpelto: 4/4" + ende},
        {"run: the lines sent", {"run", "befehle.txt"}, kTerminal, "\rpelto: 2/2" + ende},
        {"read: no total", {"read", "3"}, kTerminal, "\rpelto: \\d+" + ende},
        {"not a terminal", {"write", "4", "prog.txt", "kopf.txt"}, {}, "^$"},
        {"quiet", {"--quiet", "read", "3"}, kTerminal, "^$"},
        {"json", {"run", "befehle.txt", "--json"}, kTerminal, "^$"},
    };
    for (const Fortschrittsfall& f : faelle) {
        SCOPED_TRACE(f.name);
        const auto e = Pelto(f.args, Kanal::Rohr, f.start);
        EXPECT_EQ(e.status, 0) << e.fehler;
        EXPECT_TRUE(std::regex_search(e.fehler, std::regex(f.fehler))) << e.fehler;
    }
}

TEST(Fortschrittszeile, DoneOfTotalRateAndTimeLeft) {
    EXPECT_EQ(Fortschritt::Text(0, 6553, 0.0), "pelto: 0/6553 lines");
    EXPECT_EQ(Fortschritt::Text(1000, 6553, 4.0), "pelto: 1000/6553 lines, 250 lines/s, 22 s left");
    EXPECT_EQ(Fortschritt::Text(6553, 6553, 26.2), "pelto: 6553/6553 lines, 250 lines/s");
    EXPECT_EQ(Fortschritt::Text(12, 0, 2.0), "pelto: 12 lines, 6 lines/s");
}

}  // namespace
