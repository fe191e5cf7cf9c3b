#pragma once

#include <optional>

namespace sim {

// Speed over time of one move: ramp up from the start speed to the end speed
// within the ramp length, run, ramp down symmetrically. A move too short for
// both ramps turns at a lower peak. Distances are in steps, speeds in Hz,
// times in device milliseconds.
class MotionProfile {
public:
    MotionProfile() = default;
    MotionProfile(double startHz, double endHz, double rampMs, double steps);

    double DurationMs() const { return haltEndMs_ ? *haltEndMs_ : totalMs_; }
    double Steps() const { return StepsAfter(DurationMs()); }
    double StepsAfter(double ms) const;
    double SpeedAfter(double ms) const;
    // Halt: from the speed at `ms`, ramp down to the start speed and stop
    // there, short of the target.
    void HaltAt(double ms);

private:
    double PlannedStepsAfter(double ms) const;
    double PlannedSpeedAfter(double ms) const;

    double startHz_ = 0;
    double accel_ = 0;   // Hz per ms; 0 means no ramp
    double peakHz_ = 0;
    double rampMs_ = 0;  // duration of one ramp as planned
    double totalMs_ = 0;
    double steps_ = 0;
    std::optional<double> haltAtMs_;
    std::optional<double> haltEndMs_;
};

}  // namespace sim
