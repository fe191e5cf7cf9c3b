#pragma once

#include "cli/ausgabekanal.h"
#include "cli/cli_sink.h"

// `pelto ports`: every COM name present with what the window's port
// tooltips tell about it. Text: the name, then one indented line per fact
// (--quiet: the names only); JSON: one object per port and the outcome.
// Opens no port. The exit status.
int Ports_zeigen(Ausgabe art, Ausgabekanal& aus);
