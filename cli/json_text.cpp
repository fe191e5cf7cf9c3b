#include "cli/json_text.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence starting at i, or 0. Overlong forms,
// surrogates and code points above U+10FFFF are not valid: JSON readers
// would refuse them or change them.
std::size_t Utf8Laenge(std::string_view t, std::size_t i) {
    const auto b = static_cast<unsigned char>(t[i]);
    const std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > t.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(t[i + k]) & 0xC0) != 0x80) return 0;
    // The second byte's range where the first allows less than all of 80-BF.
    const auto zweites = static_cast<unsigned char>(t[i + 1]);
    if (b == 0xE0 && zweites < 0xA0) return 0;
    if (b == 0xED && zweites > 0x9F) return 0;
    if (b == 0xF0 && zweites < 0x90) return 0;
    if (b == 0xF4 && zweites > 0x8F) return 0;
    return n;
}

std::string Escape(unsigned code) {
    char puffer[8];
    std::snprintf(puffer, sizeof puffer, "\\u%04x", code);
    return puffer;
}

}  // namespace

std::string JsonText(std::string_view text) {
    std::string aus = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '"' || b == '\\') {
            aus += '\\';
            aus += static_cast<char>(b);
        } else if (b < 0x20 || b == 0x7F) {
            aus += Escape(b);
        } else if (b < 0x80) {
            aus += static_cast<char>(b);
        } else if (const std::size_t n = Utf8Laenge(text, i)) {
            aus.append(text.substr(i, n));
            i += n - 1;
        } else {
            aus += Escape(b);
        }
    }
    return aus + "\"";
}
