#include "routinen/startoptionen.h"

#include <string_view>

Startoptionen::Startoptionen(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") hilfe = true;
        if (arg == "--desktop") desktop = true;
        if (arg == "--record" && i + 1 < argc) mitschnitt = argv[++i];
        if (arg.rfind("--record=", 0) == 0) mitschnitt = arg.substr(9);
    }
}

const char* const kHilfetext =
    "Usage: pelto-befehle [/KELO] [/UACHSE] [/TIME] [--desktop] [--record FILE]\n"
    "       pelto-befehle --help\n"
    "\n"
    "Bench console for a Pelto stepper-motor controller on a serial line.\n"
    "\n"
    "Options (the /-options in any case):\n"
    "  /KELO       show the \"Datei\" and \"Modul-Test\" buttons; set up the last\n"
    "              port of the list instead of the first\n"
    "  /UACHSE     the controller has a fourth axis u\n"
    "  /TIME       stamp the files beside the executable with the version time\n"
    "  --desktop   work in ~/Pelto-Befehle (created when missing) instead of the\n"
    "              current folder; the desktop entry starts the console so\n"
    "  --record FILE\n"
    "              append the wire traffic, time-stamped, to FILE (also\n"
    "              PELTO_RECORD=FILE); pelto-sim --replay FILE plays it back\n"
    "  --help, -h  this text\n"
    "\n"
    "Ports: COM1-COM32 are /dev/ttyS0-31, COM33-COM48 /dev/ttyUSB0-15,\n"
    "COM49-COM63 /dev/ttyACM0-14. PELTO_COM<n>=PATH makes COM<n> the device at\n"
    "PATH, e.g. a /dev/serial/by-id/... name or the terminal pelto-sim prints.\n"
    "\n"
    "Files: programm1.txt ... programm7.txt, header1.txt ... header7.txt,\n"
    "ini.txt, befehle.txt, programm.txt and header.txt in the working folder\n"
    "(written when missing, never overwritten). The protocol log ~protokoll.log\n"
    "goes beside the executable, or, where that folder is not writable, into\n"
    "$XDG_STATE_HOME/pelto-befehle/ (~/.local/state/pelto-befehle/ when unset).\n";
