// Exchanges of settings, queries, waits and moves with the simulated
// controller, through its pseudo-terminal as the console would see them.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "sim/raw_serial_client.h"
#include "sim/sim_server.h"

namespace {

using namespace std::chrono_literals;
using sim::RawSerialClient;
using sim::SimOptions;
using sim::SimServer;

const std::string kAck = "\x06";
const std::string kNak = "\x15";
const std::string kBel = "\x07";

class SimExchange : public ::testing::Test {
protected:
    void SetUp() override { Open({}); }

    void Open(SimOptions options) {
        client_.reset();
        server_ = std::make_unique<SimServer>(std::move(options));
        server_->Start();
        client_ = std::make_unique<RawSerialClient>(server_->DevicePath());
    }

    std::string Ask(const std::string& request) {
        return client_->Ask(request).value_or("<no reply>");
    }

    std::unique_ptr<SimServer> server_;
    std::unique_ptr<RawSerialClient> client_;
};

struct Case {
    const char* request;
    std::string reply;
};

TEST_F(SimExchange, AnswersSettingsUnknownAndOutOfRangeRequests) {
    const Case cases[] = {
        {"\r", "E1" + kBel},
        {"Q7\r", "E1" + kBel},
        {"T1\r", kAck},
        {"T2\r", "E6" + kBel},
        {"FV6\r", kAck},
        {"FH3\r", "E6" + kBel},
        {"#S128000\r", kAck},
        {"#S128001\r", "E6" + kBel},
        {"#S\r", "E1" + kBel},
        {"#E10,128000\r", kAck},
        {"#E11,500\r", "E6" + kBel},
        {"#R60000\r", kAck},
        {"#R60001\r", "E6" + kBel},
        {"&E1,1\r", kAck},
        {"A1,1\r", kAck},
        {"AR,0\r", kAck},
        {"A9,1\r", "E6" + kBel},
        {"I2C-A3,1\r", kAck},
        {"I2C-A5,1\r", "E6" + kBel},
        {"WD,0\r", kAck},
        {"#Ou,-20\r", kAck},
        {"#Hzxyu\r", kAck},
        {"c,x100\r", kAck},
        {"W3600001\r", "E6" + kBel},
        {"L11,x5\r", "E6" + kBel},
        {"L1,q5\r", "E1" + kBel},
        {"*PW8\r", "E2" + kBel},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(c.request), c.reply) << "request " << c.request;
    }
}

TEST_F(SimExchange, KeepsTheValuesSettingsSet) {
    ASSERT_EQ(Ask("#S300\r"), kAck);
    ASSERT_EQ(Ask("#E9,700\r"), kAck);
    ASSERT_EQ(Ask("#Oy,150\r"), kAck);
    ASSERT_EQ(Ask("A2,1\r"), kAck);
    server_->Inspect([](sim::PeltoController& c) {
        EXPECT_EQ(c.Settings().startHz, 300u);
        EXPECT_EQ(c.Settings().endHz[9], 700u);
        EXPECT_EQ(c.Settings().referenceOffset[1], 150);
        EXPECT_TRUE(c.Settings().outputs[1]);
    });
    EXPECT_EQ(Ask("@X\r"), "@X I--020" + kAck);  // A2 is bit 2 of the outputs digit
}

TEST_F(SimExchange, AnswersQueries) {
    server_->SetInput(3, true);
    server_->SetInput(15, true);
    EXPECT_EQ(Ask("@V\r"), "@V " + std::string(sim::PeltoController::kVersionText) + kAck);
    EXPECT_LE(sim::PeltoController::kVersionText.size(), 20u);
    EXPECT_EQ(Ask("@X\r"), "@X I--000" + kAck);
    EXPECT_EQ(Ask("@Ly\r"), "@Ly 0" + kAck);
    EXPECT_EQ(Ask("@I3\r"), "@I3 1" + kAck);
    EXPECT_EQ(Ask("@IB\r"), "@IB 0" + kAck);
    EXPECT_EQ(Ask("@IG\r"), "@IG 8008" + kAck);
    EXPECT_EQ(Ask("@Lq\r"), "@E6" + kBel);
    EXPECT_EQ(Ask("@Q\r"), "@E1" + kBel);
}

TEST_F(SimExchange, WaitAnswersNakThenAckAfterItsTime) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Ask("W300\r"), kNak);
    ASSERT_EQ(client_->NextNormal(5s), kAck);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 3s);
}

TEST_F(SimExchange, MovePositionsChangeWhileItRuns) {
    ASSERT_EQ(Ask("#S100\r"), kAck);
    ASSERT_EQ(Ask("#E1,1000\r"), kAck);
    ASSERT_EQ(Ask("#R100\r"), kAck);
    ASSERT_EQ(Ask("L1,x1000,Y-500\r"), kNak);  // about 1.1 s
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(Ask("@X\r").substr(0, 4), "@X M");
    const std::string during = Ask("@Lx\r");
    ASSERT_EQ(during.substr(0, 4), "@Lx ");
    const long x = std::stol(during.substr(4));
    EXPECT_GT(x, 0);
    EXPECT_LT(x, 1000);
    ASSERT_EQ(client_->NextNormal(5s), kAck);
    EXPECT_EQ(Ask("@Lx\r"), "@Lx 1000" + kAck);
    EXPECT_EQ(Ask("@Ly\r"), "@Ly -500" + kAck);
    EXPECT_EQ(Ask("L1,x-1000\r"), kNak);  // relative, back to 0
    ASSERT_EQ(client_->NextNormal(5s), kAck);
    EXPECT_EQ(server_->Position('x'), 0);
}

TEST_F(SimExchange, ResetDuringAMoveEndsItWithoutFinalAnswer) {
    ASSERT_EQ(Ask("#S500\r"), kAck);  // changed; the reset restores 100
    ASSERT_EQ(Ask("L1,x100000\r"), kNak);
    std::this_thread::sleep_for(200ms);
    client_->Send("@R\r");
    // The console's receive thread completes the open reply with "!".
    auto first = client_->Next(2s);
    auto second = client_->Next(2s);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->text, "@RS" + kAck);
    EXPECT_EQ(second->text, "!");
    EXPECT_FALSE(client_->Next(700ms)) << "no final answer after a reset";
    const int64_t stoppedAt = server_->Position('x');
    EXPECT_GT(stoppedAt, 0);
    EXPECT_LT(stoppedAt, 100000);
    EXPECT_EQ(Ask("@X\r").substr(0, 4), "@X I");
    server_->Inspect([](sim::PeltoController& c) { EXPECT_EQ(c.Settings().startHz, 100u); });
    EXPECT_EQ(Ask("#S200\r"), kAck) << "normal requests pass again";
}

TEST_F(SimExchange, StopEndsAWaitAndKeepsTheSettings) {
    ASSERT_EQ(Ask("#S500\r"), kAck);
    ASSERT_EQ(Ask("W60000\r"), kNak);
    EXPECT_EQ(Ask("@S\r"), "@RS" + kAck);
    EXPECT_EQ(client_->NextNormal(1s), "!");
    server_->Inspect([](sim::PeltoController& c) { EXPECT_EQ(c.Settings().startHz, 500u); });
}

TEST_F(SimExchange, HaltRampsDownThenAnswers) {
    ASSERT_EQ(Ask("#S100\r"), kAck);
    ASSERT_EQ(Ask("#E1,2000\r"), kAck);
    ASSERT_EQ(Ask("#R400\r"), kAck);
    ASSERT_EQ(Ask("L1,x100000\r"), kNak);  // about 50 s if not halted
    std::this_thread::sleep_for(600ms);
    const auto halted = std::chrono::steady_clock::now();
    EXPECT_EQ(Ask("@B\r"), "@B" + kAck);
    EXPECT_EQ(Ask("@X\r").substr(0, 4), "@X H");
    const int64_t atHalt = server_->Position('x');
    ASSERT_EQ(client_->NextNormal(5s), kAck);
    const auto ramp = std::chrono::steady_clock::now() - halted;
    EXPECT_GE(ramp, 300ms);  // the ramp down takes the ramp length
    EXPECT_LT(ramp, 3s);
    EXPECT_GT(server_->Position('x'), atHalt) << "it went on while ramping down";
    EXPECT_LT(server_->Position('x'), 100000);
}

TEST_F(SimExchange, PauseHoldsAMoveAndContinueResumesIt) {
    ASSERT_EQ(Ask("L1,x800\r"), kNak);  // 100 to 1000 Hz: about 1 s
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(Ask("@A\r"), "@A" + kAck);
    const int64_t held = server_->Position('x');
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(server_->Position('x'), held);
    EXPECT_FALSE(client_->NextNormal(10ms)) << "no final answer while paused";
    EXPECT_EQ(Ask("@C\r"), "@A" + kAck);
    EXPECT_EQ(client_->NextNormal(5s), kAck);
    EXPECT_EQ(server_->Position('x'), 800);
}

TEST_F(SimExchange, ReferenceRunEndsAtTheOffset) {
    ASSERT_EQ(Ask("#Ox,25\r"), kAck);
    ASSERT_EQ(Ask("#Oz,-7\r"), kAck);
    ASSERT_EQ(Ask("L1,x300,y40,z90\r"), kNak);
    ASSERT_EQ(client_->NextNormal(5s), kAck);
    ASSERT_EQ(Ask("$Hzx\r"), kNak);
    ASSERT_EQ(client_->NextNormal(5s), kAck);
    EXPECT_EQ(Ask("@Lx\r"), "@Lx 25" + kAck);
    EXPECT_EQ(Ask("@Ly\r"), "@Ly 40" + kAck);
    EXPECT_EQ(Ask("@Lz\r"), "@Lz -7" + kAck);
    EXPECT_EQ(Ask("@X\r"), "@X I--500" + kAck);  // x and z referenced
}

TEST_F(SimExchange, NormalRequestDuringAMoveWaitsForItsEnd) {
    ASSERT_EQ(Ask("W200\r"), kNak);
    client_->Send("#S300\r");
    EXPECT_EQ(client_->NextNormal(3s), kAck);  // the wait's final answer
    EXPECT_EQ(client_->NextNormal(3s), kAck);  // then the held setting
    server_->Inspect([](sim::PeltoController& c) { EXPECT_EQ(c.Settings().startHz, 300u); });
}

TEST_F(SimExchange, MoveOutsideTheTravelIsRefused) {
    EXPECT_EQ(Ask("L1,X100000000\r"), "E7" + kBel);
    EXPECT_EQ(Ask("#S0\r"), kAck);
    EXPECT_EQ(Ask("#E1,0\r"), kAck);
    EXPECT_EQ(Ask("L1,x10\r"), "E6" + kBel) << "a move without speed never arrives";
}

TEST_F(SimExchange, TimeScaleShortensWaits) {
    SimOptions options;
    options.timeScale = 0.01;
    Open(options);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Ask("W10000\r"), kNak);
    ASSERT_EQ(client_->NextNormal(5s), kAck);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
