#pragma once

#include <exception>

// The last resort for an exception that escaped a routine or the program
// entry: a warning box with its text under the given caption. An error code
// reads as Fehler_melden shows it, any other exception by its own text.
int Ausnahme_melden(std::exception_ptr ausnahme, const char* szCaption);
