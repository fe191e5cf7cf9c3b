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
