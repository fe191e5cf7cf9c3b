// The strict readings of the line and its timing, each on its own, seen
// from the console's end of the pseudo-terminal: when bytes arrive, in what
// pieces, what a dropped line leaves behind, and what the terminal is set to.
#include <gtest/gtest.h>
#include <termios.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/raw_serial_client.h"
#include "sim/sim_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::StrictProfile;

const std::string kAck = "\x06";
const std::string kBel = "\x07";

struct Line {
    explicit Line(StrictProfile strict, unsigned baud = 115200) : server(Options(strict)) {
        server.Start();
        client = std::make_unique<sim::RawSerialClient>(server.DevicePath(), baud);
    }
    static sim::SimOptions Options(StrictProfile strict) {
        sim::SimOptions o;
        o.strict = strict;
        o.timeScale = 0.01;
        return o;
    }
    // A program of `lines` lines in slot 1, written the way the console does.
    void Program(int lines) {
        client->Send("*PW1\r");
        ASSERT_TRUE(client->NextNormal(5s));
        client->Send("kopf\x02");
        ASSERT_TRUE(client->NextNormal(5s));
        for (int i = 0; i < lines; ++i) {
            client->Send("A1," + std::to_string(i % 2) + "\r");
            ASSERT_TRUE(client->NextNormal(5s));
        }
        client->Send("\x03");
        ASSERT_TRUE(client->NextNormal(5s));
    }
    // The bursts of raw bytes as they came in, each with the time of its
    // first byte: a burst ends with a silence of `gap`, the last one with
    // a silence of `end` (the first may take up to 5 s to come).
    std::vector<std::pair<Clock::time_point, std::string>> Bursts(std::chrono::milliseconds gap,
                                                                  std::chrono::milliseconds end = 150ms) {
        std::vector<std::pair<Clock::time_point, std::string>> bursts;
        auto last = Clock::now() + 5s - end;
        for (auto now = Clock::now(); now - last < end; now = Clock::now()) {
            const std::string bytes = client->ReadFor(1ms);
            if (bytes.empty()) continue;
            // Stamped once read: never before the bytes came, so a bound
            // from below cannot fail for a slow reader.
            now = Clock::now();
            if (bursts.empty() || now - last >= gap) bursts.emplace_back(now, "");
            bursts.back().second += bytes;
            last = Clock::now();
        }
        return bursts;
    }
    sim::SimServer server;
    std::unique_ptr<sim::RawSerialClient> client;
};

double MsBetween(Clock::time_point t0, Clock::time_point t1) {
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

double MsSince(Clock::time_point t0) {
    return MsBetween(t0, Clock::now());
}

// How long each request waits for its first reply byte at half its limit.
struct Timed {
    std::string request;
    double limitMs;
};

TEST(SimStrictLine, AtLimitEachReplyWaitsItsShareOfItsLimit) {
    StrictProfile strict;
    strict.atLimit = 0.5;
    Line line(strict);
    line.Program(2);
    for (const Timed& t : std::vector<Timed>{{"@X\r", 20}, {"@L x\r", 40}, {"@V\r", 64}, {"@Ia\r", 128},
                                             {"A1,1\r", 64}, {"#Hx\r", 3000}, {"*PR1H\r", 512}, {"*FR1\r", 64}}) {
        const auto t0 = Clock::now();
        line.client->Send(t.request);
        const auto bursts = line.Bursts(1s, 50ms);
        ASSERT_EQ(bursts.size(), 1u) << t.request;
        EXPECT_GE(MsBetween(t0, bursts[0].first), t.limitMs * 0.5) << t.request;
    }
}

TEST(SimStrictLine, AtLimitReadLinesEachWaitTheLineLimit) {
    StrictProfile strict;
    strict.atLimit = 0.5;
    Line line(strict);
    line.Program(3);
    const auto t0 = Clock::now();
    line.client->Send("*PR1\r");
    const auto pieces = line.Bursts(20ms);
    // echo, header, three lines, end: the first after 256 ms, then 32 ms apart
    ASSERT_EQ(pieces.size(), 6u);
    // Bounds from t0 only: a piece read late would shorten the gap after it.
    for (std::size_t i = 0; i < pieces.size(); ++i) EXPECT_GE(MsBetween(t0, pieces[i].first), 256 + 25.0 * i) << i;
}

TEST(SimStrictLine, AtLimitErasingTakesItsShareOfTheEraseLimit) {
    StrictProfile strict;
    strict.atLimit = 0.1;
    Line line(strict);
    line.server.SetTimeScale(1.0);
    line.Program(1);
    for (const Timed& t : std::vector<Timed>{{"*PE1\r", 3000}, {"*PEa\r", 21000}}) {
        const auto t0 = Clock::now();
        line.client->Send(t.request);
        ASSERT_TRUE(line.client->NextNormal(1s));  // the echo and NAK
        EXPECT_EQ(line.client->NextNormal(5s), kAck) << t.request;
        EXPECT_GE(MsSince(t0), t.limitMs * 0.1) << t.request;
    }
}

TEST(SimStrictLine, DeafAfterResetHearsNothingThenAnswers) {
    StrictProfile strict;
    strict.deafAfterReset = 300ms;
    Line line(strict);
    EXPECT_EQ(line.client->Ask("@R\r"), "@RS" + kAck);
    EXPECT_FALSE(line.client->Ask("@V\r", 150ms));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(line.client->Ask("@V\r", 1s));
    EXPECT_EQ(line.server.Requests(), (std::vector<std::string>{"@R\r", "@V\r"}));
}

TEST(SimStrictLine, UartSplitsRepliesButKeepsTheirBytes) {
    std::vector<std::string> seen;
    for (const bool uart : {false, true}) {
        StrictProfile strict;
        if (uart) strict.uartSeed = 7;
        Line line(strict);
        line.Program(30);
        line.client->Send("*PR1\r*FRa\r");
        std::string all;
        const auto bursts = line.Bursts(1ms);
        for (const auto& burst : bursts) all += burst.second;
        seen.push_back(all);
        EXPECT_TRUE(!uart || bursts.size() >= 3) << bursts.size();
    }
    EXPECT_EQ(seen[1], seen[0]);
}

TEST(SimStrictLine, LinePauseComesBeforeEveryFurtherLineOfAReadOnly) {
    StrictProfile strict;
    // Pauses far apart from the gaps a busy machine makes.
    strict.linePause = 300ms;
    Line line(strict);
    line.Program(2);
    line.client->Send("*PR1\r");
    EXPECT_EQ(line.Bursts(150ms, 600ms).size(), 5u);  // echo, header, two lines, end
    line.client->Send("*FRa\r");
    EXPECT_EQ(line.Bursts(150ms, 600ms).size(), 7u);
    const auto t0 = Clock::now();
    line.client->Send("A1,1\r");
    EXPECT_EQ(line.client->NextNormal(1s), kAck);
    EXPECT_LT(MsSince(t0), 60);
}

// A dropped line: the controller stays in the header it was receiving, so
// a lone CR is header text; only switching it off and on ends that.
TEST(SimStrictLine, KeepStateOnDropKeepsTheTransferUntilPowerCycle) {
    for (const bool keep : {false, true}) {
        StrictProfile strict;
        strict.keepStateOnDrop = keep;
        Line line(strict);
        line.client->Send("*PW1\r");
        ASSERT_TRUE(line.client->NextNormal(1s));
        line.client->Send("halb");
        std::this_thread::sleep_for(50ms);
        line.client.reset();
        const unsigned before = line.server.LineGeneration();
        line.server.DropLine(50ms);
        while (line.server.LineGeneration() == before) std::this_thread::sleep_for(10ms);
        line.client = std::make_unique<sim::RawSerialClient>(line.server.DevicePath());
        EXPECT_EQ(line.client->Ask("@X\r").value_or("").substr(0, 6), keep ? "@X I-H" : "@X I--") << keep;
        EXPECT_EQ(line.client->Ask("\r", 150ms), keep ? std::nullopt : std::optional(std::string("E1") + kBel));
        if (!keep) continue;
        line.server.PowerCycle();
        EXPECT_EQ(line.client->Ask("\r"), "E1" + kBel);
        EXPECT_FALSE(line.server.SlotOccupied(1));
    }
}

TEST(SimStrictLine, PowerCycleKeepsProgramsOnly) {
    Line line({});
    line.Program(1);
    EXPECT_EQ(line.client->Ask("A1,1\r"), kAck);
    EXPECT_EQ(line.client->Ask("@X\r").value_or("").substr(0, 8), "@X I--01");
    line.server.PowerCycle();
    EXPECT_EQ(line.client->Ask("@X\r").value_or("").substr(0, 8), "@X I--00");
    EXPECT_TRUE(line.server.SlotOccupied(1));
}

bool Canonical(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    const bool canonical = fd >= 0 && tcgetattr(fd, &t) == 0 && (t.c_lflag & ICANON);
    if (fd >= 0) close(fd);
    return canonical;
}

TEST(SimStrictLine, TerminalDefaultsAreLeftToTheConsole) {
    for (const bool defaults : {false, true}) {
        StrictProfile strict;
        strict.terminalDefaults = defaults;
        sim::SimServer server(Line::Options(strict));
        server.Start();
        EXPECT_EQ(Canonical(server.DevicePath()), defaults);
    }
}

TEST(SimStrictLine, AnotherBaudRateTurnsBothWaysToGarbage) {
    StrictProfile strict;
    strict.baud = 9600;
    for (const unsigned baud : {9600u, 115200u}) {
        Line line(strict, baud);
        const auto version = line.client->Ask("@V\r", 200ms);
        EXPECT_EQ(version.has_value(), baud == 9600) << baud;
        line.client->Send("@V\r");
        const std::string raw = line.client->ReadFor(100ms);
        EXPECT_EQ(raw.find("Pelto"), baud == 9600 ? 3u : std::string::npos) << baud;
        const auto got = line.server.Requests();
        EXPECT_EQ(std::count(got.begin(), got.end(), "@V\r"), baud == 9600 ? 2 : 0) << baud;
    }
}

}  // namespace
