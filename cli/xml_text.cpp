#include "cli/xml_text.h"

#include "cli/utf8.h"

namespace {

const char* Entitaet(unsigned char b) {
    switch (b) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        case '\'': return "&apos;";
        // Kept in attribute values, which would turn them into blanks.
        case '\t': return "&#9;";
        case '\n': return "&#10;";
        case '\r': return "&#13;";
        default: return nullptr;
    }
}

}  // namespace

std::string XmlText(std::string_view text) {
    std::string aus;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (const char* e = Entitaet(b)) {
            aus += e;
        } else if (b < 0x20 || b == 0x7F) {
            aus += "\xEF\xBF\xBD";
        } else if (b < 0x80) {
            aus += static_cast<char>(b);
        } else if (const std::size_t n = Utf8Laenge(text, i)) {
            aus.append(text.substr(i, n));
            i += n - 1;
        } else {
            Latin1_anhaengen(aus, b);
        }
    }
    return aus;
}
