// The simulator's parts without a terminal: the motion profile, the
// controller on a hand-driven clock, the transmitter queue, the reply
// splitter and the stdin fault commands.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <variant>
#include <vector>

#include "sim/fault_command.h"
#include "sim/inbound_line.h"
#include "sim/motion_profile.h"
#include "sim/output_queue.h"
#include "sim/pelto_controller.h"
#include "sim/reply_splitter.h"

namespace {

using namespace std::chrono_literals;
using sim::SimTime;

TEST(SimMotionProfile, TrapezoidTakesBothRampsAndTheRunBetween) {
    // 100 to 1000 Hz in 100 ms covers 55 steps each way; 890 steps at 1000 Hz.
    const sim::MotionProfile p(100, 1000, 100, 1000);
    EXPECT_NEAR(p.DurationMs(), 1090, 1e-6);
    EXPECT_NEAR(p.StepsAfter(100), 55, 1e-6);
    EXPECT_NEAR(p.StepsAfter(p.DurationMs()), 1000, 1e-6);
    EXPECT_NEAR(p.SpeedAfter(500), 1000, 1e-6);
}

TEST(SimMotionProfile, ShortMoveTurnsBeforeTopSpeed) {
    const sim::MotionProfile p(100, 1000, 100, 50);
    EXPECT_LT(p.DurationMs(), 200);
    EXPECT_NEAR(p.StepsAfter(p.DurationMs()), 50, 1e-6);
    EXPECT_LT(p.SpeedAfter(p.DurationMs() / 2), 1000);
}

TEST(SimMotionProfile, NoRampRunsAtTheHigherSpeed) {
    const sim::MotionProfile p(500, 200, 0, 1000);
    EXPECT_NEAR(p.DurationMs(), 2000, 1e-6);
}

TEST(SimMotionProfile, HaltRampsDownShortOfTheTarget) {
    sim::MotionProfile p(100, 1000, 100, 100000);
    p.HaltAt(500);
    EXPECT_NEAR(p.DurationMs(), 600, 1e-6);  // 1000 Hz down to 100 Hz takes the ramp
    const double covered = p.Steps();
    EXPECT_NEAR(covered, 55 + 400 + 55, 1e-6);
    double last = 0;
    for (double t = 0; t <= 700; t += 10) {
        EXPECT_GE(p.StepsAfter(t), last) << "never backwards, at " << t;
        last = p.StepsAfter(t);
    }
    EXPECT_NEAR(last, covered, 1e-6);
}

class SimControllerOnHandClock : public ::testing::Test {
protected:
    std::string Feed(const std::string& bytes) {
        controller_.Receive(bytes);
        return Drain();
    }
    std::string Advance(std::chrono::milliseconds ms) {
        now_ += ms;
        controller_.Poll();
        return Drain();
    }
    std::string Drain() {
        std::string out;
        for (const sim::Reply& r : controller_.TakeReplies()) {
            out += r.bytes;
        }
        return out;
    }

    SimTime now_{};
    sim::PeltoController controller_{[this] { return now_; }};
};

TEST_F(SimControllerOnHandClock, FinalAnswerComesExactlyWhenDue) {
    EXPECT_EQ(Feed("W1000\r"), "\x15");
    EXPECT_EQ(*controller_.NextEvent(), now_ + 1000ms);
    EXPECT_EQ(Advance(999ms), "");
    EXPECT_EQ(Advance(1ms), "\x06");
    EXPECT_FALSE(controller_.NextEvent());
}

TEST_F(SimControllerOnHandClock, TimeScaleStretchesDeviceTime) {
    controller_.SetTimeScale(2.0);
    Feed("W100\r");
    EXPECT_EQ(Advance(150ms), "");
    EXPECT_EQ(Advance(50ms), "\x06");
}

TEST_F(SimControllerOnHandClock, HaltEndsAWaitAtOnce) {
    Feed("W5000\r");
    Advance(10ms);
    EXPECT_EQ(Feed("@B\r"), std::string("@B\x06") + "\x06");
}

TEST_F(SimControllerOnHandClock, PausedTimeDoesNotCount) {
    Feed("W100\r");
    Advance(50ms);
    Feed("@A\r");
    EXPECT_FALSE(controller_.NextEvent());
    EXPECT_EQ(Advance(1000ms), "");
    Feed("@C\r");
    EXPECT_EQ(Advance(49ms), "");
    EXPECT_EQ(Advance(1ms), "\x06");
}

TEST_F(SimControllerOnHandClock, HeldRequestsWaitButImmediateOnesDoNot) {
    Feed("W100\r");
    EXPECT_EQ(Feed("#S300\r@X\r"), "@X W--000\x06");
    EXPECT_EQ(Advance(100ms), "\x06\x06");  // final answer, then the held setting
    EXPECT_EQ(controller_.Settings().startHz, 300u);
}

TEST_F(SimControllerOnHandClock, RequestsArriveInPieces) {
    EXPECT_EQ(Feed("#S2"), "");
    EXPECT_EQ(Feed("00\r#R"), "\x06");
    EXPECT_EQ(Feed("50\r"), "\x06");
    EXPECT_EQ(controller_.Settings().rampMs, 50u);
}

TEST_F(SimControllerOnHandClock, ResetAbandonsAProgramTransfer) {
    Feed("*PW2\r");
    Feed("Head");
    EXPECT_EQ(controller_.StatusText()[2], 'H');
    Feed("@R\r");
    EXPECT_EQ(controller_.StatusText()[2], '-');
    EXPECT_EQ(Feed("#S200\r"), "\x06");
    EXPECT_FALSE(controller_.Memory().Occupied(2));
}

TEST_F(SimControllerOnHandClock, RefusedEndMarksDropTheTransfer) {
    controller_.RefuseEndMark('\x02', "E8\x07");
    Feed("*PW2\r");
    EXPECT_EQ(Feed("Head\x02"), "E8\x07");
    EXPECT_EQ(controller_.StatusText()[2], '-');
    controller_.RefuseEndMark('\x03', "X\r");
    Feed("*PW2\r");
    EXPECT_EQ(Feed("Head\x02" "A1,1\r"), std::string("\x06\x06"));  // refused once only
    EXPECT_EQ(Feed("\x03"), "X\r");
    EXPECT_EQ(Feed("#S200\r"), "\x06");
    EXPECT_FALSE(controller_.Memory().Occupied(2));
}

TEST_F(SimControllerOnHandClock, EraseIsNotCutShortByStop) {
    Feed("*PW1\r");
    Feed("H\x02" "A1,1\r\x03");
    EXPECT_EQ(Feed("*PE1\r"), "*PE1\x15");
    EXPECT_EQ(Feed("@S\r"), "@RS\x06");
    EXPECT_EQ(Advance(std::chrono::milliseconds(int(sim::PeltoController::kEraseMsPerSlot))), "\x06");
    EXPECT_FALSE(controller_.Memory().Occupied(1));
}

TEST(SimOutputQueue, PacedImmediateReplySitsBetweenNormalCharacters) {
    sim::OutputQueue q;
    const SimTime t0{};
    const auto byte = std::chrono::nanoseconds(1'000'000);  // 1 ms per byte
    q.Push({"ABCDEF\r", false}, t0);
    // A byte is through once its last bit is: two by 2 ms.
    EXPECT_EQ(q.TakeDue(t0 + 2ms, byte), "AB");
    q.Push({"@X 1\x06", true}, t0 + 2ms);
    EXPECT_EQ(q.TakeDue(t0 + 20ms, byte), "@X 1\x06" "CDEF\r");
    EXPECT_TRUE(q.Empty());
}

TEST(SimOutputQueue, NothingLeavesBeforeItIsDue) {
    sim::OutputQueue q;
    const SimTime t0{};
    q.Push({"\x06", false}, t0 + 50ms);
    EXPECT_EQ(q.TakeDue(t0 + 49ms, {}), "");
    EXPECT_EQ(*q.NextDue(), t0 + 50ms);
    EXPECT_EQ(q.TakeDue(t0 + 50ms, {}), "\x06");
}

struct SplitCase {
    const char* name;
    std::string input;
    std::vector<sim::ReplySplitter::Piece> pieces;
    std::string partial;  // bytes still waiting for their end
};

TEST(SimReplySplitter, CutsTheStreamLikeTheConsole) {
    using P = sim::ReplySplitter::Piece;
    const SplitCase cases[] = {
        {"error reply", "E1\x07", {P{"E1\x07", false}}, ""},
        {"lone ACK", "\x06", {P{"\x06", false}}, ""},
        {"NAK then final", "\x15" "E7\x07", {P{"\x15", false}, P{"E7\x07", false}}, ""},
        {"NAK, final pending", "\x15" "E7", {P{"\x15", false}}, "E7"},
        {"leading CR", "\rOK\r", {P{"\rOK\r", false}}, ""},
        {"reset completes", "V1.0@RS\x06", {P{"@RS\x06", true}, P{"V1.0!", false}}, ""},
        {"@ inside a reply", "*PR@B\x06" "1\r", {P{"@B\x06", true}, P{"*PR1\r", false}}, ""},
        {"@ reply amid an open one", "*PR@B\x06" "1", {P{"@B\x06", true}}, "*PR1"},
        {"echo with NAK", "*PE3\x15\x06", {P{"*PE3\x15", false}, P{"\x06", false}}, ""},
    };
    for (const SplitCase& c : cases) {
        sim::ReplySplitter s;
        s.Feed(c.input);
        EXPECT_EQ(s.Take(), c.pieces) << c.name;
        EXPECT_EQ(s.Partial(), c.partial) << c.name;
    }
}

TEST(SimFaultCommand, ParsesTheStdinCommands) {
    using Kind = sim::FaultCommand::Kind;
    auto parse = [](const char* line) { return std::get<sim::FaultCommand>(sim::ParseFaultCommand(line)); };
    EXPECT_TRUE(parse("silent on").on);
    EXPECT_FALSE(parse(" silent off ").on);
    EXPECT_EQ(parse("late 250").ms, 250ms);
    EXPECT_EQ(parse("drop 1000").kind, Kind::Drop);
    EXPECT_EQ(parse("garbage 41 15 07").bytes, "A\x15\x07");
    EXPECT_EQ(parse("garbage 411507").bytes, "A\x15\x07");
    EXPECT_EQ(parse("at X 999999").bytes, "@X 999999\x06");
    EXPECT_EQ(parse("quit").kind, Kind::Quit);
    const sim::ReplyRule regel = parse("rule 2 @X 5:4058 300:2006").rule;
    EXPECT_EQ(regel.request, "@X\r");
    EXPECT_EQ(regel.times, 2);
    ASSERT_EQ(regel.parts.size(), 2u);
    EXPECT_EQ(regel.parts[1].after, 300ms);
    EXPECT_EQ(regel.parts[1].bytes, " \x06");
    EXPECT_TRUE(parse("rule 1 Q1").rule.parts.empty());  // never answered
    EXPECT_EQ(parse("refuse stx 453807").bytes, "E8\x07");
    EXPECT_EQ(parse("refuse etx 15").mark, '\x03');
    for (const char* bad : {"silent", "late", "late -1", "late 5x", "drop 99999999", "garbage 4", "garbage zz",
                            "garbage", "at", "dance", "rule", "rule 0 Q1", "rule 1 Q1 5", "rule 1 Q1 x:06",
                            "rule 1 Q1 5:0", "refuse", "refuse stx", "refuse cr 06", "refuse etx 0"}) {
        EXPECT_TRUE(std::holds_alternative<std::string>(sim::ParseFaultCommand(bad))) << bad;
    }
}

}  // namespace

namespace {

TEST(SimInboundLine, BytesArriveOneByteTimeApart) {
    sim::InboundLine line;
    const SimTime t0{};
    EXPECT_EQ(line.Arrive(3, t0, 1ms), t0 + 3ms);
    // Read while the first three are still on the line: queued behind them.
    EXPECT_EQ(line.Arrive(1, t0 + 2500us, 1ms), t0 + 4ms);
    EXPECT_EQ(line.Arrive(2, t0 + 10ms, 1ms), t0 + 12ms);
    EXPECT_EQ(line.Arrive(6, t0 + 20ms, 0ns), t0 + 20ms);  // unpaced
}

}  // namespace
