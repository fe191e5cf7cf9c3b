#pragma once

#include <string>

#include "sim/sim_server.h"

// The simulator's options for a console suite: `o` with the unkind readings
// that PELTO_SIM_STRICT names on top ("suite": every one that keeps a suite
// short; empty or unset: none). Runs of the same suites differ only in it.
sim::SimOptions Suitenprofil(sim::SimOptions o = {});
// The opening of a program write as the pane shows its answer: the echo
// and ACK, or ACK alone from the unkind controller.
std::string Eroeffnungsantwort(const std::string& echo);
// The same, with moves, waits and erasing twenty times as fast.
sim::SimOptions SchnellesProfil();
