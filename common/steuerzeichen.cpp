#include "common/steuerzeichen.h"

#include <cstring>

namespace {

const char* TagFor(char c) {
    switch (c) {
    case zeichen::STX: return "<STX>";
    case zeichen::ETX: return "<ETX>";
    case zeichen::ACK: return "<ACK>";
    case zeichen::BEL: return "<BEL>";
    case zeichen::CR: return "<CR>";
    case zeichen::NAK: return "<NAK>";
    default: return nullptr;
    }
}

}  // namespace

void Steuerzeichen_darstellen(char* szZiel, size_t iZielGroesse, const char* szQuelle) {
    if (iZielGroesse == 0) return;
    size_t used = 0;
    for (const char* p = szQuelle; *p; ++p) {
        const char* tag = TagFor(*p);
        const size_t len = tag ? std::strlen(tag) : 1;
        if (used + len >= iZielGroesse) break;
        std::memcpy(szZiel + used, tag ? tag : p, len);
        used += len;
    }
    szZiel[used] = '\0';
}

std::string Dargestellt(const char* szQuelle) {
    std::string text;
    for (const char* p = szQuelle; *p; ++p) {
        const char* tag = TagFor(*p);
        text += tag ? std::string(tag) : std::string(1, *p);
    }
    return text;
}

bool Ist_Rahmenzeichen(unsigned char c) {
    using namespace zeichen;
    return c == 0 || c == STX || c == ETX || c == ACK || c == BEL || c == '\n' || c == CR || c == NAK;
}

const char* Steuerzeichen_Name(unsigned char c) {
    static constexpr const char* kNamen[32] = {
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
        "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    if (c == 127) return "DEL";
    return c < 32 ? kNamen[c] : nullptr;
}
