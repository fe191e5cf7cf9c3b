#pragma once

#include <string>

// The options the program entry handles itself, before the window exists.
// The window reads its own ("/KELO", "/TIME", "/UACHSE") and ignores these.
struct Startoptionen {
    Startoptionen(int argc, const char* const* argv);

    bool hilfe = false;    // --help, -h: print the usage and end
    bool desktop = false;  // --desktop: started from the desktop entry
    std::string mitschnitt;  // --record FILE: where the wire traffic goes
};

// The usage that --help prints.
extern const char* const kHilfetext;
