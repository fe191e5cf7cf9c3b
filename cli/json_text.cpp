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
    const auto ascii = [&aus](unsigned char b) {
        if (b == '"' || b == '\\') {
            aus += '\\';
            aus += static_cast<char>(b);
        } else if (b < 0x20 || b == 0x7F) {
            aus += Escape(b);
        } else {
            aus += static_cast<char>(b);
        }
    };
    Utf8_umsetzen(text, aus, ascii, [&aus](unsigned char b) { aus += Escape(b); });
    return aus + "\"";
}
