// Opening and closing the port, the port list, and a port that dies.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "common/fehler.h"
#include "common/schnittstellen.h"
#include "platform/baud_rate.h"
#include "support/link_fixture.h"

using namespace cc;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

size_t Zaehle(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

TEST_F(LinkFixture, InitLogsAndStartsTheLink) {
    Oeffnen();
    EXPECT_EQ(com_->bAppStarted, 1);
    const auto log = Protokoll();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "keloCOM->Init(7, 115200)");
    EXPECT_EQ(log[1], "keloCOM->Init(7, 115200) :: iSleep=0");
    // A pseudo-terminal has no low-latency flag to set; said once.
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2], "keloCOM->Init(7, 115200) :: ASYNC_LOW_LATENCY: Inappropriate ioctl for device");
}

TEST_F(LinkFixture, InitOnPortZeroRaisesComPortError) {
    EXPECT_EQ(Fehler([&] { com_->Init(0, 9600); }), COM_PORT_ERROR);
    EXPECT_EQ(Protokoll(), std::vector<std::string>{"keloCOM->Init(0, 9600)"});
    EXPECT_EQ(com_->bAppStarted, 0);
}

TEST_F(LinkFixture, InitOnAMissingPortGivesErrorTwo) {
    ::setenv("PELTO_COM9", (tmp_.Path() + "/no-such-tty").c_str(), 1);
    EXPECT_EQ(Fehler([&] { com_->Init(9, 9600); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(Protokoll(), (std::vector<std::string>{"keloCOM->Init(9, 9600)",
                                                     "keloCOM->Init(9, 9600) :: GetLastError()=2"}));
    EXPECT_FALSE(com_->HatPort());
}

// The baud box is editable: any rate the device takes is set exactly, also
// those outside the termios table; a rate it refuses fails the open.
TEST_F(LinkFixture, InitSetsAnyRateTheDeviceTakes) {
    const int fd = ::open(peer_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (uint32_t baud : {9600u, 14400u, 28800u, 56000u, 115200u, 128000u, 250000u, 1234567u}) {
        EXPECT_EQ(Fehler([&] { com_->Init(kPort, baud); }), 0) << baud;
        EXPECT_EQ(platform::BaudRate(fd), baud);
        com_->UnInit();
    }
    EXPECT_EQ(Fehler([&] { com_->Init(kPort, 0); }), HANDLE_COM_PORT_ERROR);
    EXPECT_EQ(Protokoll().back(), "keloCOM->Init(7, 0) :: GetLastError()=22");
    ::close(fd);
}

TEST_F(LinkFixture, InitOnABusyPortTriesTwentyTimes) {
    const int holder = ::open(peer_->SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const auto t0 = Clock::now();
    EXPECT_EQ(Fehler([&] { Oeffnen(); }), HANDLE_COM_PORT_ERROR);
    const auto took = MsSince(t0);
    EXPECT_GE(took, 4500);
    EXPECT_LT(took, 15000);
    EXPECT_EQ(Zaehle(Protokoll(), "keloCOM->Init(7, 115200) :: GetLastError()=5"), 20u);
    ::close(holder);
}

TEST_F(LinkFixture, SecondOpenerOfAnOpenPortIsRefused) {
    Oeffnen();
    TkeloCOM other;
    const auto t0 = Clock::now();
    EXPECT_EQ(Fehler([&] { other.Init(kPort, 115200); }), HANDLE_COM_PORT_ERROR);
    EXPECT_GE(MsSince(t0), 4500);
}

TEST_F(LinkFixture, UnInitTwiceTouchesNothingTheSecondTime) {
    Oeffnen();
    com_->UnInit();
    com_->UnInit();
    const auto log = Protokoll();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[3], "keloCOM->UnInit() :: Thread beendet!");
    EXPECT_EQ(log[4], "");
    EXPECT_EQ(log[5], "keloCOM->UnInit() :: bAppStarted=0");
    EXPECT_EQ(log[6], "");
}

TEST_F(LinkFixture, ReopenAfterUnInit) {
    Oeffnen();
    com_->UnInit();
    Oeffnen();
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("T1\r", 500);
    EXPECT_EQ(std::string(com_->szResp), ACK);
}

TEST_F(LinkFixture, UnInitReturnsWhileAReplyWaitsForItsTakerWhoGaveUp) {
    Oeffnen();
    peer_->Expect("T1\r", {{300, ACK}});
    peer_->Expect("@R\r", {{300, "@B" + ACK}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("T1\r", 64); }), WAIT_TIMEOUT_ERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the late ACK is now stuck in hand-over
    const auto t0 = Clock::now();
    com_->UnInit();
    EXPECT_LT(MsSince(t0), 2000);
}

TEST_F(LinkFixture, DeadPortIsLoggedOnceAndDoesNotSpin) {
    Oeffnen();
    peer_->Hangup();
    rusage before {}, after {};
    ::getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpuMs = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000LL + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000;
    };
    EXPECT_LT(cpuMs(after) - cpuMs(before), 300);
    const auto log = Protokoll();
    const auto fails = std::count_if(log.begin(), log.end(), [](const std::string& l) {
        return l.rfind("keloCOM_thread->Execute() :: ReadFile GetLastError()=", 0) == 0;
    });
    EXPECT_EQ(fails, 1);
    const auto t0 = Clock::now();
    com_->UnInit();
    EXPECT_LT(MsSince(t0), 1000);
}

class ListeFake : public PortListe {
public:
    void Leeren() override {
        namen.clear();
        ++geleert;
    }
    void Hinzufuegen(const std::string& name) override { namen.push_back(name); }
    std::vector<std::string> namen{"alt"};
    int geleert = 0;
};

TEST_F(LinkFixture, PortListShowsMappedTerminalsInOrder) {
    ScriptedPeer second;
    ::setenv("PELTO_COM12", second.SlavePath().c_str(), 1);
    ::setenv("PELTO_COM3", peer_->SlavePath().c_str(), 1);
    std::ofstream(tmp_.File("plain")) << "x";
    ::setenv("PELTO_COM5", tmp_.File("plain").c_str(), 1);
    ::setenv("PELTO_COM6", tmp_.File("missing").c_str(), 1);
    ListeFake liste;
    Schnittstellen_suchen(&liste, nullptr);
    EXPECT_EQ(liste.geleert, 1);
    auto pos = [&](const std::string& n) { return std::find(liste.namen.begin(), liste.namen.end(), n); };
    ASSERT_NE(pos("COM3"), liste.namen.end());
    ASSERT_NE(pos("COM12"), liste.namen.end());
    EXPECT_LT(pos("COM3"), pos("COM12"));
    EXPECT_EQ(pos("COM5"), liste.namen.end());
    EXPECT_EQ(pos("COM6"), liste.namen.end());
    EXPECT_EQ(pos("alt"), liste.namen.end());
    for (const auto& n : liste.namen) {
        const int num = std::stoi(n.substr(3));
        EXPECT_TRUE(num >= 1 && num <= 63) << n;
    }
    for (const char* v : {"PELTO_COM12", "PELTO_COM3", "PELTO_COM5", "PELTO_COM6"}) ::unsetenv(v);
}

}  // namespace
