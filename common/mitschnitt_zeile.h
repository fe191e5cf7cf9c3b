#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

// One line of a wire recording: a piece of traffic, when it passed (whole
// milliseconds since the recording program started) and which way.
//
//   1234 > #S100<CR>        the console sent these bytes
//   1236 < <ACK>            the console received these bytes
//
// In the bytes, control characters appear by their ASCII name in angle
// brackets ("<CR>", "<ACK>", "<NAK>", "<STX>", "<LF>", "<DEL>" ...); "<",
// "\", bytes above 126 and a blank at the end of the line as "\x" and two
// hex digits; everything else as it is. Empty lines and lines beginning
// with "#" are comments.
// The largest time stamp a line may carry (a year in ms).
constexpr int64_t kMitschnittHoechstMs = 365LL * 24 * 3600 * 1000;

struct MitschnittZeile {
    enum class Richtung : char { Gesendet = '>', Empfangen = '<' };

    int64_t ms = 0;
    Richtung richtung = Richtung::Gesendet;
    std::string bytes;

    // The line without its newline.
    std::string Text() const;
};

// A comment (monostate), a line, or what is wrong with it.
using MitschnittLesung = std::variant<std::monostate, MitschnittZeile, std::string>;
MitschnittLesung Mitschnitt_lesen(std::string_view zeile);

// Bytes as the recording shows them, and back; the way back fails (false)
// on a name or escape it does not know.
std::string Mitschnitt_maskieren(std::string_view bytes);
bool Mitschnitt_entmaskieren(std::string_view text, std::string& bytes);
