#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <variant>

#include "sim/reply_rule.h"

namespace sim {

class SimServer;

// One line typed on the simulator's standard input.
struct FaultCommand {
    enum class Kind { Silent, Late, Garbage, Drop, Rule, Refuse, PowerCycle, Status, Quit };
    Kind kind;
    bool on = false;                       // Silent
    std::chrono::milliseconds ms{0};       // Late, Drop
    std::string bytes;                     // Garbage, Refuse
    ReplyRule rule;                        // Rule
    char mark = 0;                         // Refuse: STX or ETX
};

// A parsed command, or the message that says what is wrong with the line.
using FaultParse = std::variant<FaultCommand, std::string>;

// Accepts "silent on|off", "late MS", "garbage HEX", "at TEXT",
// "rule N REQUEST [MS:HEX]...", "refuse stx|etx HEX", "drop MS",
// "power-cycle", "status", "quit".
FaultParse ParseFaultCommand(std::string_view line);
// Carries out everything but Quit; returns a line to show the user.
std::string ApplyFaultCommand(SimServer& server, const FaultCommand& command);

inline constexpr std::string_view kFaultCommandHelp =
    "  silent on|off   stop or resume answering (requests are still carried out)\n"
    "  late MS         every further reply comes MS milliseconds late (0: off)\n"
    "  garbage HEX     send these bytes at once, e.g. \"garbage 41 15 07\" or \"garbage 411507\"\n"
    "  at TEXT         send a complete \"@\" reply nobody asked for: \"@\", TEXT, ACK\n"
    "  rule N REQ [MS:HEX]...  answer the request REQ (its CR added) the next N times\n"
    "                  with these bytes, each MS after it came; no parts: never answer\n"
    "  refuse stx|etx HEX  answer the next header end mark (stx) or body end mark\n"
    "                  (etx) with these bytes and drop the transfer: nothing is stored\n"
    "  drop MS         close the terminal and open a new one MS milliseconds later\n"
    "  power-cycle     switch the controller off and on: only the programs stay\n"
    "  status          show the device path, the status characters and positions\n"
    "  quit            stop\n";

}  // namespace sim
