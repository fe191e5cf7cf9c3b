// A terminal set raw, on a real pseudo-terminal that starts cooked and with
// the flags each kind of caller must clear or keep.
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/raw_terminal.h"

#include <gtest/gtest.h>

namespace {

struct RawFall {
    const char* name;
    platform::RawTerminal wie;
    tcflag_t cflagAn, cflagAus, iflagAn, iflagAus;
    cc_t vmin, vtime;
    speed_t speed;
};
void PrintTo(const RawFall& fall, std::ostream* os) { *os << fall.name; }

constexpr tcflag_t kCflagVorher = CSTOPB | CRTSCTS | HUPCL;
constexpr tcflag_t kIflagVorher = IXOFF | IXANY | INPCK | ICRNL;

class RawTerminalTest : public ::testing::TestWithParam<RawFall> {
protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
        termios t {};
        ASSERT_EQ(tcgetattr(slave_, &t), 0);
        t.c_cflag = (t.c_cflag | kCflagVorher) & ~tcflag_t(CLOCAL);
        t.c_iflag |= kIflagVorher;
        t.c_lflag |= ICANON | ECHO | ISIG;
        t.c_cc[VMIN] = 5;
        t.c_cc[VTIME] = 3;
        cfsetspeed(&t, B38400);
        ASSERT_EQ(tcsetattr(slave_, TCSANOW, &t), 0);
    }
    void TearDown() override {
        close(slave_);
        close(master_);
    }
    termios Jetzt() const {
        termios t {};
        tcgetattr(slave_, &t);
        return t;
    }
    int master_ = -1, slave_ = -1;
};

TEST_P(RawTerminalTest, SetztWasDerAufruferBraucht) {
    const RawFall& fall = GetParam();
    ASSERT_TRUE(platform::SetRaw(slave_, fall.wie));
    const termios t = Jetzt();
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & ICRNL, 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & (fall.cflagAn | fall.cflagAus), fall.cflagAn);
    EXPECT_EQ(t.c_iflag & (fall.iflagAn | fall.iflagAus), fall.iflagAn);
    EXPECT_EQ(t.c_cc[VMIN], fall.vmin);
    EXPECT_EQ(t.c_cc[VTIME], fall.vtime);
    EXPECT_EQ(cfgetospeed(&t), fall.speed);
    EXPECT_EQ(cfgetispeed(&t), fall.speed);
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, RawTerminalTest,
    ::testing::Values(
        // A pseudo-terminal's own end: only what raw means, the rest stays.
        RawFall {"Nur", {}, kCflagVorher, CLOCAL, IXOFF | IXANY | INPCK, 0, 1, 0, B38400},
        RawFall {"Leitung", {.serialLine = true, .baud = 9600}, CRTSCTS | HUPCL | CLOCAL | CREAD, CSTOPB,
                 IXANY | INPCK, IXOFF, 1, 0, B9600},
        RawFall {"Port", {.serialLine = true, .noHandshake = true}, CLOCAL | CREAD, kCflagVorher, 0,
                 IXOFF | IXANY | INPCK, 1, 0, B38400},
        RawFall {"OhneWarten", {.serialLine = true, .baud = 115200, .readsWaitForOneByte = false}, CLOCAL,
                 CSTOPB, 0, IXOFF, 5, 3, B115200}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RawTerminalTest, RateAusserhalbDerTabelleLaesstDasTerminalWieEsWar) {
    errno = 0;
    EXPECT_FALSE(platform::SetRaw(slave_, {.baud = 12345}));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_NE(Jetzt().c_lflag & ICANON, 0u);
}

}  // namespace
