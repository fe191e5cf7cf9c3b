#include "routinen/zahl_einlesen.h"

#include <algorithm>
#include <charconv>

namespace {

std::string OhneLeerzeichen(const std::string& text) {
    std::string rest;
    rest.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(rest),
                 [](char c) { return c != ' '; });
    return rest;
}

bool IstZiffer(char c) { return c >= '0' && c <= '9'; }

// One optional sign, then at least one digit and nothing else.
bool IstDezimalzahl(const std::string& text) {
    std::size_t start = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    return text.size() > start && std::all_of(text.begin() + start, text.end(), IstZiffer);
}

}  // namespace

void Leerzeichen_entfernen(std::string& text) {
    text = OhneLeerzeichen(text);
    if (text.size() > kZahlHoechstZeichen) text.resize(kZahlHoechstZeichen);
}

bool Ziffern_pruefen(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return IstZiffer(c) || c == '-' || c == '+'; });
}

bool Zahl_pruefen(const std::string& text, int32_t& wert) {
    wert = 0;
    // Counted before cutting, so that an over-long entry is never read as
    // the number its first characters happen to form.
    const std::string rest = OhneLeerzeichen(text);
    if (rest.size() > kZahlHoechstZeichen || !Ziffern_pruefen(rest) || !IstDezimalzahl(rest))
        return false;
    // from_chars takes "-" but not "+".
    const char* anfang = rest.data() + (rest[0] == '+' ? 1 : 0);
    const char* ende = rest.data() + rest.size();
    int32_t gelesen = 0;
    auto [ptr, ec] = std::from_chars(anfang, ende, gelesen);
    if (ec != std::errc{} || ptr != ende) return false;
    wert = gelesen;
    return true;
}

int32_t Zahl_einlesen(const std::string& text) {
    int32_t wert = 0;
    Zahl_pruefen(text, wert);
    return wert;
}
