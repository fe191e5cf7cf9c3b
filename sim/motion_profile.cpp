#include "sim/motion_profile.h"

#include <algorithm>
#include <cmath>

namespace sim {

MotionProfile::MotionProfile(double startHz, double endHz, double rampMs, double steps)
    : startHz_(startHz), steps_(steps) {
    const double topHz = std::max(startHz, endHz);
    if (steps <= 0 || topHz <= 0) {
        return;
    }
    if (rampMs > 0 && topHz > startHz) {
        accel_ = (topHz - startHz) / rampMs;
    }
    if (accel_ == 0) {
        peakHz_ = topHz;
        totalMs_ = steps / topHz * 1000.0;
        return;
    }
    const double rampSteps = (startHz + topHz) / 2.0 * rampMs / 1000.0;
    if (2 * rampSteps <= steps) {
        peakHz_ = topHz;
        rampMs_ = rampMs;
        totalMs_ = 2 * rampMs + (steps - 2 * rampSteps) / topHz * 1000.0;
        return;
    }
    // Triangle: v^2 = v0^2 + 2 a s with a in Hz per second, s = steps / 2.
    const double accelPerS = accel_ * 1000.0;
    peakHz_ = std::sqrt(startHz * startHz + accelPerS * steps);
    rampMs_ = (peakHz_ - startHz) / accel_;
    totalMs_ = 2 * rampMs_;
}

double MotionProfile::PlannedStepsAfter(double ms) const {
    ms = std::clamp(ms, 0.0, totalMs_);
    auto rampSteps = [this](double t) {  // steps of an up-ramp after t ms
        return (startHz_ * t + accel_ * t * t / 2.0) / 1000.0;
    };
    if (ms <= rampMs_) {
        return rampSteps(ms);
    }
    if (ms <= totalMs_ - rampMs_) {
        return rampSteps(rampMs_) + peakHz_ * (ms - rampMs_) / 1000.0;
    }
    return steps_ - rampSteps(totalMs_ - ms);
}

double MotionProfile::SpeedAfter(double ms) const {
    if (ms < 0 || ms >= DurationMs()) {
        return 0;
    }
    if (haltAtMs_ && ms >= *haltAtMs_) {
        return PlannedSpeedAfter(*haltAtMs_) - accel_ * (ms - *haltAtMs_);
    }
    return PlannedSpeedAfter(ms);
}

double MotionProfile::PlannedSpeedAfter(double ms) const {
    if (ms <= rampMs_) {
        return startHz_ + accel_ * ms;
    }
    if (ms <= totalMs_ - rampMs_) {
        return peakHz_;
    }
    return startHz_ + accel_ * (totalMs_ - ms);
}

double MotionProfile::StepsAfter(double ms) const {
    if (!haltAtMs_ || ms <= *haltAtMs_) {
        return PlannedStepsAfter(ms);
    }
    const double t = std::min(ms, *haltEndMs_) - *haltAtMs_;
    const double v = PlannedSpeedAfter(*haltAtMs_);
    return PlannedStepsAfter(*haltAtMs_) + (v * t - accel_ * t * t / 2.0) / 1000.0;
}

void MotionProfile::HaltAt(double ms) {
    if (haltAtMs_ || ms >= totalMs_ - rampMs_) {
        return;  // already ramping down
    }
    ms = std::max(ms, 0.0);
    const double v = PlannedSpeedAfter(ms);
    haltAtMs_ = ms;
    haltEndMs_ = ms + (accel_ > 0 ? (v - startHz_) / accel_ : 0.0);
}

}  // namespace sim
