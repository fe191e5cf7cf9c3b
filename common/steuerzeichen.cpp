#include "common/steuerzeichen.h"

#include <cstring>

namespace {

const char* TagFor(char c) {
    switch (c) {
    case 0x02: return "<STX>";
    case 0x03: return "<ETX>";
    case 0x06: return "<ACK>";
    case 0x07: return "<BEL>";
    case 0x0D: return "<CR>";
    case 0x15: return "<NAK>";
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
