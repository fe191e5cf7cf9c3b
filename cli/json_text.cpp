#include "cli/json_text.h"

#include <cstdio>

#include "cli/utf8.h"

namespace {

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
