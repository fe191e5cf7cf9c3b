#pragma once

#include <chrono>
#include <functional>

namespace sim {

using SimTime = std::chrono::steady_clock::time_point;
// Where the controller gets "now" from: the steady clock when serving, a
// hand-driven clock in tests.
using SimClock = std::function<SimTime()>;
// Device durations are kept in milliseconds as fractions.
using DeviceMs = std::chrono::duration<double, std::milli>;

}  // namespace sim
