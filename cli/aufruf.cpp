#include "cli/aufruf.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

#include "routinen/file_lines.h"
#include "common/steuerzeichen.h"
#include "platform/port_names.h"

namespace {

constexpr uint32_t kMaxBaud = 4000000;

// Arguments each command takes, and how they are checked.
enum class Art { Keins, Slot, SlotOderAlle, Achse, Anfragen, Datei, Ausgang, Eingang, Vektor };

struct Regel {
    std::size_t mindestens, hoechstens;
    Art art;
};

const std::map<std::string, Regel>& Regeln() {
    static const std::map<std::string, Regel> regeln = {
        {"version", {0, 0, Art::Keins}},     {"status", {0, 0, Art::Keins}},
        {"position", {1, 1, Art::Achse}},    {"send", {1, SIZE_MAX, Art::Anfragen}},
        {"run", {1, 1, Art::Datei}},         {"write", {3, 3, Art::Slot}},
        {"read", {1, 1, Art::Slot}},         {"size", {2, 2, Art::Datei}},
        {"delete", {1, 1, Art::SlotOderAlle}}, {"fat", {0, 1, Art::SlotOderAlle}},
        {"reset", {0, 0, Art::Keins}},       {"stop", {0, 0, Art::Keins}},
        {"halt", {0, 0, Art::Keins}},        {"ports", {0, 0, Art::Keins}},
        {"modultest", {0, 0, Art::Keins}},  {"output", {2, 2, Art::Ausgang}},
        {"input", {1, 1, Art::Eingang}},     {"move", {3, 3, Art::Vektor}},
    };
    return regeln;
}

bool Zahl(const std::string& text, uint32_t& wert) {
    const char* ende = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), ende, wert);
    return !text.empty() && ec == std::errc() && p == ende;
}

int Slot(const std::string& text) {
    uint32_t n = 0;
    return Zahl(text, n) && n >= 1 && n <= 7 ? static_cast<int>(n) : 0;
}

void Pruefen(bool gut, const std::string& text) {
    if (!gut) throw Nutzungsfehler{text};
}

bool Ganzzahl(const std::string& text) {
    int32_t wert = 0;
    const char* ende = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), ende, wert);
    return !text.empty() && ec == std::errc() && p == ende;
}

void Sonderargumente_pruefen(const Aufruf& a, Art art) {
    const auto& w = a.argumente;
    if (art == Art::Ausgang) {
        Pruefen(w[0].size() == 1 && w[0][0] >= '1' && w[0][0] <= '4', "output '" + w[0] + "' is not 1-4");
        Pruefen(w[1] == "on" || w[1] == "off", "'" + w[1] + "' is neither on nor off");
    }
    if (art == Art::Eingang) Pruefen(Eingang_von(w[0]) != 0, "input '" + w[0] + "' is not 0-9, A-F or all");
    if (art == Art::Vektor)
        for (const std::string& k : w) Pruefen(Ganzzahl(k), "move component '" + k + "' is not a whole number");
}

void Anfrage_pruefen(const std::string& anfrage, std::size_t nummer) {
    Pruefen(anfrage.size() <= kMaxProgrammzeile, "request '" + anfrage.substr(0, 20) + "...' is " +
                                                     std::to_string(anfrage.size()) + " characters long (" +
                                                     std::to_string(kMaxProgrammzeile) + " allowed)");
    // As in files: a control byte would cut the request, start another or
    // frame the protocol.
    for (std::size_t i = 0; i < anfrage.size(); ++i)
        if (const char* name = Steuerzeichen_Name(static_cast<unsigned char>(anfrage[i])))
            Pruefen(false, "request " + std::to_string(nummer) + " holds the control character " + name +
                               " at character " + std::to_string(i + 1));
}

void Argumente_pruefen(const Aufruf& a) {
    const auto regel = Regeln().find(a.befehl);
    Pruefen(regel != Regeln().end(), "unknown command '" + a.befehl + "'");
    const Regel& r = regel->second;
    const std::size_t n = a.argumente.size();
    Pruefen(n >= r.mindestens && n <= r.hoechstens, "wrong number of arguments for '" + a.befehl + "'");
    if (n == 0) return;
    const std::string& erstes = a.argumente[0];
    if (r.art == Art::Slot) Pruefen(Slot(erstes) != 0, "slot '" + erstes + "' is not 1-7");
    if (r.art == Art::SlotOderAlle) Pruefen(erstes == "all" || Slot(erstes) != 0, "slot '" + erstes + "' is not 1-7 or all");
    if (r.art == Art::Achse)
        Pruefen(erstes.size() == 1 && std::string("xyzu").find(erstes) != std::string::npos,
                "axis '" + erstes + "' does not exist (x, y, z or u)");
    if (r.art == Art::Anfragen)
        for (std::size_t k = 0; k < n; ++k) Anfrage_pruefen(a.argumente[k], k + 1);
    Sonderargumente_pruefen(a, r.art);
}

// A device path as given, a console name as "COM<n>".
std::string Port_pruefen(const std::string& port) {
    if (port.find('/') != std::string::npos) return port;
    std::string gross = port;
    std::transform(gross.begin(), gross.end(), gross.begin(), [](unsigned char c) { return std::toupper(c); });
    const int n = platform::ComNumberFromName(gross);
    Pruefen(n >= 1 && n <= platform::kMaxComPort && gross == "COM" + std::to_string(n),
            "port '" + port + "' is neither COM1-COM63 nor a device path");
    return gross;
}

// "--name value" or "--name=value".
std::string Wert(const std::vector<std::string>& args, std::size_t& i, const std::string& name) {
    const std::string& a = args[i];
    if (a.size() > name.size() && a.compare(0, name.size() + 1, name + "=") == 0) return a.substr(name.size() + 1);
    Pruefen(i + 1 < args.size(), name + " needs a value");
    return args[++i];
}

bool Option(const std::string& a, const std::string& name) { return a == name || a.rfind(name + "=", 0) == 0; }

// One option at args[i]; its value, if any, is taken too.
void Option_lesen(const std::vector<std::string>& args, std::size_t& i, Aufruf& a) {
    const std::string& o = args[i];
    if (Option(o, "--port")) {
        a.port = Port_pruefen(Wert(args, i, "--port"));
    } else if (Option(o, "--baud")) {
        const std::string b = Wert(args, i, "--baud");
        Pruefen(Zahl(b, a.baud) && a.baud > 0 && a.baud <= kMaxBaud, "baud rate '" + b + "' is not a rate");
    } else if (Option(o, "--junit")) {
        a.junit = Wert(args, i, "--junit");
        Pruefen(!a.junit.empty(), "--junit needs a file name");
    } else if (Option(o, "--record")) {
        a.mitschnitt = Wert(args, i, "--record");
        Pruefen(!a.mitschnitt.empty(), "--record needs a file name");
    } else if (o == "--json") {
        a.ausgabe = Ausgabe::Json;
    } else if (o == "--quiet") {
        a.bStill = true;
    } else if (o == "--header") {
        a.bNurHeader = true;
    } else if (o == "--absolute") {
        a.bAbsolut = true;
    } else if (o == "--i2c") {
        a.bI2C = true;
    } else if (o == "--watchdog") {
        a.bWatchdog = true;
    } else if (o == "--help" || o == "-h") {
        a.bHilfe = true;
    } else {
        throw Nutzungsfehler{"unknown option '" + o + "'"};
    }
}

// Options that belong to one command only.
void Befehlsoptionen_pruefen(const Aufruf& a) {
    Pruefen(!a.bNurHeader || a.befehl == "read", "--header is an option of 'read' only");
    Pruefen(a.junit.empty() || a.befehl == "modultest", "--junit is an option of 'modultest' only");
    Pruefen(!a.bAbsolut || a.befehl == "move", "--absolute is an option of 'move' only");
    Pruefen(!a.bI2C || a.befehl == "output", "--i2c is an option of 'output' only");
    Pruefen(!a.bWatchdog || (a.befehl == "output" && a.argumente[0] == "1"), "--watchdog is an option of 'output 1' only");
    Pruefen(!a.bI2C || !a.bWatchdog, "--i2c and --watchdog exclude each other");
}

}  // namespace

Aufruf Aufruf_lesen(const std::vector<std::string>& args) {
    Aufruf a;
    std::vector<std::string> woerter;
    bool bOptionen = true;
    // Options anywhere, as other tools take them; "--" ends them. "-" alone
    // and negative numbers are words.
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& w = args[i];
        if (bOptionen && w == "--")
            bOptionen = false;
        else if (bOptionen && w.size() > 1 && w[0] == '-' && !std::isdigit(static_cast<unsigned char>(w[1])))
            Option_lesen(args, i, a);
        else
            woerter.push_back(args[i]);
    }
    if (a.bHilfe) return a;
    if (a.bStill && a.ausgabe != Ausgabe::Json) a.ausgabe = Ausgabe::Still;
    Pruefen(!woerter.empty(), "no command given");
    a.befehl = woerter.front();
    a.argumente.assign(woerter.begin() + 1, woerter.end());
    Argumente_pruefen(a);
    Befehlsoptionen_pruefen(a);
    return a;
}

int Slot_oder_alle(const std::string& text) { return text == "all" ? 0 : Slot(text); }

char Eingang_von(const std::string& text) {
    if (text == "all") return 'G';
    if (text.size() != 1) return 0;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return std::isxdigit(static_cast<unsigned char>(c)) ? c : 0;
}

const char* Nutzung() {
    return "usage: pelto [OPTIONS] COMMAND [ARGUMENTS]\n"
           "Options go anywhere on the line; -- ends them.\n"
           "\n"
           "  --port COM<n>|PATH           the port (COM1 when not given)\n"
           "  --baud N                     the baud rate (115200)\n"
           "  --json                       one JSON object per exchange, then the outcome\n"
           "  --quiet                      the result only; no progress\n"
           "  --record FILE                append the wire traffic, time-stamped, to FILE\n"
           "                               (also PELTO_RECORD=FILE); pelto-sim --replay FILE\n"
           "                               plays it back\n"
           "  --help, -h                   this text\n"
           "\n"
           "  version                      the controller's version\n"
           "  status                       the six status characters\n"
           "  position x|y|z|u             one axis position\n"
           "  send REQUEST...              each request as given (CR added), one after the other;\n"
           "                               a request answered with NAK waits for its final answer\n"
           "  run FILE                     a command file, line by line\n"
           "  write SLOT PROGRAM HEADER    a program and its header into slot 1-7\n"
           "  read SLOT [--header]         a stored program (or its header)\n"
           "  size PROGRAM HEADER          the size the program would take\n"
           "  delete SLOT|all              delete one program or all\n"
           "  fat [SLOT|all]               the allocation table\n"
           "  output 1-4 on|off            switch an output; --i2c on the I2C bus, --watchdog\n"
           "                               (output 1 only) the watchdog\n"
           "  input 0-9|A-F|all            read an input, or all at once\n"
           "  move X Y Z [--absolute]      a vector move (relative unless --absolute); waits\n"
           "                               for its final answer\n"
           "  reset | stop | halt          the immediate commands (reset and stop go out even\n"
           "                               when the connection check fails)\n"
           "  ports                        the ports present, with their USB adapters; opens none\n"
           "  modultest [--junit FILE]     the module test, one line (--json: object) per step;\n"
           "                               --junit writes a JUnit XML report, one test case per step\n"
           "\n"
           "write, read, size and run show their progress on standard error when it is a\n"
           "terminal (not with --quiet or --json).\n"
           "\n"
           "Exit status: 0 success, 1 controller error, 2 link error (the port cannot be opened:\n"
           "missing, busy or not permitted, said on standard error), 3 file cannot be sent,\n"
           "64 wrong usage, 70 out of memory, 74 standard output could not be written,\n"
           "130 interrupted (the stop was sent, but not amid program text).\n"
           "modultest ends with 0 only if every step passed.\n";
}
