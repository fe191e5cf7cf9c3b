#include "sim/fault_command.h"

#include <cctype>
#include <charconv>
#include <sstream>

#include "sim/sim_server.h"

namespace sim {

namespace {

constexpr long long kMaxMs = 3'600'000;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

FaultParse ParseMs(FaultCommand::Kind kind, std::string_view word, std::string_view arg) {
    long long ms = -1;
    const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), ms);
    if (ec != std::errc() || end != arg.data() + arg.size() || ms < 0 || ms > kMaxMs) {
        return std::string(word) + " needs milliseconds from 0 to " + std::to_string(kMaxMs);
    }
    return FaultCommand{kind, false, std::chrono::milliseconds(ms), {}, {}};
}

// Hexadecimal bytes, or the message that says what is wrong with them.
std::variant<std::string, std::string> HexBytes(std::string_view arg, const char* word) {
    std::string digits;
    for (const char c : arg) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            return std::variant<std::string, std::string>(std::in_place_index<1>, std::string(word) +
                                                          " takes hexadecimal bytes, not '" + c + "'");
        }
    }
    if (digits.empty() || digits.size() % 2 != 0) {
        return std::variant<std::string, std::string>(std::in_place_index<1>,
                                                      std::string(word) + " needs whole bytes, two hex digits each");
    }
    std::string bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes += char(std::stoi(digits.substr(i, 2), nullptr, 16));
    }
    return std::variant<std::string, std::string>(std::in_place_index<0>, bytes);
}

FaultParse ParseHex(std::string_view arg) {
    auto bytes = HexBytes(arg, "garbage");
    if (bytes.index() == 1) return std::get<1>(bytes);
    return FaultCommand{FaultCommand::Kind::Garbage, false, {}, std::get<0>(bytes), {}};
}

// "N REQUEST [MS:HEX]...": words without blanks.
FaultParse ParseRule(std::string_view arg) {
    std::istringstream in{std::string(arg)};
    FaultCommand command{FaultCommand::Kind::Rule, false, {}, {}, {}};
    std::string request;
    if (!(in >> command.rule.times >> request) || command.rule.times <= 0) {
        return std::string("rule needs a count above 0 and a request, e.g. \"rule 1 @X 5:40582030300006\"");
    }
    command.rule.request = request + "\r";
    for (std::string part; in >> part;) {
        const auto colon = part.find(':');
        const FaultParse ms = ParseMs(FaultCommand::Kind::Rule, "rule", std::string_view(part).substr(0, colon));
        if (colon == std::string::npos || ms.index() == 1) return std::string("rule parts are MS:HEX, not '") + part + "'";
        auto bytes = HexBytes(std::string_view(part).substr(colon + 1), "rule");
        if (bytes.index() == 1) return std::get<1>(bytes);
        command.rule.parts.push_back({std::get<FaultCommand>(ms).ms, std::get<0>(bytes)});
    }
    return command;
}

// "stx|etx HEX": the end mark a transfer's refusal waits for.
FaultParse ParseRefuse(std::string_view arg) {
    const auto space = arg.find(' ');
    const std::string_view mark = arg.substr(0, space);
    if (mark != "stx" && mark != "etx") return std::string("refuse needs stx or etx, then hexadecimal bytes");
    auto bytes = HexBytes(space == std::string_view::npos ? "" : arg.substr(space), "refuse");
    if (bytes.index() == 1) return std::get<1>(bytes);
    FaultCommand command{FaultCommand::Kind::Refuse, false, {}, std::get<0>(bytes), {}};
    command.mark = mark == "stx" ? '\x02' : '\x03';
    return command;
}

}  // namespace

FaultParse ParseFaultCommand(std::string_view line) {
    line = Trim(line);
    const auto space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    const std::string_view arg = space == std::string_view::npos ? "" : Trim(line.substr(space));
    using Kind = FaultCommand::Kind;
    if (word == "silent" && (arg == "on" || arg == "off")) {
        return FaultCommand{Kind::Silent, arg == "on", {}, {}, {}};
    }
    if (word == "silent") {
        return std::string("silent needs on or off");
    }
    if (word == "late" || word == "drop") {
        return ParseMs(word == "late" ? Kind::Late : Kind::Drop, word, arg);
    }
    if (word == "garbage") {
        return ParseHex(arg);
    }
    if (word == "rule") {
        return ParseRule(arg);
    }
    if (word == "refuse") {
        return ParseRefuse(arg);
    }
    if (word == "at" && !arg.empty()) {
        return FaultCommand{Kind::Garbage, false, {}, "@" + std::string(arg) + "\x06", {}};
    }
    if (word == "at") {
        return std::string("at needs the text of the reply, e.g. \"at X 999999\"");
    }
    if ((word == "status" || word == "quit" || word == "power-cycle") && arg.empty()) {
        const Kind kind = word == "quit" ? Kind::Quit : word == "status" ? Kind::Status : Kind::PowerCycle;
        return FaultCommand{kind, false, {}, {}, {}};
    }
    return "unknown command '" + std::string(line) + "'; known:\n" + std::string(kFaultCommandHelp);
}

std::string ApplyFaultCommand(SimServer& server, const FaultCommand& command) {
    using Kind = FaultCommand::Kind;
    switch (command.kind) {
    case Kind::Silent:
        server.SetSilent(command.on);
        return command.on ? "silent" : "answering again";
    case Kind::Late:
        server.SetLate(command.ms);
        return "replies " + std::to_string(command.ms.count()) + " ms late";
    case Kind::Garbage:
        server.InjectGarbage(command.bytes);
        return std::to_string(command.bytes.size()) + " garbage bytes sent";
    case Kind::Rule: {
        const std::size_t parts = command.rule.parts.size();
        const int times = command.rule.times;
        server.AddRule(command.rule);
        return "rule set: " + std::to_string(times) + " time(s), " + std::to_string(parts) + " part(s)";
    }
    case Kind::Refuse:
        server.Inspect([&command](PeltoController& c) { c.RefuseEndMark(command.mark, command.bytes); });
        return std::string("the next ") + (command.mark == '\x02' ? "header" : "body") + " end mark gets " +
               std::to_string(command.bytes.size()) + " byte(s) and drops the transfer";
    case Kind::Drop:
        server.DropLine(command.ms);
        return "line dropped for " + std::to_string(command.ms.count()) + " ms";
    case Kind::PowerCycle:
        server.PowerCycle();
        return "switched off and on: settings, positions and transfer gone, programs kept";
    case Kind::Status: {
        std::ostringstream out;
        out << "device " << server.DevicePath() << ", status " << server.Status() << ", x "
            << server.Position('x') << " y " << server.Position('y') << " z " << server.Position('z')
            << " u " << server.Position('u');
        return out.str();
    }
    case Kind::Quit:
        break;
    }
    return {};
}

}  // namespace sim
