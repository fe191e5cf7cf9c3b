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
    const auto ascii = [&aus](unsigned char b) {
        if (const char* e = Entitaet(b))
            aus += e;
        else if (b < 0x20 || b == 0x7F)
            aus += "\xEF\xBF\xBD";
        else
            aus += static_cast<char>(b);
    };
    Utf8_umsetzen(text, aus, ascii, [&aus](unsigned char b) { Latin1_anhaengen(aus, b); });
    return aus;
}
