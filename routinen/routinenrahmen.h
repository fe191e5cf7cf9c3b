#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "routinen/routinen_sink.h"

// A file that must not be sent: the text names it and says why.
struct DateiProblem {
    std::string text;
};

// A write cut off between its opening and its end mark: the controller may
// still take program text. Nothing is sent for it: an end mark would store
// a partial program.
struct ProgrammtextOffen {
    int32_t code;
};

// How a routine ended when a file stopped it before anything was sent.
constexpr int32_t kDateiNichtSendbar = -1;

// Runs one routine and reports how it failed through the sink: an error
// code ends it with Befehl_beenden, an open program text adds its hint, a
// file problem is shown in a box. Returns 0, the code, or kDateiNichtSendbar.
int32_t Routine_ausfuehren(RoutinenSink& s, const std::function<void()>& vorgang);
