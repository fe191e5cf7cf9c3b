#include "common/mitschnitt_zeile.h"

#include <charconv>
#include <cstdio>

#include "common/steuerzeichen.h"

namespace {

std::string Hex(unsigned char c) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", c);
    return text;
}

bool Hexziffer(char c, int& wert) {
    if (c >= '0' && c <= '9') wert = c - '0';
    else if (c >= 'A' && c <= 'F') wert = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') wert = c - 'a' + 10;
    else return false;
    return true;
}

// The byte whose ASCII name is `name`; false for none.
bool Benannt(std::string_view name, char& c) {
    for (int i = 0; i < 128; ++i) {
        const char* n = Steuerzeichen_Name(static_cast<unsigned char>(i));
        if (n && name == n) {
            c = static_cast<char>(i);
            return true;
        }
    }
    return false;
}

// One escape at text[i], its length in `laenge`.
bool Maske_lesen(std::string_view text, std::size_t i, char& c, std::size_t& laenge) {
    if (text[i] == '<') {
        const std::size_t ende = text.find('>', i);
        laenge = ende == std::string_view::npos ? 0 : ende - i + 1;
        return laenge > 2 && Benannt(text.substr(i + 1, laenge - 2), c);
    }
    int hoch = 0, tief = 0;
    laenge = 4;
    if (text.substr(i, 2) != "\\x" || i + 4 > text.size() || !Hexziffer(text[i + 2], hoch) ||
        !Hexziffer(text[i + 3], tief))
        return false;
    c = static_cast<char>(hoch * 16 + tief);
    return true;
}

}  // namespace

std::string Mitschnitt_maskieren(std::string_view bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (const char* name = Steuerzeichen_Name(c))
            text += std::string("<") + name + ">";
        else if (c == '<' || c == '\\' || c > 126 || (c == ' ' && i + 1 == bytes.size()))
            text += Hex(c);
        else
            text += static_cast<char>(c);
    }
    return text;
}

bool Mitschnitt_entmaskieren(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '<' && text[i] != '\\') {
            bytes += text[i++];
            continue;
        }
        char c = 0;
        std::size_t laenge = 0;
        if (!Maske_lesen(text, i, c, laenge)) return false;
        bytes += c;
        i += laenge;
    }
    return true;
}

std::string MitschnittZeile::Text() const {
    return std::to_string(ms) + ' ' + static_cast<char>(richtung) + ' ' + Mitschnitt_maskieren(bytes);
}

MitschnittLesung Mitschnitt_lesen(std::string_view zeile) {
    if (!zeile.empty() && zeile.back() == '\r') zeile.remove_suffix(1);
    if (zeile.empty() || zeile[0] == '#') return std::monostate{};
    MitschnittZeile z;
    const auto [p, ec] = std::from_chars(zeile.data(), zeile.data() + zeile.size(), z.ms);
    const std::size_t rest = static_cast<std::size_t>(p - zeile.data());
    if (ec != std::errc() || z.ms < 0) return std::string("no time stamp");
    // No run lasts a year: a larger stamp is a damaged line, not a long wait.
    if (z.ms > kMitschnittHoechstMs) return std::string("time stamp out of range");
    if (zeile.size() < rest + 4 || zeile[rest] != ' ' || zeile[rest + 2] != ' ' ||
        (zeile[rest + 1] != '>' && zeile[rest + 1] != '<'))
        return std::string("expected \"MS > BYTES\" or \"MS < BYTES\"");
    z.richtung = static_cast<MitschnittZeile::Richtung>(zeile[rest + 1]);
    if (!Mitschnitt_entmaskieren(zeile.substr(rest + 3), z.bytes)) return std::string("unknown <NAME> or \\x escape");
    return z;
}
