// Faults on the line itself, through the real link against the simulated
// controller: noise and NUL bytes, the line pulled while a move runs, and
// how much CPU the link takes meanwhile.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"
#include "sim/sim_server.h"
#include "support/sim_profil.h"
#include "support/cpu_zeit.h"
#include "support/crlf_lines.h"
#include "support/dialog_recorder.h"
#include "support/fehler_code.h"
#include "support/temp_dir.h"

namespace {


using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr char ACK = 0x06, NAK = 0x15;
constexpr int kPort = 5;


// CPU taken by the process while the test thread sleeps for a second.
double CpuInEinerRuhigenSekunde() {
    const double vorher = CpuSekunden();
    std::this_thread::sleep_for(1s);
    return CpuSekunden() - vorher;
}

class StoerungenLink : public ::testing::Test {
protected:
    void SetUp() override {
        Protokolldatei_Ordner_setzen(tmp_.Path());
        sim_.Start();
        Verbinden();
    }
    void TearDown() override {
        com_.UnInit();
        Protokolldatei_Ordner_setzen("");
    }

    // Opens the link on the simulator's present terminal.
    void Verbinden() {
        ::setenv(("PELTO_COM" + std::to_string(kPort)).c_str(), sim_.DevicePath().c_str(), 1);
        com_.UnInit();
        com_.Init(kPort, 115200);
        ASSERT_TRUE(com_.Connect());
    }

    // Waits until the dropped line is back under a new terminal.
    bool WiederDa(unsigned generation) {
        const auto ende = Clock::now() + 5s;
        while (Clock::now() < ende) {
            if (sim_.LineGeneration() > generation && !sim_.DevicePath().empty()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::string Resp() const { return com_.szResp; }
    std::vector<std::string> Protokoll() const { return CrLfZeilen(Protokolldatei_Pfad()); }
    int ImProtokoll(const std::string& anfang) const {
        int n = 0;
        for (const auto& z : Protokoll()) n += z.rfind(anfang, 0) == 0;
        return n;
    }

    // Every exchange answered by the controller gets its own reply.
    void ZweiSaubereAustausche() {
        EXPECT_EQ(Fehler([&] { com_.Ausgangssignal_setzen(2, 1); }), 0);
        EXPECT_EQ(Resp(), std::string(1, ACK));
        char version[32] = {};
        EXPECT_EQ(Fehler([&] { com_.Version_abfragen(version, sizeof version); }), 0);
        EXPECT_STREQ(version, "Pelto-Sim 1.0");
        EXPECT_EQ(Fehler([&] { com_.SendReqWaitResp("*PR6\r", 500); }), 0);
        EXPECT_EQ(Resp(), "E3\x07");  // slot 6 is empty
    }

    TempDir tmp_;
    DialogRecorder dialogs_;
    sim::SimServer sim_{SchnellesProfil()};
    TkeloCOM com_;
};

// Noise that looks like a reply, arriving while no request is open, is
// dropped when the next request goes out: that one gets its own reply.
TEST_F(StoerungenLink, NoiseEndingLikeAReplyBetweenExchanges) {
    sim_.InjectGarbage("xq7\r");
    std::this_thread::sleep_for(100ms);
    ZweiSaubereAustausche();
    EXPECT_EQ(ImProtokoll("keloCOM_thread->Execute() :: unerwartete Antwort verworfen: xq7<CR>"), 1);
}

// The same noise, followed by a reset: the reset's answer must be read.
TEST_F(StoerungenLink, ResetAfterNoiseEndingLikeAReply) {
    sim_.InjectGarbage("xq7\r");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Fehler([&] { com_.Reset_ausfuehren(); }), 0);
    ZweiSaubereAustausche();
}

// Noise without an end character, waiting when the next request goes out,
// is dropped: that request gets its own reply.
TEST_F(StoerungenLink, NoiseWithoutEndCharacterIsDropped) {
    sim_.InjectGarbage("zz");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Fehler([&] { com_.Ausgangssignal_setzen(1, 1); }), 0);
    EXPECT_EQ(Resp(), std::string(1, ACK));
    EXPECT_EQ(ImProtokoll("keloCOM_thread->Execute() :: unvollständige Antwort verworfen: zz"), 1);
    ZweiSaubereAustausche();
}

TEST_F(StoerungenLink, NulBytesBetweenExchanges) {
    sim_.InjectGarbage(std::string("\0\0\0", 3));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Fehler([&] { com_.Ausgangssignal_setzen(1, 1); }), 0);
    EXPECT_EQ(Resp(), std::string(1, ACK));
    ZweiSaubereAustausche();
}

// An "@" in the noise opens the second channel while no "@" request is
// open; the next normal reply must not be swallowed into it for good.
TEST_F(StoerungenLink, AtSignInTheNoise) {
    sim_.InjectGarbage("@zz");
    std::this_thread::sleep_for(100ms);
    const int e = Fehler([&] { com_.Ausgangssignal_setzen(1, 1); });
    EXPECT_TRUE(e == 0 || e == ACK_ERROR || e == WAIT_TIMEOUT_ERROR) << e;
    ZweiSaubereAustausche();
}

// Noise during a move's wait ends that wait early at worst; the move's real
// final answer, coming later, must not reach the next request.
TEST_F(StoerungenLink, NoiseWhileAMoveRuns) {
    com_.xyzVektor_fahren(1, 1, 20000, 0, 0);  // about a second at this time scale
    ASSERT_EQ(Resp(), std::string(1, NAK));
    std::this_thread::sleep_for(100ms);
    sim_.InjectGarbage(std::string("\0\x01?\r", 4));
    const int e = Fehler([&] { com_.WaitResp(10000); });
    EXPECT_EQ(e, 0);
    std::this_thread::sleep_for(2s);  // the move has ended meanwhile
    ZweiSaubereAustausche();
}

// Many short bursts of random bytes between exchanges: every exchange ends
// (no hang), and once the noise stops the link is sound again.
TEST_F(StoerungenLink, RandomNoiseNeverHangs) {
    constexpr int kStoerungen = 30;
    std::srand(4711);
    const auto t0 = Clock::now();
    for (int i = 0; i < kStoerungen; ++i) {
        std::string noise;
        for (int n = std::rand() % 12; n >= 0; --n) noise += char(std::rand() % 256);
        sim_.InjectGarbage(noise);
        Fehler([&] { com_.SendReqWaitResp(i % 2 ? "@X\r" : "A3,1\r", 100); });
    }
    EXPECT_LT(Clock::now() - t0, kStoerungen * 2100ms);
    std::this_thread::sleep_for(300ms);
    Verbinden();  // "Ini"
    ZweiSaubereAustausche();
}

// The line pulled while a move runs: the waiting sender learns of it at
// once instead of waiting out the move's whole time.
TEST_F(StoerungenLink, LineDroppedWhileAMoveRuns) {
    com_.xyzVektor_fahren(1, 1, 200000, 0, 0);  // ten seconds at this time scale
    ASSERT_EQ(Resp(), std::string(1, NAK));
    auto warten = std::async(std::launch::async, [&] { return Fehler([&] { com_.WaitResp(20000); }); });
    std::this_thread::sleep_for(100ms);
    const auto t0 = Clock::now();
    sim_.DropLine(300ms);
    const bool zuEnde = warten.wait_for(5s) == std::future_status::ready;
    ASSERT_TRUE(zuEnde) << "the sender still waits for a line that is gone";
    EXPECT_LT(Clock::now() - t0, 2s);  // the read fails at once; 2 s for a slow machine
    EXPECT_EQ(warten.get(), WAIT_FAILED_ERROR);
    EXPECT_EQ(ImProtokoll("keloCOM->WaitResp() :: WAIT_FAILED"), 1);
}

// While the line is gone the link rests between failed reads.
TEST_F(StoerungenLink, DeadLineDoesNotSpin) {
    const unsigned generation = sim_.LineGeneration();
    sim_.DropLine(1500ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(CpuInEinerRuhigenSekunde(), 0.25);
    // Requests on the dead line fail at once instead of hanging.
    const auto t0 = Clock::now();
    EXPECT_EQ(Fehler([&] { com_.Ausgangssignal_setzen(1, 1); }), WAIT_FAILED_ERROR);
    EXPECT_EQ(Fehler([&] { com_.Reset_ausfuehren(); }), WAIT_FAILED_ERROR);
    EXPECT_LT(Clock::now() - t0, 1s);
    EXPECT_EQ(ImProtokoll("keloCOM->WaitResp() :: WAIT_FAILED"), 1);
    EXPECT_EQ(ImProtokoll("keloCOM->WaitResp_MB() :: WAIT_FAILED"), 1);
    ASSERT_TRUE(WiederDa(generation));
    Verbinden();
    ZweiSaubereAustausche();
    EXPECT_EQ(ImProtokoll("keloCOM_thread->Execute() :: ReadFile"), 1);  // once, not once per retry
}

TEST_F(StoerungenLink, IdleLinkDoesNotSpin) { EXPECT_LT(CpuInEinerRuhigenSekunde(), 0.25); }

}  // namespace
