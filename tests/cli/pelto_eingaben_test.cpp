// pelto as a Unix tool under a careless shell: closed or full standard
// output, a reader that goes away, control bytes in a request, invalid
// UTF-8 for --json, a port number out of range, the user's terminal as the
// port, and a controller left in the middle of a program text. Each case
// runs against a fresh simulated controller, which tells what reached it.
#include <fcntl.h>
#include <iconv.h>
#include <sys/ioctl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <thread>

#include "pelto_cli_fixture.h"

namespace {

using Kanal = PeltoProzess::Kanal;

// A terminal in the state a shell leaves it: line editing and echo on.
class Terminal {
public:
    Terminal() {
        char name[64] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
        pfad_ = name;
        tcgetattr(slave_, &vorher_);
    }
    ~Terminal() {
        close(slave_);
        close(master_);
    }
    const std::string& Pfad() const { return pfad_; }
    // Empty, or what differs from the settings before.
    std::string Veraendert() const {
        termios jetzt{};
        tcgetattr(slave_, &jetzt);
        std::string was;
        if (jetzt.c_iflag != vorher_.c_iflag) was += " iflag";
        if (jetzt.c_oflag != vorher_.c_oflag) was += " oflag";
        if (jetzt.c_cflag != vorher_.c_cflag) was += " cflag";
        if (jetzt.c_lflag != vorher_.c_lflag) was += " lflag";
        if (cfgetospeed(&jetzt) != cfgetospeed(&vorher_)) was += " speed";
        return was;
    }

private:
    int master_ = -1, slave_ = -1;
    std::string pfad_;
    termios vorher_{};
};

// Whether glibc's converter takes the text as UTF-8 without a change.
bool GueltigesUtf8(std::string text) {
    const iconv_t cd = iconv_open("UTF-8", "UTF-8");
    std::string aus(text.size() + 1, '\0');
    char* ein = text.data();
    char* ziel = aus.data();
    std::size_t einRest = text.size(), ausRest = aus.size();
    const bool gut = iconv(cd, &ein, &einRest, &ziel, &ausRest) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return gut;
}

// The cases' own steps and checks reach the fixture from outside.
class PeltoEingaben : public PeltoCli {
public:
    using PeltoCli::Anfragen;
    using PeltoCli::Datei;
    using PeltoCli::Jq;
    using PeltoCli::Pelto;
    using PeltoCli::sim_;

    void TearDown() override { unsetenv("PELTO_COM1"); }

    // A write of slot 1 opened and never ended: the controller takes all
    // that follows as header text, the connection test's CRs included.
    void Festsetzen() { ASSERT_EQ(Pelto({"send", "*PW1"}).status, 0); }
    void Paar(const std::string& programm, const std::string& header) {
        Datei("p.txt", programm);
        Datei("h.txt", header);
    }
    // 2 GiB, sparse.
    void Riesig(const std::string& name) {
        Datei(name, "A1,1\r\n");
        std::filesystem::resize_file(tmp_.File(name), 2ull << 30);
    }

    std::optional<Terminal> terminal_;
};

struct Fall {
    const char* name;
    std::function<void(PeltoEingaben&)> vorher;  // may be empty
    Args args;
    Kanal aus;
    int status;
    std::string fehler;  // regex searched in standard error
    // Regex over the requests the call brought to the controller, one after
    // the other, Connect's lone CRs left out; none: not checked.
    std::optional<std::string> anfragen;
    std::function<void(PeltoEingaben&, const PeltoProzess::Ergebnis&)> pruefen;  // may be empty
};

std::string Verbunden(const std::vector<std::string>& anfragen, std::size_t ab) {
    std::string text;
    for (std::size_t i = ab; i < anfragen.size(); ++i) text += anfragen[i];
    return text;
}

TEST_F(PeltoEingaben, NothingGoesOutUnlessMeantAndOutputIsChecked) {
    std::string viele;
    for (int i = 0; i < 2000; ++i) viele += "#S200\r\n";
    const Fall faelle[] = {
        {"reset of a stranded controller", &PeltoEingaben::Festsetzen, {"reset"}, Kanal::Rohr, 0,
         "connection test failed with WAIT_TIMEOUT \\(1012\\); the reset is sent all the same", "@R\r",
         [](PeltoEingaben& t, auto&) { EXPECT_EQ(t.Pelto({"--quiet", "version"}).aus, "Pelto-Sim 1.0\n"); }},
        {"stop of a stranded controller", &PeltoEingaben::Festsetzen, {"stop"}, Kanal::Rohr, 0,
         "connection test failed with WAIT_TIMEOUT \\(1012\\); the stop is sent all the same", "@S\r", {}},
        {"reset without an answer", [](PeltoEingaben& t) { t.sim_->SetSilent(true); }, {"reset"}, Kanal::Rohr, 2,
         "connection test failed[^]*pelto: WAIT_TIMEOUT \\(1012\\)\n$", "@R\r", {}},
        {"reset on a port that does not exist", {}, {"--port", "/dev/pelto-fehlt", "reset"}, Kanal::Rohr, 2,
         "^pelto: HANDLE_COM_PORT_ERROR \\(1002\\)\npelto: /dev/pelto-fehlt is missing: no such device[^\n]*\n$", "", {}},
        {"version of a stranded controller", &PeltoEingaben::Festsetzen, {"version"}, Kanal::Rohr, 2,
         "pelto: WAIT_TIMEOUT \\(1012\\)\n$", "", {}},
        {"standard output closed", {}, {"send", "A1,1"}, Kanal::Geschlossen, 0, "^$", "A1,1\r", {}},
        {"standard output closed, JSON", {}, {"--json", "send", "A1,1", "A2,1", "A3,1"}, Kanal::Geschlossen, 0,
         "^$", "A1,1\rA2,1\rA3,1\r", {}},
        {"full disk, result", {}, {"--quiet", "version"}, Kanal::Voll, 74,
         "^pelto: standard output: No space left on device\n$", "@V\r", {}},
        {"full disk, exchange", {}, {"send", "A1,1"}, Kanal::Voll, 74, "standard output: No space left", "A1,1\r", {}},
        {"full disk, help", {}, {"--help"}, Kanal::Voll, 74, "standard output: No space left", "", {}},
        {"reader gone", [&viele](PeltoEingaben& t) { t.Datei("viele.txt", viele); }, {"run", "viele.txt"},
         Kanal::LeserGeht, 130, "standard output: Broken pipe\n[^]*pelto: interrupted\n", std::nullopt,
         [](PeltoEingaben& t, auto&) {
             const auto a = t.Anfragen();
             EXPECT_EQ(a.back(), "@S\r");
             EXPECT_LT(a.size(), 2000u);
         }},
        {"CR in a request", {}, {"send", "A1,1\rA9,1"}, Kanal::Rohr, 64,
         "request 1 holds the control character CR at character 5", "", {}},
        {"LF in a request", {}, {"send", "A1,1", "A9,1\n"}, Kanal::Rohr, 64, "request 2 holds the control character LF",
         "", {}},
        {"STX in a request", {}, {"send", "\x02" "A1,1"}, Kanal::Rohr, 64, "control character STX at character 1", "",
         {}},
        {"ETX in a request", {}, {"send", "A1,1\x03"}, Kanal::Rohr, 64, "control character ETX", "", {}},
        {"ACK in a request", {}, {"send", "A1\x06,1"}, Kanal::Rohr, 64, "control character ACK", "", {}},
        {"NAK in a request", {}, {"send", "A1\x15,1"}, Kanal::Rohr, 64, "control character NAK", "", {}},
        {"BEL in a request", {}, {"send", "A1\x07,1"}, Kanal::Rohr, 64, "control character BEL", "", {}},
        {"invalid UTF-8 in JSON", {}, {"--json", "send", "A\xed\xa0\x80", "B\xf8\x80\x80", "C\xe0\x80\x80\xc3"},
         Kanal::Rohr, 1, "E1 \\(1021\\)", std::nullopt,
         [](PeltoEingaben& t, const PeltoProzess::Ergebnis& e) {
             EXPECT_TRUE(GueltigesUtf8(e.aus)) << e.aus;
             EXPECT_EQ(t.Jq(e.aus, "map(.request) | .[:3][]"), "A\u00ed\u00a0\u0080<CR>\nB\u00f8\u0080\u0080<CR>\n"
                                                                "C\u00e0\u0080\u0080\u00c3<CR>\n");
         }},
        {"port number 257 with COM1 present",
         [](PeltoEingaben& t) { setenv("PELTO_COM1", t.sim_->DevicePath().c_str(), 1); },
         {"--port", "COM257", "version"}, Kanal::Rohr, 64, "port 'COM257' is neither COM1-COM63", "", {}},
        {"port number 4294967297", [](PeltoEingaben& t) { setenv("PELTO_COM1", t.sim_->DevicePath().c_str(), 1); },
         {"--port", "COM4294967297", "version"}, Kanal::Rohr, 64, "is neither COM1-COM63", "", {}},
        {"ETX in a program line", [](PeltoEingaben& t) { t.Paar("A1,1\r\n\x03" "A2,1\r\nL1,x5000\r\n", "Kopf\r\n"); },
         {"write", "1", "p.txt", "h.txt"}, Kanal::Rohr, 3,
         "^pelto: Zeile 2 der Datei 'p.txt' enthält das Steuerzeichen ETX und kann nicht gesendet werden.\n$", "", {}},
        {"STX in a header line", [](PeltoEingaben& t) { t.Paar("A1,1\r\n", "Kopf\x02Rest\r\n"); },
         {"write", "1", "p.txt", "h.txt"}, Kanal::Rohr, 3, "Zeile 1 der Datei 'h.txt' enthält das Steuerzeichen STX",
         "", {}},
        {"blank header line", [](PeltoEingaben& t) { t.Paar("A1,1\r\n", "Kopf\r\n  \r\n"); },
         {"size", "p.txt", "h.txt"}, Kanal::Rohr, 3,
         "Zeile 2 der Datei 'h.txt' ist leer; eine leere Header-Zeile kann nicht gesendet werden.", "", {}},
        {"file over 1 MiB", [](PeltoEingaben& t) { t.Riesig("b.txt"); }, {"run", "b.txt"}, Kanal::Rohr, 3,
         "Die Datei 'b.txt' ist 2147483648 Bytes groß \\(erlaubt sind 1048576\\)", "", {}},
        {"byte-order mark", [](PeltoEingaben& t) { t.Datei("i.txt", "\xEF\xBB\xBF" "c,x100\r\n"); }, {"run", "i.txt"},
         Kanal::Rohr, 0, "^$", "c,x100\r", {}},
        {"PELTO_COM1 names nothing", [](PeltoEingaben&) { setenv("PELTO_COM1", "/nonexistent/tty", 1); },
         {"--port", "COM1", "version"}, Kanal::Rohr, 2, "PELTO_COM1=/nonexistent/tty is missing: no such device", "", {}},
        {"a path that is no serial device", {}, {"--port", "/etc/passwd", "version"}, Kanal::Rohr, 2,
         "pelto: /etc/passwd is no serial device\n$", "", {}},
        {"PELTO_COM1 names no serial device", [](PeltoEingaben&) { setenv("PELTO_COM1", "/etc/passwd", 1); },
         {"--port", "COM1", "version"}, Kanal::Rohr, 2,
         "PELTO_COM1=/etc/passwd is no serial device", "", {}},
        {"the user's terminal as the port", [](PeltoEingaben& t) { t.terminal_.emplace(); }, {"version"}, Kanal::Rohr,
         2, "WAIT_TIMEOUT", "",
         [](PeltoEingaben& t, auto&) { EXPECT_EQ(t.terminal_->Veraendert(), ""); }},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.name);
        // A controller that keeps header text opaque stores "@R" and "@S"
        // as text: nothing sent can free it from an open header.
        if (std::string(f.name).find("stranded") != std::string::npos && Suitenprofil().strict.opaqueText) continue;
        Starten(0.02);
        terminal_.reset();
        unsetenv("PELTO_COM1");
        if (f.vorher) f.vorher(*this);
        const std::size_t vorher = Anfragen().size();
        Args args = f.args;
        if (terminal_) args.insert(args.begin(), {"--port", terminal_->Pfad()});
        const auto e = Pelto(args, f.aus);
        EXPECT_EQ(e.status, f.status) << e.fehler;
        EXPECT_TRUE(std::regex_search(e.fehler, std::regex(f.fehler))) << e.fehler;
        if (f.anfragen) {
            const std::string got = Verbunden(Anfragen(), vorher);
            EXPECT_TRUE(std::regex_match(got, std::regex(*f.anfragen))) << got;
        }
        // Wrong usage is found before the port is opened.
        if (f.status == 64 || f.status == 3) {
            EXPECT_EQ(sim_->LineBytes().in, 0u);
        }
        if (f.pruefen) f.pruefen(*this, e);
    }
}

}  // namespace

namespace {

// A stop that gets no answer: the tool leaves after its grace time, and
// gives the port back first (no exclusive mode left on the terminal).
TEST_F(PeltoEingaben, UnansweredStopGivesThePortBack) {
    using namespace std::chrono_literals;
    PeltoProzess p({"--port", sim_->DevicePath(), "send", "W100000"}, tmp_.Path());
    const auto frist = std::chrono::steady_clock::now() + 5s;
    while (Anfragen().empty() && std::chrono::steady_clock::now() < frist) std::this_thread::sleep_for(1ms);
    sim_->SetSilent(true);
    p.Signal(SIGTERM);
    const auto e = p.Warten();
    EXPECT_EQ(e.status, 130) << e.fehler;
    EXPECT_EQ(Anfragen().back(), "@S\r");
    const int fd = open(sim_->DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    int exklusiv = -1;
    ASSERT_EQ(ioctl(fd, TIOCGEXCL, &exklusiv), 0);
    EXPECT_EQ(exklusiv, 0);
    close(fd);
}

}  // namespace

namespace {

// The longest header the console writes (251 characters and "...") reads
// back whole: its reply is longer than 260 characters.
TEST_F(PeltoEingaben, TheLongestHeaderReadsBackWhole) {
    const std::string h(127, 'H'), k(124, 'K');
    Datei("p.txt", "A1,1\r\n");
    Datei("h.txt", h + "\r\n" + k + "\r\nZ\r\n");
    ASSERT_EQ(Pelto({"write", "1", "p.txt", "h.txt"}).status, 0);
    const auto e = Pelto({"--quiet", "read", "1", "--header"});
    EXPECT_EQ(e.status, 0) << e.fehler;
    EXPECT_EQ(e.aus, h + k + "...\n");
}

}  // namespace
