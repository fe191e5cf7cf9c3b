#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Length of the valid UTF-8 sequence starting at i, or 0. Overlong forms,
// surrogates and code points above U+10FFFF are not valid: JSON and XML
// readers would refuse them or change them.
std::size_t Utf8Laenge(std::string_view t, std::size_t i);

// The byte taken as Latin-1, in UTF-8: the controller and operator files
// are 8-bit.
void Latin1_anhaengen(std::string& ziel, unsigned char b);

// Appends the text to `ziel`: each ASCII byte through `ascii`, each valid
// UTF-8 sequence as it is, each other byte through `sonst`.
template <typename Ascii, typename Sonst>
void Utf8_umsetzen(std::string_view text, std::string& ziel, Ascii ascii, Sonst sonst) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ascii(b);
        } else if (const std::size_t n = Utf8Laenge(text, i)) {
            ziel.append(text.substr(i, n));
            i += n - 1;
        } else {
            sonst(b);
        }
    }
}
