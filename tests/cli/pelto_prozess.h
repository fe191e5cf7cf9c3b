#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The pelto tool run as a process in a folder, its output captured.
class PeltoProzess {
public:
    struct Ergebnis {
        int status = -1;  // exit status, or 128 + signal
        std::string aus, fehler;
    };

    PeltoProzess(const std::vector<std::string>& args, const std::string& ordner);
    ~PeltoProzess();
    PeltoProzess(const PeltoProzess&) = delete;
    PeltoProzess& operator=(const PeltoProzess&) = delete;

    void Signal(int nummer) const;
    // Reads all output and waits for the end.
    Ergebnis Warten();

    // Runs to the end.
    static Ergebnis Lauf(const std::vector<std::string>& args, const std::string& ordner);

private:
    pid_t pid_ = -1;
    int aus_ = -1, fehler_ = -1;
};
