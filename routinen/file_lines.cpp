#include "routinen/file_lines.h"

#include "common/steuerzeichen.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// strerror_r comes in a GNU and a POSIX flavour.
[[maybe_unused]] std::string Grund(const char* text, const char*) { return text; }
[[maybe_unused]] std::string Grund(int, const char* puffer) { return puffer; }

std::string SystemText(int fehlernummer) {
    char puffer[256] = {};
    return Grund(strerror_r(fehlernummer, puffer, sizeof puffer), puffer);
}

// Reads everything up to the end, or up to `hoechstens` bytes; false with
// errno set on failure.
bool AllesLesen(int fd, std::string& inhalt, std::size_t hoechstens) {
    char puffer[16384];
    while (inhalt.size() < hoechstens) {
        const ssize_t n = read(fd, puffer, sizeof puffer);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        inhalt.append(puffer, static_cast<std::size_t>(n));
    }
    return true;
}

std::string_view OhneBom(std::string_view text);

// O_NONBLOCK so that a pipe under the expected name cannot stall the open.
DateiZeilen LeseOffeneDatei(int fd, const std::string& pfad) {
    DateiZeilen ergebnis;
    struct stat st{};
    if (fstat(fd, &st) != 0) {
        ergebnis.fehler = MakeDateiFehler(pfad, errno, "gelesen");
    } else if (!S_ISREG(st.st_mode)) {
        ergebnis.fehler = DateiFehler{pfad, 0, "'" + pfad + "' ist keine normale Datei."};
    } else if (st.st_size > kMaxDateigroesse) {
        ergebnis.fehler = DateiFehler{pfad, EFBIG,
                                      "Die Datei '" + pfad + "' ist " + std::to_string(st.st_size) +
                                          " Bytes groß (erlaubt sind " + std::to_string(kMaxDateigroesse) + ")."};
    } else {
        std::string inhalt;
        // The bound again: the file may grow while it is read.
        if (AllesLesen(fd, inhalt, kMaxDateigroesse + 1) && inhalt.size() <= kMaxDateigroesse)
            ergebnis.zeilen = SplitLines(OhneBom(inhalt));
        else
            ergebnis.fehler = MakeDateiFehler(pfad, inhalt.size() > kMaxDateigroesse ? EFBIG : errno, "gelesen");
    }
    return ergebnis;
}

// Editors on other systems put one at the start; it is no command.
std::string_view OhneBom(std::string_view text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    return text.starts_with(kBom) ? text.substr(kBom.size()) : text;
}

// The first flaw that keeps a stripped line from going out.
// The rules a file's lines must keep.
struct Zeilenregeln {
    std::size_t hoechstens;
    bool leerVerboten;  // header text
    bool atVerboten;    // stored text: "@" at a line's start
};

std::optional<UnsendbareZeile> Mangel(const std::string& zeile, std::size_t nummer, const Zeilenregeln& r) {
    const std::size_t hoechstens = r.hoechstens;
    const auto c = std::find_if(zeile.begin(), zeile.end(),
                                [](char z) { return Ist_Rahmenzeichen(static_cast<unsigned char>(z)); });
    if (c != zeile.end())
        return UnsendbareZeile{nummer, Zeilenmangel::Steuerzeichen, zeile.size(), hoechstens,
                               static_cast<unsigned char>(*c)};
    if (zeile.size() > hoechstens) return UnsendbareZeile{nummer, Zeilenmangel::ZuLang, zeile.size(), hoechstens};
    if (r.leerVerboten && zeile.empty()) return UnsendbareZeile{nummer, Zeilenmangel::Leer, 0, hoechstens};
    if (r.atVerboten && zeile.starts_with('@')) return UnsendbareZeile{nummer, Zeilenmangel::AtAnfang, zeile.size(), hoechstens};
    return std::nullopt;
}

template <typename IstZuPruefen>
std::optional<UnsendbareZeile> ErsteUnsendbare(const std::vector<std::string>& zeilen, const Zeilenregeln& r,
                                               IstZuPruefen istZuPruefen) {
    for (std::size_t i = 0; i < zeilen.size(); ++i) {
        const std::string zeile = StripTrailing(zeilen[i]);
        if (!istZuPruefen(zeile)) continue;
        if (auto mangel = Mangel(zeile, i + 1, r)) return mangel;
    }
    return std::nullopt;
}

}  // namespace

DateiFehler MakeDateiFehler(const std::string& datei, int fehlernummer,
                            const std::string& taetigkeit) {
    return DateiFehler{datei, fehlernummer,
                       "Die Datei '" + datei + "' kann nicht " + taetigkeit +
                           " werden: " + SystemText(fehlernummer)};
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> zeilen;
    std::size_t anfang = 0;
    while (anfang < text.size()) {
        const std::size_t ende = std::min(text.find_first_of("\r\n", anfang), text.size());
        zeilen.emplace_back(text.substr(anfang, ende - anfang));
        anfang = ende + 1;
        if (ende + 1 < text.size() && text[ende] == '\r' && text[ende + 1] == '\n') ++anfang;
    }
    return zeilen;
}

DateiZeilen LoadLines(const std::string& pfad) {
    const int fd = open(pfad.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return DateiZeilen{{}, MakeDateiFehler(pfad, errno, "gelesen")};
    DateiZeilen ergebnis = LeseOffeneDatei(fd, pfad);
    close(fd);
    return ergebnis;
}

std::string StripTrailing(std::string_view zeile) {
    std::size_t laenge = zeile.size();
    while (laenge > 0 && static_cast<unsigned char>(zeile[laenge - 1]) <= 32) --laenge;
    return std::string(zeile.substr(0, laenge));
}

bool IsProgramLineToSend(std::string_view gestrippt) {
    return !gestrippt.empty() && gestrippt.front() != '\'' && gestrippt.front() != '/';
}

std::optional<UnsendbareZeile> FirstUnsendableCommandLine(const std::vector<std::string>& zeilen) {
    return ErsteUnsendbare(zeilen, {kMaxProgrammzeile, false, false},
                           [](const std::string& zeile) { return IsProgramLineToSend(zeile); });
}

std::optional<UnsendbareZeile> FirstUnsendableProgramLine(const std::vector<std::string>& zeilen) {
    return ErsteUnsendbare(zeilen, {kMaxProgrammzeile, false, true},
                           [](const std::string& zeile) { return IsProgramLineToSend(zeile); });
}

std::optional<UnsendbareZeile> FirstUnsendableHeaderLine(const std::vector<std::string>& zeilen) {
    return ErsteUnsendbare(zeilen, {kMaxHeaderzeile, true, true}, [](const std::string&) { return true; });
}

std::string UnsendbareZeileText(const std::string& datei, const UnsendbareZeile& zeile) {
    const std::string vorne = "Zeile " + std::to_string(zeile.nummer) + " der Datei '" + datei + "' ";
    switch (zeile.mangel) {
    case Zeilenmangel::Steuerzeichen:
        if (zeile.zeichen == 0) return vorne + "enthält ein NUL-Zeichen und kann nicht gesendet werden.";
        return vorne + "enthält das Steuerzeichen " + Steuerzeichen_Name(zeile.zeichen) +
               " und kann nicht gesendet werden.";
    case Zeilenmangel::Leer:
        return vorne + "ist leer; eine leere Header-Zeile kann nicht gesendet werden.";
    case Zeilenmangel::AtAnfang:
        return vorne + "beginnt mit \"@\" und kann nicht gesendet werden: die Steuerung nähme sie als Sofortbefehl.";
    case Zeilenmangel::ZuLang:
        break;
    }
    return vorne + "ist " + std::to_string(zeile.laenge) + " Zeichen lang (erlaubt sind " +
           std::to_string(zeile.hoechstens) + ").";
}
