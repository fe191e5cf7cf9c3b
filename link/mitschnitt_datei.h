#pragma once

#include <string>
#include <vector>

// The file a recording goes into: only a regular file, not this program's
// own output, and not one another run is recording into at the same time
// (their lines would mix). A run cut short may have left its last line
// open: the next run begins on a line of its own.
class MitschnittDatei {
public:
    MitschnittDatei() = default;
    ~MitschnittDatei();
    MitschnittDatei(const MitschnittDatei&) = delete;
    MitschnittDatei& operator=(const MitschnittDatei&) = delete;

    // Why it cannot be written, else empty.
    std::string Oeffnen(const std::string& pfad);
    // Appends the lines; after the first failure writes nothing more.
    void Schreiben(const std::vector<std::string>& zeilen);
    void Schliessen();
    bool Offen() const { return fd_ >= 0; }
    // Why writing failed, else empty.
    const std::string& Fehler() const { return fehler_; }

private:
    std::string Pruefen(int fd) const;

    int fd_ = -1;
    bool bZeilenanfang_ = true;  // the file ends with a whole line
    std::string fehler_;
};
