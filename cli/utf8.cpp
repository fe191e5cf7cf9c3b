#include "cli/utf8.h"

#include <string>

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

void Latin1_anhaengen(std::string& ziel, unsigned char b) {
    ziel += static_cast<char>(0xC0 | (b >> 6));
    ziel += static_cast<char>(0x80 | (b & 0x3F));
}
