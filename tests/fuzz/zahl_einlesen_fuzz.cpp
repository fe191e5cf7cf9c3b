// Arbitrary entry text: reading a number never fails hard, an entry that is
// not a number reads as 0, and a number that is accepted is the one written.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "routinen/zahl_einlesen.h"

namespace {

void Pruefen(bool ok, const char* was) {
    if (ok) return;
    std::fprintf(stderr, "zahl_einlesen_fuzz: %s\n", was);
    std::abort();
}

std::string OhneBlanks(const std::string& text) {
    std::string rest;
    for (char c : text)
        if (c != ' ') rest += c;
    return rest;
}

void BlanksPruefen(const std::string& text) {
    std::string gekuerzt = text;
    Leerzeichen_entfernen(gekuerzt);
    Pruefen(gekuerzt.size() <= kZahlHoechstZeichen, "blank removal keeps too much");
    Pruefen(gekuerzt.find(' ') == std::string::npos, "blank removal left a blank");
    Pruefen(OhneBlanks(text).starts_with(gekuerzt), "blank removal changed the text");
}

// An accepted entry means the same number as the C library reads from it.
void WertPruefen(const std::string& text, int32_t wert) {
    const std::string rest = OhneBlanks(text);
    Pruefen(rest.size() <= kZahlHoechstZeichen, "accepted entry longer than the entry field");
    char* ende = nullptr;
    const long long erwartet = std::strtoll(rest.c_str(), &ende, 10);
    Pruefen(ende == rest.c_str() + rest.size(), "accepted entry is not all number");
    Pruefen(erwartet == wert, "accepted entry read as another value");
    int32_t wieder = -1;
    Pruefen(Zahl_pruefen(std::to_string(wert), wieder) && wieder == wert, "value does not round-trip");
    Pruefen(Zahl_pruefen(" " + std::to_string(wert) + " ", wieder) && wieder == wert,
            "value with blanks around does not round-trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t wert = 12345;
    const bool ok = Zahl_pruefen(text, wert);
    Pruefen(Zahl_einlesen(text) == wert, "Zahl_einlesen disagrees with Zahl_pruefen");
    if (ok)
        WertPruefen(text, wert);
    else
        Pruefen(wert == 0, "rejected entry did not read as 0");
    Ziffern_pruefen(text);
    BlanksPruefen(text);
    return 0;
}
