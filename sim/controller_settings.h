#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sim {

// What the setting commands change. A default-constructed value is the
// controller's power-on state, which "@R" restores.
struct ControllerSettings {
    static constexpr int kSpeedIndices = 11;  // "#E0," to "#E10,"
    static constexpr int kAxes = 4;           // x, y, z, u

    int driveSignal = 0;             // "T": 0 LVX, 1 T/R
    char stepMode = 'H';             // "F": H half step, V full step
    int holdingCurrent = 0;          // "F": wire digit 0, 2 or 6 (0, 20, 60 %)
    uint32_t startHz = 100;          // "#S"
    std::array<uint32_t, kSpeedIndices> endHz = Filled(1000);  // "#E<i>,"
    uint32_t rampMs = 100;           // "#R"
    bool e1Link = false;             // "&E1,"
    bool watchdog = false;           // "WD,"
    std::array<bool, 8> outputs{};   // "A1," to "A8,"
    bool outputL = false;            // "AL,"
    bool outputR = false;            // "AR,"
    std::array<bool, 4> i2cOutputs{};                // "I2C-A1," to "I2C-A4,"
    std::array<int32_t, kAxes> referenceOffset{};    // "#O<axis>,"
    std::array<int32_t, kAxes> encoderSetting{};     // "c,<axis><value>"
    std::string referenceRequest;                    // axes of the last "#H"

private:
    static constexpr std::array<uint32_t, kSpeedIndices> Filled(uint32_t hz) {
        std::array<uint32_t, kSpeedIndices> a{};
        a.fill(hz);
        return a;
    }
};

}  // namespace sim
