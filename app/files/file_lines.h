#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A program or command line plus the CR appended must fit a request of 127.
inline constexpr std::size_t kMaxProgrammzeile = 126;
// Header lines are sent without a CR.
inline constexpr std::size_t kMaxHeaderzeile = 127;

// A file that could not be read or written.
struct DateiFehler {
    std::string datei;  // the name as given by the caller
    int fehlernummer;   // errno, 0 if none applies
    std::string text;   // complete message for the operator
};

// "Die Datei '<datei>' kann nicht <taetigkeit> werden: <reason>", with the
// system's reason for the error number.
DateiFehler MakeDateiFehler(const std::string& datei, int fehlernummer,
                            const std::string& taetigkeit);

// The lines of a text file, or why it could not be read.
struct DateiZeilen {
    std::vector<std::string> zeilen;
    std::optional<DateiFehler> fehler;
    bool ok() const { return !fehler.has_value(); }
};

// A line that is longer than the link allows.
struct ZuLangeZeile {
    std::size_t nummer;      // 1-based line number in the file
    std::size_t laenge;      // after stripping
    std::size_t hoechstens;  // the limit it breaks
    bool enthaeltNul = false;  // holds a NUL, which no request can carry
};

// Splits 8-bit text into lines: CR LF, a lone CR and a lone LF each end a
// line; a break after the last line adds no empty line. Bytes are kept.
std::vector<std::string> SplitLines(std::string_view text);

// Reads a whole ordinary file and splits it. Missing, unreadable or special
// files (folders, pipes, devices) give an error naming the file.
DateiZeilen LoadLines(const std::string& pfad);

// The line without its trailing characters of code 32 or less.
std::string StripTrailing(std::string_view zeile);

// The rule of program and command files for a stripped line: empty lines
// and lines beginning with "'" or "/" are not sent.
bool IsProgramLineToSend(std::string_view gestrippt);

// First line that will be sent and exceeds kMaxProgrammzeile once stripped,
// or holds a NUL (the same for headers below).
// Comments and empty lines are never sent, so their length does not count.
std::optional<ZuLangeZeile> FirstTooLongProgramLine(const std::vector<std::string>& zeilen);

// First header line that exceeds kMaxHeaderzeile once stripped.
std::optional<ZuLangeZeile> FirstTooLongHeaderLine(const std::vector<std::string>& zeilen);

// "Zeile 12 der Datei 'programm3.txt' ist 300 Zeichen lang (erlaubt sind 126)."
std::string ZuLangeZeileText(const std::string& datei, const ZuLangeZeile& zeile);
