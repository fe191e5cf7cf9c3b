#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// How a pelto process starts beyond its standard output.
struct PeltoStart {
    bool bFehlerTerminal = false;  // standard error a pseudo-terminal, read as it is
    bool bOhneRechte = false;      // run by "nobody" when the test runs as root
};

// The pelto tool run as a process in a folder, its output captured.
class PeltoProzess {
public:
    // Standard output: a pipe read by the test, closed, /dev/full, or a pipe
    // whose reader goes away after the first output, as "head" does.
    enum class Kanal { Rohr, Geschlossen, Voll, LeserGeht };

    using Start = PeltoStart;

    struct Ergebnis {
        int status = -1;  // exit status, or 128 + signal
        std::string aus, fehler;
    };

    PeltoProzess(const std::vector<std::string>& args, const std::string& ordner, Kanal aus = Kanal::Rohr,
                 Start start = {});
    ~PeltoProzess();
    PeltoProzess(const PeltoProzess&) = delete;
    PeltoProzess& operator=(const PeltoProzess&) = delete;

    void Signal(int nummer) const;
    // Reads all output and waits for the end.
    Ergebnis Warten();

    // Runs to the end.
    static Ergebnis Lauf(const std::vector<std::string>& args, const std::string& ordner, Kanal aus = Kanal::Rohr,
                         Start start = {});

private:
    // Waits for the first output, then closes the reading end.
    void Leser_gehen();

    pid_t pid_ = -1;
    int aus_ = -1, fehler_ = -1;
};
