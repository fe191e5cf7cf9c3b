#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace sim {

// Readings of the controller that are allowed but unkind to the console.
// Each is off by default; `Strict()` switches every one on.
struct StrictProfile {
    // When a stopped job's final answer still goes out, relative to the
    // "@RS" ACK.
    enum class StoppedFinal { None, Before, After };
    // What happens to a normal request that arrives while a job runs.
    enum class Busy { Hold, Error, Drop };

    bool opaqueText = false;           // header and body text stored and read back as sent
    double atLimit = 0;                // replies at this fraction of their time limit; 0: at once
    std::chrono::milliseconds deafAfterReset{0};  // "@R" leaves the controller deaf this long
    StoppedFinal stoppedFinal = StoppedFinal::None;
    std::optional<uint32_t> uartSeed;  // replies split and paused at random, from this seed
    std::chrono::milliseconds linePause{0};  // before each further line of a read
    bool plainAcks = false;            // ACK alone wherever a bare ACK is allowed
    bool keepStateOnDrop = false;      // a dropped line leaves the controller as it was
    bool terminalDefaults = false;     // the terminal's settings are left to the console
    unsigned baud = 0;                 // the controller's rate; others turn to garbage. 0: any
    bool strictErrors = false;         // every malformed or out-of-range request gets an error
    Busy busy = Busy::Hold;

    // Every behaviour at once, at a fraction of the limits that keeps tests short.
    static StrictProfile Strict() {
        StrictProfile p;
        p.opaqueText = true;
        p.atLimit = 0.9;
        p.deafAfterReset = std::chrono::milliseconds(200);
        p.stoppedFinal = StoppedFinal::After;
        p.uartSeed = 1;
        p.plainAcks = true;
        p.keepStateOnDrop = true;
        p.terminalDefaults = true;
        p.strictErrors = true;
        p.busy = Busy::Error;
        return p;
    }
};

}  // namespace sim
