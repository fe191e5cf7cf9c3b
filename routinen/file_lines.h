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

// Why a line cannot go out as it is.
enum class Zeilenmangel {
    ZuLang,         // longer than one request may be
    Steuerzeichen,  // a control byte would frame the protocol or confuse the controller
    Leer,           // an empty header line would leave the controller in its header
    AtAnfang,       // a controller may serve a line that begins with "@" as an immediate request
};

struct UnsendbareZeile {
    std::size_t nummer;      // 1-based line number in the file
    Zeilenmangel mangel;
    std::size_t laenge = 0;      // after stripping
    std::size_t hoechstens = 0;  // the limit it breaks (ZuLang)
    unsigned char zeichen = 0;   // the first framing byte (Steuerzeichen)
};

// Splits 8-bit text into lines: CR LF, a lone CR and a lone LF each end a
// line; a break after the last line adds no empty line. Bytes are kept.
std::vector<std::string> SplitLines(std::string_view text);

// No program the controller can hold comes near this; a larger file is a
// mistake (or hostile) and is refused before it is read.
inline constexpr long long kMaxDateigroesse = 1024 * 1024;

// Reads a whole ordinary file and splits it, without a UTF-8 byte-order
// mark at its start. Missing, unreadable, special (folders, pipes, devices)
// or over-large files give an error naming the file.
DateiZeilen LoadLines(const std::string& pfad);

// The line without its trailing characters of code 32 or less.
std::string StripTrailing(std::string_view zeile);

// The rule of program and command files for a stripped line: empty lines
// and lines beginning with "'" or "/" are not sent.
bool IsProgramLineToSend(std::string_view gestrippt);

// The first line of a command file that will be sent and cannot be: a
// framing byte inside it, or longer than kMaxProgrammzeile once stripped.
// Comments and empty lines are never sent, so they do not count.
std::optional<UnsendbareZeile> FirstUnsendableCommandLine(const std::vector<std::string>& zeilen);
// The same for a program file, whose lines must not begin with "@" either.
std::optional<UnsendbareZeile> FirstUnsendableProgramLine(const std::vector<std::string>& zeilen);

// The same for a header, where every line is sent: a control byte, longer
// than kMaxHeaderzeile, or empty once stripped.
std::optional<UnsendbareZeile> FirstUnsendableHeaderLine(const std::vector<std::string>& zeilen);

// "Zeile 12 der Datei 'programm3.txt' ist 300 Zeichen lang (erlaubt sind 126)."
std::string UnsendbareZeileText(const std::string& datei, const UnsendbareZeile& zeile);
