// The simulator's line: pacing at the console's baud rate, "@" replies inside
// a normal reply, latency and the faults on demand, the symbolic link,
// dropping and reopening the terminal, several simulators at once, and a
// USB adapter that holds replies for its latency timer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/raw_serial_client.h"
#include "sim/sim_server.h"
#include "sim/usb_adapter.h"

namespace {

using namespace std::chrono_literals;
using sim::RawSerialClient;
using sim::SimOptions;
using sim::SimServer;
using Clock = std::chrono::steady_clock;

const std::string kAck = "\x06";
const std::string kNak = "\x15";
const std::string kBel = "\x07";
const std::string kStx = "\x02";
const std::string kEtx = "\x03";

std::string TempLinkPath() {
    const auto dir = std::filesystem::temp_directory_path();
    return (dir / ("pelto-sim-test-" + std::to_string(getpid()) + "-" +
                   std::to_string(Clock::now().time_since_epoch().count())))
        .string();
}

// Writes a program of `lines` lines of `width` characters into slot 1.
void WriteProgram(RawSerialClient& client, int lines, std::size_t width) {
    ASSERT_EQ(client.Ask("*PW1\r"), "*PW1" + kAck);
    client.Send("H");
    ASSERT_EQ(client.Ask(kStx), kAck);
    for (int i = 0; i < lines; ++i) {
        ASSERT_EQ(client.Ask(std::string(width, char('a' + i)) + "\r"), kAck);
    }
    ASSERT_EQ(client.Ask(kEtx), kAck);
}

TEST(SimLine, PacesAtTheBaudRateAndSlipsImmediateRepliesIn) {
    SimOptions options;
    options.pace = true;
    SimServer server(options);
    server.Start();
    RawSerialClient client(server.DevicePath(), 4800);  // 480 bytes per second
    WriteProgram(client, 4, 100);                       // reads back as about 420 bytes

    const auto start = Clock::now();
    client.Send("*PR1\r");
    std::this_thread::sleep_for(300ms);
    client.Send("@V\r");
    std::vector<RawSerialClient::Piece> pieces;
    while (auto piece = client.Next(2s)) {
        pieces.push_back(*piece);
        if (!piece->immediate && piece->text.back() == kAck[0]) {
            break;
        }
    }
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 700ms) << "420 bytes at 4800 baud take about 0.9 s";
    EXPECT_LT(took, 5s);

    std::vector<std::string> normal;
    int immediateAt = -1;
    for (const auto& piece : pieces) {
        if (piece.immediate) {
            EXPECT_EQ(piece.text, "@V " + std::string(sim::PeltoController::kVersionText) + kAck);
            immediateAt = int(normal.size());
        } else {
            normal.push_back(piece.text);
        }
    }
    std::vector<std::string> expected = {"*PR1\r", "H" + kStx};
    for (int i = 0; i < 4; ++i) {
        expected.push_back(std::string(100, char('a' + i)) + "\r");
    }
    expected.push_back(kEtx + kAck);
    EXPECT_EQ(normal, expected) << "the normal reply is not disturbed";
    EXPECT_GT(immediateAt, 0);
    EXPECT_LT(immediateAt, int(expected.size())) << "answered during the read, not after it";
}

TEST(SimLine, LatencyDelaysEveryReply) {
    SimOptions options;
    options.latency = 150ms;
    SimServer server(options);
    server.Start();
    RawSerialClient client(server.DevicePath());
    const auto start = Clock::now();
    EXPECT_EQ(client.Ask("#S200\r"), kAck);
    EXPECT_GE(Clock::now() - start, 140ms);
}

// A USB adapter holds what the controller sends until its timer runs out,
// counted from the first byte waiting, or a 62-byte packet is full.
TEST(SimLine, AdapterHoldsRepliesForItsTimer) {
    using sim::UsbAdapter;
    const sim::SimTime t0 = Clock::now();
    UsbAdapter a(16ms);
    a.Take(std::string(10, 'x'), t0);
    EXPECT_EQ(a.Release(t0 + 15ms), "");
    EXPECT_EQ(a.NextRelease(), t0 + 16ms);
    a.Take("y", t0 + 10ms);  // joins the wait, does not restart it
    EXPECT_EQ(a.Release(t0 + 16ms), std::string(10, 'x') + "y");
    a.Take(std::string(130, 'z'), t0 + 20ms);
    EXPECT_EQ(a.Release(t0 + 20ms).size(), 2 * UsbAdapter::kPaket);
    EXPECT_EQ(a.Release(t0 + 36ms).size(), 130 - 2 * UsbAdapter::kPaket);
    EXPECT_EQ(a.NextRelease(), std::nullopt);
    UsbAdapter ohne;
    ohne.Take("abc", t0);
    EXPECT_EQ(ohne.Release(t0), "abc");

    for (const auto timer : {0ms, 16ms}) {
        SimOptions options;
        options.adapter = timer;
        SimServer server(options);
        server.Start();
        RawSerialClient client(server.DevicePath());
        const auto start = Clock::now();
        EXPECT_EQ(client.Ask("#S200\r"), kAck);
        const auto dauer = Clock::now() - start;
        EXPECT_GE(dauer, timer);
        if (timer == 0ms) {
            EXPECT_LT(dauer, 14ms);
        }
    }
}

TEST(SimLine, SilentAnswersNothingButStillListens) {
    SimOptions options;
    options.silent = true;
    SimServer server(options);
    server.Start();
    RawSerialClient client(server.DevicePath());
    EXPECT_FALSE(client.Ask("#S300\r", 300ms));
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(server.Requests().back(), "#S300\r");
    server.SetSilent(false);
    EXPECT_EQ(client.Ask("#S200\r"), kAck);
}

TEST(SimLine, LateRepliesComeLate) {
    SimServer server;
    server.Start();
    RawSerialClient client(server.DevicePath());
    server.SetLate(300ms);
    const auto start = Clock::now();
    EXPECT_FALSE(client.Ask("@V\r", 64ms)) << "too late for the console's version query";
    EXPECT_TRUE(client.NextImmediate(2s));
    EXPECT_GE(Clock::now() - start, 290ms);
    server.SetLate(0ms);
    EXPECT_TRUE(client.Ask("@V\r", 500ms));
}

TEST(SimLine, InjectsGarbage) {
    SimServer server;
    server.Start();
    RawSerialClient client(server.DevicePath());
    server.InjectGarbage("A\x15\x07");
    EXPECT_EQ(client.ReadFor(300ms), "A\x15\x07");
}

TEST(SimLine, ConsoleMayCloseAndReopenTheDevice) {
    SimServer server;
    server.Start();
    {
        RawSerialClient first(server.DevicePath());
        EXPECT_EQ(first.Ask("\r"), "E1" + kBel);
    }
    RawSerialClient second(server.DevicePath());
    EXPECT_EQ(second.Ask("\r"), "E1" + kBel);
}

TEST(SimLine, DropsTheLineAndOpensANewOne) {
    const std::string link = TempLinkPath();
    SimOptions options;
    options.linkPath = link;
    SimServer server(options);
    server.Start();
    const unsigned generation = server.LineGeneration();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.DevicePath());
    RawSerialClient client(link);
    ASSERT_EQ(client.Ask("L1,x50\r"), kNak);
    ASSERT_EQ(client.NextNormal(3s), kAck);

    server.DropLine(300ms);
    client.ReadFor(200ms);
    EXPECT_TRUE(client.LineLost());
    EXPECT_TRUE(server.DevicePath().empty());

    const auto deadline = Clock::now() + 5s;
    while (server.LineGeneration() == generation && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(server.LineGeneration(), generation + 1);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.DevicePath());
    RawSerialClient again(link);
    EXPECT_EQ(again.Ask("@Lx\r"), "@Lx 50" + kAck) << "the controller itself kept its state";
    server.Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the server";
}

TEST(SimLine, RefusesToReplaceAFileWithItsLink) {
    const std::string path = TempLinkPath();
    { std::FILE* f = std::fopen(path.c_str(), "w"); ASSERT_TRUE(f); std::fclose(f); }
    SimOptions options;
    options.linkPath = path;
    SimServer server(options);
    EXPECT_THROW(server.Start(), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    std::filesystem::remove(path);
}

TEST(SimLine, SeveralSimulatorsRunSideBySide) {
    SimServer a;
    SimServer b;
    a.Start();
    b.Start();
    ASSERT_NE(a.DevicePath(), b.DevicePath());
    RawSerialClient ca(a.DevicePath());
    RawSerialClient cb(b.DevicePath());
    ASSERT_EQ(ca.Ask("L1,X20\r"), kNak);
    ASSERT_EQ(ca.NextNormal(3s), kAck);
    EXPECT_EQ(ca.Ask("@Lx\r"), "@Lx 20" + kAck);
    EXPECT_EQ(cb.Ask("@Lx\r"), "@Lx 0" + kAck);
}

TEST(SimLine, StopsPromptlyDuringALongWait) {
    SimServer server;
    server.Start();
    RawSerialClient client(server.DevicePath());
    ASSERT_EQ(client.Ask("W3600000\r"), kNak);
    const auto start = Clock::now();
    server.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
}

}  // namespace
