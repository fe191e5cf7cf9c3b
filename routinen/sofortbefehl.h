#pragma once

#include <cstdint>

#include "routinen/routinen_sink.h"

class TkeloCOM;

// One of the link's immediate operations (reset, stop, halt, interrupt,
// continue): the request and its reply go to the log, a failure is reported.
int32_t Sofort_ausfuehren(RoutinenSink& s, void (TkeloCOM::*befehl)());
