// Events: the outcomes of a wait, auto and manual reset, and waiting for
// one of several.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/event.h"

namespace {

using platform::Event;
using platform::WaitResult;
using namespace std::chrono_literals;

TEST(Event, AutoResetConsumesOneSignalManualResetKeepsIt) {
    Event a(Event::Mode::AutoReset), m(Event::Mode::ManualReset);
    a.Set();
    a.Set();  // a second signal while one is pending adds nothing
    m.Set();
    EXPECT_EQ(a.Wait(0), WaitResult::Signalled);
    EXPECT_EQ(a.Wait(0), WaitResult::TimedOut);
    EXPECT_EQ(m.Wait(0), WaitResult::Signalled);
    EXPECT_EQ(m.Wait(0), WaitResult::Signalled);
    m.Reset();
    EXPECT_EQ(m.Wait(10), WaitResult::TimedOut);
}

TEST(Event, ClosingEndsWaitsAsAbandonedAndLaterWaitsFail) {
    Event e(Event::Mode::AutoReset);
    auto waiter = std::async(std::launch::async, [&] { return e.Wait(); });
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(e.Close());
    EXPECT_EQ(waiter.get(), WaitResult::Abandoned);
    EXPECT_EQ(e.Wait(0), WaitResult::Failed);
    EXPECT_FALSE(e.Set());
    EXPECT_FALSE(e.Close());
}

TEST(Event, WaitAnyTakesOnlyTheSignalledOne) {
    Event a(Event::Mode::AutoReset), b(Event::Mode::AutoReset);
    b.Set();
    EXPECT_EQ(Event::WaitAny({&a, &b}, 0), 1);
    EXPECT_EQ(b.Wait(0), WaitResult::TimedOut);
    a.Set();
    b.Set();
    EXPECT_EQ(Event::WaitAny({&a, &b}, 0), 0);
    EXPECT_EQ(b.Wait(0), WaitResult::Signalled);
}

TEST(Event, WaitAnyWakesOnALaterSetAndTimesOut) {
    Event a(Event::Mode::AutoReset), b(Event::Mode::AutoReset);
    WaitResult r;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Event::WaitAny({&a, &b}, 30, &r), -1);
    EXPECT_EQ(r, WaitResult::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 30ms);
    auto setter = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(30ms);
        b.Set();
    });
    EXPECT_EQ(Event::WaitAny({&a, &b}, -1), 1);
    setter.get();
    a.Close();
    EXPECT_EQ(Event::WaitAny({&a, &b}, 0, &r), -1);
    EXPECT_EQ(r, WaitResult::Failed);
}

}  // namespace
