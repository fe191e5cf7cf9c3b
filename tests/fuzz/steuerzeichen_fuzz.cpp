// Arbitrary text into a destination of arbitrary size (1..600), allocated
// exactly so that ASan sees any write past it. The output must be the shown
// form of a prefix of the text: terminated, no raw control characters, no
// tag cut in half, and cut only where the next piece no longer fits.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "common/steuerzeichen.h"

namespace {

void Pruefen(bool ok, const char* was) {
    if (ok) return;
    std::fprintf(stderr, "steuerzeichen_fuzz: %s\n", was);
    std::abort();
}

std::string Darstellung(char c) {
    switch (c) {
    case 0x02: return "<STX>";
    case 0x03: return "<ETX>";
    case 0x06: return "<ACK>";
    case 0x07: return "<BEL>";
    case 0x0D: return "<CR>";
    case 0x15: return "<NAK>";
    default: return std::string(1, c);
    }
}

void AusgabePruefen(std::string_view ausgabe, const char* quelle, std::size_t groesse) {
    Pruefen(ausgabe.find_first_of("\x02\x03\x06\x07\x0D\x15") == std::string_view::npos,
            "raw control character in the output");
    std::size_t benutzt = 0;
    for (const char* p = quelle; *p; ++p) {
        const std::string stueck = Darstellung(*p);
        if (benutzt == ausgabe.size()) {
            Pruefen(benutzt + stueck.size() >= groesse, "cut although the next piece fits");
            return;
        }
        Pruefen(ausgabe.substr(benutzt, stueck.size()) == stueck, "output is not the text shown");
        benutzt += stueck.size();
    }
    Pruefen(benutzt == ausgabe.size(), "output longer than the text shown");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t groesse = (static_cast<std::size_t>(data[0]) << 8 | data[1]) % 600 + 1;
    const std::string quelle(reinterpret_cast<const char*>(data + 2), size - 2);
    auto ziel = std::make_unique<char[]>(groesse);
    std::memset(ziel.get(), 0x55, groesse);
    Steuerzeichen_darstellen(ziel.get(), groesse, quelle.c_str());
    const std::size_t laenge = strnlen(ziel.get(), groesse);
    Pruefen(laenge < groesse, "output not terminated inside the destination");
    AusgabePruefen(std::string_view(ziel.get(), laenge), quelle.c_str(), groesse);
    return 0;
}
