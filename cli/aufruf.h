#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_sink.h"

// The command line, checked before anything is sent.
struct Aufruf {
    std::string port = "COM1";
    uint32_t baud = 115200;
    Ausgabe ausgabe = Ausgabe::Text;
    bool bHilfe = false;
    std::string befehl;
    std::vector<std::string> argumente;  // after the command
    bool bNurHeader = false;             // read --header
    bool bStill = false;                 // --quiet (--json wins wherever it stands)
    std::string junit;                   // modultest --junit FILE
    std::string mitschnitt;              // --record FILE
    bool bAbsolut = false;               // move --absolute
    bool bI2C = false;                   // output --i2c
    bool bWatchdog = false;              // output 1 --watchdog
};

// Wrong usage, with the reason.
struct Nutzungsfehler {
    std::string text;
};

// The arguments without the program's name. Throws Nutzungsfehler for an
// unknown option or command, a missing or extra argument, a slot outside
// 1-7, an axis that does not exist, an output, input or move component
// that is not one, a request longer than the link takes
// or holding a byte that frames the protocol (CR, LF, NUL, STX, ETX, ACK,
// NAK, BEL), a port that is neither COM1-COM63 nor a path, or a baud rate that is not
// a positive number.
Aufruf Aufruf_lesen(const std::vector<std::string>& args);

// The input letter "0"-"F", or "G" for "all"; the caller has checked the text.
char Eingang_von(const std::string& text);

// The slot 1-7, or 0 for "all"; the caller has checked the text.
int Slot_oder_alle(const std::string& text);

// The usage text.
const char* Nutzung();
