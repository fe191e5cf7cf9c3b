// Arbitrary file contents through the line rules: no crash, lines without
// line ends, the lines joined back give the file with its line ends made
// uniform, stripping removes only trailing bytes of code 32 or less, and the
// checks name the first line that cannot be sent.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "routinen/file_lines.h"

namespace {

void Pruefen(bool ok, const char* was) {
    if (ok) return;
    std::fprintf(stderr, "file_lines_fuzz: %s\n", was);
    std::abort();
}

bool IstSteuerOderBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// CR LF and a lone CR each become LF.
std::string NurLF(std::string_view text) {
    std::string ergebnis;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        ergebnis += text[i] == '\r' ? '\n' : text[i];
    }
    return ergebnis;
}

void ZeilenPruefen(std::string_view text, const std::vector<std::string>& zeilen) {
    std::string zusammen;
    for (std::size_t i = 0; i < zeilen.size(); ++i) {
        Pruefen(zeilen[i].find_first_of("\r\n") == std::string::npos, "line end inside a line");
        if (i > 0) zusammen += '\n';
        zusammen += zeilen[i];
    }
    const std::string uniform = NurLF(text);
    if (!uniform.empty() && uniform.back() == '\n') zusammen += '\n';
    Pruefen(zusammen == uniform, "lines joined back differ from the file");
}

void StripPruefen(const std::string& zeile, const std::string& gestrippt) {
    Pruefen(zeile.starts_with(gestrippt), "stripping changed the line");
    Pruefen(gestrippt.empty() || !IstSteuerOderBlank(gestrippt.back()), "trailing blank left");
    for (std::size_t i = gestrippt.size(); i < zeile.size(); ++i)
        Pruefen(IstSteuerOderBlank(zeile[i]), "stripping removed a visible byte");
    const bool senden = IsProgramLineToSend(gestrippt);
    Pruefen(senden == !(gestrippt.empty() || gestrippt[0] == '\'' || gestrippt[0] == '/'),
            "send rule wrong");
}

// A line cannot be sent when it holds a framing byte, is too long, (a
// header line) is empty, or (stored text) begins with "@"; the oracle is
// written out byte by byte.
bool Unsendbar(const std::string& gestrippt, std::size_t hoechstens, bool kopf, bool gespeichert) {
    for (const char c : gestrippt)
        if (std::string_view("\0\x02\x03\x06\x07\n\r\x15", 8).find(c) != std::string_view::npos) return true;
    if (gespeichert && !gestrippt.empty() && gestrippt[0] == '@') return true;
    return gestrippt.size() > hoechstens || (kopf && gestrippt.empty());
}

template <typename Zaehlt>
void UnsendbarPruefen(const std::vector<std::string>& zeilen, const std::optional<UnsendbareZeile>& gefunden,
                      std::size_t hoechstens, bool kopf, bool gespeichert, Zaehlt zaehlt) {
    const std::size_t bis = gefunden ? gefunden->nummer : zeilen.size() + 1;
    Pruefen(bis >= 1 && bis <= zeilen.size() + 1, "unsendable line number outside the file");
    for (std::size_t i = 0; i + 1 < bis; ++i) {
        const std::string gestrippt = StripTrailing(zeilen[i]);
        Pruefen(!(Unsendbar(gestrippt, hoechstens, kopf, gespeichert) && zaehlt(gestrippt)), "earlier unsendable line missed");
    }
    if (!gefunden) return;
    const std::string gestrippt = StripTrailing(zeilen[bis - 1]);
    Pruefen(gefunden->hoechstens == hoechstens && Unsendbar(gestrippt, hoechstens, kopf, gespeichert) && zaehlt(gestrippt),
            "unsendable line reported wrongly");
    if (gefunden->mangel == Zeilenmangel::Steuerzeichen)
        Pruefen(gestrippt.find(static_cast<char>(gefunden->zeichen)) != std::string::npos, "wrong control byte named");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> zeilen = SplitLines(text);
    ZeilenPruefen(text, zeilen);
    for (const std::string& zeile : zeilen) StripPruefen(zeile, StripTrailing(zeile));
    UnsendbarPruefen(zeilen, FirstUnsendableProgramLine(zeilen), kMaxProgrammzeile, false, true,
                     [](const std::string& z) { return IsProgramLineToSend(z); });
    UnsendbarPruefen(zeilen, FirstUnsendableCommandLine(zeilen), kMaxProgrammzeile, false, false,
                     [](const std::string& z) { return IsProgramLineToSend(z); });
    UnsendbarPruefen(zeilen, FirstUnsendableHeaderLine(zeilen), kMaxHeaderzeile, true, true,
                     [](const std::string&) { return true; });
    return 0;
}
