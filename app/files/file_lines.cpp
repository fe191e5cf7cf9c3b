#include "app/files/file_lines.h"

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

// Reads everything up to the end; false with errno set on failure.
bool AllesLesen(int fd, std::string& inhalt) {
    char puffer[16384];
    for (;;) {
        const ssize_t n = read(fd, puffer, sizeof puffer);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        inhalt.append(puffer, static_cast<std::size_t>(n));
    }
}

// O_NONBLOCK so that a pipe under the expected name cannot stall the open.
DateiZeilen LeseOffeneDatei(int fd, const std::string& pfad) {
    DateiZeilen ergebnis;
    struct stat st{};
    if (fstat(fd, &st) != 0) {
        ergebnis.fehler = MakeDateiFehler(pfad, errno, "gelesen");
    } else if (!S_ISREG(st.st_mode)) {
        ergebnis.fehler = DateiFehler{pfad, 0, "'" + pfad + "' ist keine normale Datei."};
    } else {
        std::string inhalt;
        if (AllesLesen(fd, inhalt))
            ergebnis.zeilen = SplitLines(inhalt);
        else
            ergebnis.fehler = MakeDateiFehler(pfad, errno, "gelesen");
    }
    return ergebnis;
}

template <typename IstZuPruefen>
std::optional<ZuLangeZeile> ErsteZuLange(const std::vector<std::string>& zeilen,
                                         std::size_t hoechstens, IstZuPruefen istZuPruefen) {
    for (std::size_t i = 0; i < zeilen.size(); ++i) {
        const std::string zeile = StripTrailing(zeilen[i]);
        // A NUL would end the request there: the line cannot go out as it is.
        const bool nul = zeile.find('\0') != std::string::npos;
        if ((zeile.size() > hoechstens || nul) && istZuPruefen(zeile))
            return ZuLangeZeile{i + 1, zeile.size(), hoechstens, nul};
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

std::optional<ZuLangeZeile> FirstTooLongProgramLine(const std::vector<std::string>& zeilen) {
    return ErsteZuLange(zeilen, kMaxProgrammzeile,
                        [](const std::string& zeile) { return IsProgramLineToSend(zeile); });
}

std::optional<ZuLangeZeile> FirstTooLongHeaderLine(const std::vector<std::string>& zeilen) {
    return ErsteZuLange(zeilen, kMaxHeaderzeile, [](const std::string&) { return true; });
}

std::string ZuLangeZeileText(const std::string& datei, const ZuLangeZeile& zeile) {
    if (zeile.enthaeltNul)
        return "Zeile " + std::to_string(zeile.nummer) + " der Datei '" + datei +
               "' enthält ein NUL-Zeichen und kann nicht gesendet werden.";
    return "Zeile " + std::to_string(zeile.nummer) + " der Datei '" + datei + "' ist " +
           std::to_string(zeile.laenge) + " Zeichen lang (erlaubt sind " +
           std::to_string(zeile.hoechstens) + ").";
}
