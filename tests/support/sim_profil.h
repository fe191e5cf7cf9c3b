#pragma once

#include "sim/sim_server.h"

// The simulator's options for a console suite: `o` with the unkind readings
// that PELTO_SIM_STRICT names on top ("suite": every one that keeps a suite
// short; empty or unset: none). Runs of the same suites differ only in it.
sim::SimOptions Suitenprofil(sim::SimOptions o = {});
// The same, with moves, waits and erasing twenty times as fast.
sim::SimOptions Schnell();
