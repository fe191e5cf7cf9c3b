// A run with faults, recorded once against the simulated controller and kept
// in tests/data/, played again by "pelto-sim --replay": the same pelto calls
// must give the same output and exit codes and send the same requests.
// PELTO_REPLAY_AUFNEHMEN=1 records the run and its results anew.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pelto_prozess.h"
#include "sim/replay_script.h"
#include "sim/sim_server.h"
#include "support/crlf_lines.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

const std::string kAufnahme = std::string(PELTO_TESTDATEN) + "/stoerungen.rec";
const std::string kErgebnis = std::string(PELTO_TESTDATEN) + "/stoerungen.ergebnis";

// One pelto call; `stoerung` sets the fault up on the live controller, and a
// call that moves is interrupted once its move has gone out. The faults: a
// reply too late to be waited for, a slow final answer that is still taken,
// a reply lost, a stop amid a move, the line gone amid a wait, an error reply.
struct Schritt {
    std::vector<std::string> args;
    std::function<void(sim::SimServer&)> stoerung;
    int status;           // as the fault makes it end
    bool bUnterbrechen = false;
    std::chrono::milliseconds nachher{0};  // until a late reply has surely come
};

// The line goes 300 ms into the call, for 200 ms.
void Leitung_weg(sim::SimServer& s) {
    std::thread([&s] {
        std::this_thread::sleep_for(300ms);
        s.DropLine(200ms);
    }).detach();
}

const std::vector<Schritt>& Ablauf() {
    static const std::vector<Schritt> ablauf = {
        {{"version"}, nullptr, 0},
        {{"status"}, [](sim::SimServer& s) { s.AddRule({"@X\r", {{300ms, "@X I--000\x06"}}, 1}); }, 2, false, 500ms},
        {{"status"}, nullptr, 0},
        {{"move", "500", "0", "0"},
         [](sim::SimServer& s) { s.AddRule({"L1,x500\r", {{5ms, "\x15"}, {600ms, "\x06"}}, 1}); }, 0},
        {{"output", "1", "on"}, [](sim::SimServer& s) { s.AddRule({"A1,1\r", {}, 1}); }, 2},
        {{"move", "100000", "0", "0"}, nullptr, 130, true},
        {{"position", "x"}, nullptr, 0},
        {{"send", "#Q"}, nullptr, 1},
        // Last: the live line comes back on a terminal of another name.
        {{"send", "W2000"}, Leitung_weg, 2, false, 600ms},
    };
    return ablauf;
}

std::vector<std::string> Anfragen(const std::string& aufnahme) {
    std::vector<std::string> anfragen;
    const sim::ReplayScript script = sim::ReplayScript::FromFile(aufnahme);
    for (const auto& e : script.Exchanges()) anfragen.push_back(e.request);
    return anfragen;
}

// pelto-sim as a process, its standard input ours.
class SimProzess {
public:
    explicit SimProzess(const std::vector<std::string>& args) {
        int ein[2], aus[2], fehler[2];
        if (pipe(ein) != 0 || pipe(aus) != 0 || pipe(fehler) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(ein[0], 0);
            dup2(aus[1], 1);
            dup2(fehler[1], 2);
            std::vector<char*> argv{const_cast<char*>(PELTO_SIM_PFAD)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(PELTO_SIM_PFAD, argv.data());
            _exit(127);
        }
        close(ein[0]);
        close(aus[1]);
        close(fehler[1]);
        ein_ = ein[1];
        aus_ = aus[0];
        fehler_ = fehler[0];
    }
    ~SimProzess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {ein_, aus_, fehler_}) close(fd);
    }

    // The first line it prints: the terminal.
    std::string Geraet() {
        std::string zeile;
        char c = 0;
        while (read(aus_, &c, 1) == 1 && c != '\n') zeile += c;
        return zeile;
    }

    // Says "quit"; its exit status and standard error.
    std::pair<int, std::string> Beenden() {
        [[maybe_unused]] const ssize_t n = write(ein_, "quit\n", 5);
        std::string fehler;
        char puffer[512];
        for (ssize_t k; (k = read(fehler_, puffer, sizeof puffer)) > 0;) fehler.append(puffer, std::size_t(k));
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), fehler};
    }

private:
    pid_t pid_ = -1;
    int ein_ = -1, aus_ = -1, fehler_ = -1;
};

class PeltoReplay : public ::testing::Test {
protected:
    // Each step's call, exit code and output, as the expected-results file holds them.
    std::string Ablauf_ausfuehren(sim::SimServer* live, const std::string& mitschnitt) {
        std::string ergebnis;
        for (const Schritt& s : Ablauf()) {
            if (live && s.stoerung) s.stoerung(*live);
            std::vector<std::string> args = s.args;
            if (!live) args.insert(args.begin(), {"--record", mitschnitt});
            PeltoProzess p(args, tmp_.Path());
            if (s.bUnterbrechen) Nach_der_Fahrt_unterbrechen(p, mitschnitt);
            const auto e = p.Warten();
            EXPECT_EQ(e.status, s.status) << s.args[0] << "\n" << e.aus << e.fehler;
            ergebnis += "$ pelto";
            for (const std::string& a : s.args) ergebnis += " " + a;
            ergebnis += "\nexit " + std::to_string(e.status) + "\n" + Zeilen("1 ", e.aus) + Zeilen("2 ", e.fehler);
            std::this_thread::sleep_for(s.nachher);
        }
        return ergebnis;
    }

    // Once the recording shows the move gone out and accepted.
    static void Nach_der_Fahrt_unterbrechen(const PeltoProzess& p, const std::string& mitschnitt) {
        const auto bis = std::chrono::steady_clock::now() + 20s;
        while (Lesen(mitschnitt).find("L1,x100000<CR>") == std::string::npos && std::chrono::steady_clock::now() < bis)
            std::this_thread::sleep_for(20ms);
        std::this_thread::sleep_for(200ms);
        p.Signal(SIGINT);
    }

    static std::string Zeilen(const std::string& vorn, const std::string& text) {
        std::string zeilen;
        std::istringstream in(text);
        for (std::string z; std::getline(in, z);) zeilen += vorn + z + "\n";
        return zeilen;
    }

    TempDir tmp_;
};

TEST_F(PeltoReplay, TheRecordedFaultsGiveTheSameResultsAgain) {
    if (std::getenv("PELTO_REPLAY_AUFNEHMEN")) {
        std::remove(kAufnahme.c_str());
        sim::SimServer live;
        live.Start();
        ::setenv("PELTO_COM1", live.DevicePath().c_str(), 1);
        ::setenv("PELTO_RECORD", kAufnahme.c_str(), 1);
        std::ofstream(kErgebnis, std::ios::binary) << Ablauf_ausfuehren(&live, kAufnahme);
        ::unsetenv("PELTO_RECORD");
    }
    SimProzess replay({"--replay", kAufnahme});
    ::setenv("PELTO_COM1", replay.Geraet().c_str(), 1);
    const std::string mitschnitt = tmp_.File("wieder.rec");
    EXPECT_EQ(Ablauf_ausfuehren(nullptr, mitschnitt), Lesen(kErgebnis));
    const auto [status, fehler] = replay.Beenden();
    EXPECT_EQ(status, 0) << fehler;
    EXPECT_EQ(fehler, "");
    EXPECT_EQ(Anfragen(mitschnitt), Anfragen(kAufnahme));
}

// A console that sends something else is told where, and the replay fails.
TEST_F(PeltoReplay, ADifferentRequestIsNamedAndFailsTheReplay) {
    SimProzess replay({"--replay", kAufnahme});
    ::setenv("PELTO_COM1", replay.Geraet().c_str(), 1);
    EXPECT_EQ(PeltoProzess::Lauf({"status"}, tmp_.Path()).status, 2);
    const auto [status, fehler] = replay.Beenden();
    EXPECT_EQ(status, 3);
    EXPECT_EQ(fehler, "pelto-sim: replay: request 2 (line 5) differs: expected \"@V<CR>\", received \"@X<CR>\"\n");
}

}  // namespace
