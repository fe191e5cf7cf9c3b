// pelto-sim: a simulated Pelto controller on a pseudo-terminal.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "sim/fault_command.h"
#include "sim/replay_controller.h"
#include "sim/replay_script.h"
#include "sim/sim_server.h"

namespace {

std::atomic<bool> gStop{false};

void OnSignal(int) {
    gStop = true;
}

void PrintHelp() {
    std::cout
        << "usage: pelto-sim [--link PATH] [--pace] [--latency MS] [--adapter MS] [--time-scale X] [--silent]\n"
           "                 [--strict] [--opaque-text] [--plain-acks] [--strict-errors]\n"
           "                 [--stopped-final before|after] [--busy error|drop]\n"
           "                 [--at-limit F] [--deaf-after-reset MS] [--uart SEED] [--line-pause MS]\n"
           "                 [--keep-state] [--terminal-defaults] [--baud N]\n"
           "       pelto-sim --replay FILE [--link PATH]\n"
           "\n"
           "Behaves like a Pelto controller on a new pseudo-terminal. The first line\n"
           "printed is the terminal's device path; point the console at it, e.g.\n"
           "  PELTO_COM1=/dev/pts/N pelto-befehle\n"
           "\n"
           "  --link PATH       keep a symbolic link PATH to the device (removed on exit)\n"
           "  --pace            carry requests and replies at the baud rate the console set, 10 bits per byte\n"
           "  --latency MS      wait MS milliseconds before every reply\n"
           "  --adapter MS      hold replies as a USB-serial adapter with a latency timer of MS\n"
           "                    milliseconds does (1-255): until the timer runs out or 62 bytes wait\n"
           "  --time-scale X    run moves, waits and erasing X times as long (0.1: faster)\n"
           "  --silent          start without answering\n"
           // Strict controller readings
           "  --strict          every strict reading at once but --baud and --line-pause, with\n"
           "                    --at-limit 0.9, --deaf-after-reset 200 and --uart 1\n"
           "  --opaque-text     program text stays text: no \"@\" request amid a header,\n"
           "                    stored bytes read back unchanged\n"
           "  --plain-acks      ACK alone wherever the console accepts it\n"
           "  --strict-errors   an error for every malformed or too long request; bit 7\n"
           "                    cleared, NUL ends a request; a move beyond the travel ends in E7\n"
           "  --stopped-final before|after\n"
           "                    a job stopped by @R/@S still answers ACK, before or after @RS\n"
           "  --busy error|drop a request amid a running job is answered E1 or dropped\n"
           "  --at-limit F      every reply waits F times the console's limit for it (0.9: just\n"
           "                    in time, 1.2: too late); erasing takes F times its limit\n"
           "  --deaf-after-reset MS\n"
           "                    after @R the controller hears nothing for MS milliseconds\n"
           "  --uart SEED       replies leave in random pieces with random short pauses\n"
           "  --line-pause MS   a pause of MS milliseconds before each further line of a read\n"
           "  --keep-state      a dropped line keeps a half request and a program transfer\n"
           "                    (the command power-cycle clears them)\n"
           "  --terminal-defaults\n"
           "                    leave the terminal as it opens: the console must set it up\n"
           "  --baud N          bytes at any other rate than N turn to garbage both ways\n"
           "  --replay FILE     play the controller's part of a recording made with\n"
           "                    --record or PELTO_RECORD: each request as recorded is answered\n"
           "                    with the recorded bytes and timing; the first request that\n"
           "                    differs is reported on standard error, and nothing is answered\n"
           "                    from then on. Takes no other option but --link; on standard\n"
           "                    input only \"status\" and \"quit\". Exit status 3 when a request\n"
           "                    differed or a recorded one never came, 2 for a file that is\n"
           "                    no recording\n"
           "  --help, -h        this text\n"
           "\n"
           "Runs until SIGINT, SIGTERM or \"quit\". Commands on standard input, one a line:\n"
        << sim::kFaultCommandHelp;
}

std::optional<double> Number(const char* text) {
    double value = 0;
    const std::string_view s(text);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<long long> Whole(std::string_view text, long long low, long long high) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// The strict readings of the line and its timing; as ParseStrictOption.
std::optional<std::string> ParseStrictTiming(std::string_view arg, std::string_view value, int& i,
                                             sim::StrictProfile& strict) {
    using std::chrono::milliseconds;
    const auto whole = [&](long long high) { return Whole(value, 0, high); };
    if (arg == "--keep-state") {
        strict.keepStateOnDrop = true;
        return std::string();
    }
    if (arg == "--terminal-defaults") {
        strict.terminalDefaults = true;
        return std::string();
    }
    ++i;  // the rest take a value
    if (arg == "--at-limit") {
        const auto f = Number(std::string(value).c_str());
        if (!f || !(*f > 0) || *f > 10) return std::string("--at-limit needs a fraction above 0 and at most 10");
        strict.atLimit = *f;
    } else if (arg == "--deaf-after-reset") {
        if (!whole(60000)) return std::string("--deaf-after-reset needs milliseconds from 0 to 60000");
        strict.deafAfterReset = milliseconds(*whole(60000));
    } else if (arg == "--uart") {
        if (!whole(4294967295LL)) return std::string("--uart needs a seed from 0 to 4294967295");
        strict.uartSeed = uint32_t(*whole(4294967295LL));
    } else if (arg == "--line-pause") {
        if (!whole(60000)) return std::string("--line-pause needs milliseconds from 0 to 60000");
        strict.linePause = milliseconds(*whole(60000));
    } else if (arg == "--baud") {
        if (!Whole(value, 50, 4000000)) return std::string("--baud needs a rate from 50 to 4000000");
        strict.baud = unsigned(*Whole(value, 50, 4000000));
    } else {
        --i;
        return std::nullopt;
    }
    return std::string();
}

// Strict controller readings. Returns nothing when `argv[i]` is none of
// them, else an error message or an empty text.
std::optional<std::string> ParseStrictOption(int argc, char** argv, int& i, sim::StrictProfile& strict) {
    const std::string_view arg = argv[i];
    const std::string_view value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--strict") {
        strict = sim::StrictProfile::Strict();
    } else if (arg == "--opaque-text") {
        strict.opaqueText = true;
    } else if (arg == "--plain-acks") {
        strict.plainAcks = true;
    } else if (arg == "--strict-errors") {
        strict.strictErrors = true;
    } else if (arg == "--stopped-final") {
        using Final = sim::StrictProfile::StoppedFinal;
        if (value != "before" && value != "after") {
            return "--stopped-final needs before or after";
        }
        strict.stoppedFinal = value == "before" ? Final::Before : Final::After;
        ++i;
    } else if (const auto error = ParseStrictTiming(arg, value, i, strict)) {
        return error;
    } else if (arg == "--busy") {
        using Busy = sim::StrictProfile::Busy;
        if (value != "error" && value != "drop") {
            return "--busy needs error or drop";
        }
        strict.busy = value == "error" ? Busy::Error : Busy::Drop;
        ++i;
    } else {
        return std::nullopt;
    }
    return std::string();
}

// Returns an error message, or an empty text when the options are good.
std::string ParseOptions(int argc, char** argv, sim::SimOptions& options, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--pace") {
            options.pace = true;
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--link" && hasValue) {
            options.linkPath = argv[++i];
        } else if (arg == "--latency" && hasValue) {
            const auto ms = Number(argv[++i]);
            if (!ms || *ms < 0 || *ms > 60000) {
                return "--latency needs milliseconds from 0 to 60000";
            }
            options.latency = std::chrono::milliseconds(static_cast<long long>(*ms));
        } else if (arg == "--adapter" && hasValue) {
            const auto ms = Number(argv[++i]);
            if (!ms || *ms < 1 || *ms > 255 || *ms != static_cast<long long>(*ms)) {
                return "--adapter needs milliseconds from 1 to 255";
            }
            options.adapter = std::chrono::milliseconds(static_cast<long long>(*ms));
        } else if (arg == "--time-scale" && hasValue) {
            const auto scale = Number(argv[++i]);
            if (!scale || !(*scale > 0) || *scale > 1000) {
                return "--time-scale needs a number above 0 and at most 1000";
            }
            options.timeScale = *scale;
        } else if (const auto strict = ParseStrictOption(argc, argv, i, options.strict)) {
            if (!strict->empty()) {
                return *strict;
            }
        } else {
            return "unknown or incomplete option '" + std::string(arg) + "' (see --help)";
        }
    }
    return {};
}

// Handles one line of standard input; false on "quit".
bool HandleLine(sim::SimServer& server, const std::string& line) {
    const auto parsed = sim::ParseFaultCommand(line);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << "pelto-sim: " << *error << std::endl;
        return true;
    }
    const auto& command = std::get<sim::FaultCommand>(parsed);
    if (command.kind == sim::FaultCommand::Kind::Quit) {
        return false;
    }
    std::cerr << "pelto-sim: " << sim::ApplyFaultCommand(server, command) << std::endl;
    return true;
}

// Feeds `handle` the non-blank lines of standard input until it returns
// false or a signal comes; `idle` runs at least every 200 ms. Forever when
// standard input has ended.
template <typename Handle, typename Idle>
void ReadCommands(Handle handle, Idle idle) {
    bool stdinOpen = true;
    std::string pending;
    while (!gStop) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (stdinOpen && poll(&p, 1, 200) > 0) {
            char buffer[512];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                stdinOpen = false;
            } else {
                pending.append(buffer, std::size_t(n));
            }
        } else if (!stdinOpen) {
            poll(nullptr, 0, 200);
        }
        for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (line.find_first_not_of(" \t\r") != std::string::npos && !handle(line)) {
                return;
            }
        }
        idle();
    }
}

// Serves until a signal, "quit", or forever when standard input has ended.
void Serve(sim::SimServer& server) {
    unsigned shownGeneration = server.LineGeneration();
    ReadCommands([&server](const std::string& line) { return HandleLine(server, line); }, [&] {
        const unsigned generation = server.LineGeneration();
        if (generation != shownGeneration) {
            std::cerr << "pelto-sim: line open again at " << server.DevicePath() << std::endl;
            shownGeneration = generation;
        }
    });
}

// The options of a replay: --replay FILE and --link PATH, nothing else.
// Returns an error message, or an empty text when they are good.
std::string ParseReplayOptions(int argc, char** argv, std::string& file, std::string& linkPath) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--replay" || arg == "--link") {
            if (i + 1 == argc) return std::string(arg) + " needs a value";
            (arg == "--replay" ? file : linkPath) = argv[++i];
        } else {
            return "--replay takes no other option but --link, not '" + std::string(arg) + "'";
        }
    }
    return {};
}

bool HandleReplayLine(const sim::ReplayController& replay, const std::string& line) {
    if (line == "quit") {
        return false;
    }
    std::cerr << "pelto-sim: " << (line == "status" ? replay.Progress() : "a replay takes only status and quit")
              << std::endl;
    return true;
}

// Plays a recording until a signal or "quit"; the first difference is
// reported when it happens.
int Replay(int argc, char** argv) {
    constexpr int kDiffers = 3;
    std::string file, linkPath;
    if (const std::string error = ParseReplayOptions(argc, argv, file, linkPath); !error.empty()) {
        std::cerr << "pelto-sim: " << error << std::endl;
        return 2;
    }
    std::optional<sim::ReplayScript> script;
    try {
        script = sim::ReplayScript::FromFile(file);
    } catch (const std::runtime_error& e) {
        std::cerr << "pelto-sim: replay: " << e.what() << std::endl;
        return 2;
    }
    sim::ReplayController replay(std::move(*script), linkPath);
    replay.Start();
    std::cout << replay.DevicePath() << std::endl;
    bool reported = false;
    const auto report = [&] {
        if (reported || replay.Mismatch().empty()) return;
        std::cerr << "pelto-sim: replay: " << replay.Mismatch() << std::endl;
        reported = true;
    };
    ReadCommands([&replay](const std::string& line) { return HandleReplayLine(replay, line); }, report);
    replay.Stop();
    report();
    const std::string verdict = replay.Verdict();
    if (!verdict.empty() && !reported) std::cerr << "pelto-sim: replay: " << verdict << std::endl;
    return verdict.empty() ? 0 : kDiffers;
}

bool WantsReplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") return false;
        if (arg == "--replay") return true;
    }
    return false;
}

void HandleSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    if (WantsReplay(argc, argv)) {
        HandleSignals();
        try {
            return Replay(argc, argv);
        } catch (const std::exception& e) {
            std::cerr << e.what() << std::endl;
            return 1;
        }
    }
    sim::SimOptions options;
    bool help = false;
    const std::string error = ParseOptions(argc, argv, options, help);
    if (help) {
        PrintHelp();
        return 0;
    }
    if (!error.empty()) {
        std::cerr << "pelto-sim: " << error << std::endl;
        return 2;
    }
    HandleSignals();
    try {
        sim::SimServer server(options);
        server.Start();
        std::cout << server.DevicePath() << std::endl;
        Serve(server);
        server.Stop();
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    return 0;
}
