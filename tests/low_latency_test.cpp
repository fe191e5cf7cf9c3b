// Low latency asked of a serial device while it is open, and put back at
// close, with an adapter's latency timer in a fake sysfs tree beside a real
// pseudo-terminal.
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/serial_port.h"
#include "platform/sysfs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct TimerFall {
    const char* name;
    const char* vorher;  // nullptr: the adapter has no timer; "": refuses writes
    const char* offen;   // while open
    const char* notiz;   // expected in the note besides the flag's refusal
};

class LowLatencyTest : public ::testing::TestWithParam<TimerFall> {
protected:
    void SetUp() override {
        char name[64] = {};
        ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        pfad_ = name;
        platform::SetSysfsRoot(tmp_.Path());
        timer_ = tmp_.File("class/tty/" + fs::path(pfad_).filename().string() + "/device/latency_timer");
    }
    void TearDown() override {
        platform::SetSysfsRoot("");
        close(slave_);
        close(master_);
    }
    std::string Timer() const {
        std::ifstream in(timer_);
        std::string zeile;
        std::getline(in, zeile);
        return zeile;
    }

    TempDir tmp_;
    int master_ = -1, slave_ = -1;
    std::string pfad_, timer_;
};

TEST_P(LowLatencyTest, TimerWhileOpenAndBackAtClose) {
    const TimerFall& f = GetParam();
    if (f.vorher) {
        fs::create_directories(fs::path(timer_).parent_path());
        if (*f.vorher) {
            std::ofstream(timer_) << f.vorher << "\n";
        } else {
            fs::create_symlink("/proc/version", timer_);  // refuses writes, even root's
        }
    }
    auto port = platform::SerialPort::Open(pfad_, 115200);
    ASSERT_TRUE(port);
    // A pseudo-terminal has no driver flag: refused, said, no error.
    EXPECT_TRUE(port->LatencyNote().starts_with("ASYNC_LOW_LATENCY: ")) << port->LatencyNote();
    EXPECT_NE(port->LatencyNote().find(f.notiz), std::string::npos) << port->LatencyNote();
    const bool datei = f.vorher && *f.vorher;
    if (datei) {
        EXPECT_EQ(Timer(), f.offen);
    }
    port->Close();
    if (datei) {
        EXPECT_EQ(Timer(), f.vorher);
    }
    EXPECT_EQ(fs::exists(timer_), f.vorher != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Adapter, LowLatencyTest,
                         ::testing::Values(TimerFall{"Timer16", "16", "1", ""}, TimerFall{"Timer1", "1", "1", ""},
                                           TimerFall{"Timer250", "250", "1", ""},
                                           TimerFall{"OhneTimer", nullptr, "", ""},
                                           TimerFall{"NichtBeschreibbar", "", "", "latency_timer"}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
