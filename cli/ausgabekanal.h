#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Standard output with every write checked: a full disk, /dev/full or a
// reader that went away is noticed at the line it happens. Each line goes
// out at once, so that a pipe's reader sees the exchange as it runs.
class Ausgabekanal {
public:
    explicit Ausgabekanal(std::FILE* datei = stdout) : datei_(datei) {}

    // The text and a newline.
    void Zeile(const std::string& text);
    // Text as it is; false once anything failed.
    bool Schreiben(const std::string& text);
    // errno of the first failure, or 0.
    int Fehler() const { return iFehler_; }
    // Called once, on the first failure, with its errno.
    void Bei_Fehler(std::function<void(int)> melden) { melden_ = std::move(melden); }

private:
    std::FILE* datei_;
    int iFehler_ = 0;
    std::function<void(int)> melden_;
};
