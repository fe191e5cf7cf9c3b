#pragma once

#include <cstddef>
#include <string>

#include "routinen/routinen_sink.h"

class TkeloCOM;

// A query of the controller (version, status), logged; its text. A raised
// error code passes to the caller's routine frame.
std::string Abfrage_ausfuehren(RoutinenSink& s, void (TkeloCOM::*abfrage)(char*, std::size_t));
// The position of axis "x", "y" or "z", logged; its text.
std::string Position_abfragen(RoutinenSink& s, char cAchse);
