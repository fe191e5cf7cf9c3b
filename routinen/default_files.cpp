#include "routinen/default_files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kSlots = 7;
// 6553 moves of 9 characters: 65530 bytes on the line with their CRs.
constexpr int kTestprogrammZeilen = 6553;

std::string Formatiert(const char* format, int zahl) {
    char puffer[32];
    std::snprintf(puffer, sizeof puffer, format, zahl);
    return puffer;
}

bool SchreibeAlles(int fd, const std::string& inhalt) {
    std::size_t geschrieben = 0;
    while (geschrieben < inhalt.size()) {
        const ssize_t n = write(fd, inhalt.data() + geschrieben, inhalt.size() - geschrieben);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        geschrieben += static_cast<std::size_t>(n);
    }
    // Space may be claimed only on flush; a full disk must show up here.
    return fsync(fd) == 0;
}

bool Vorhanden(const std::string& pfad) {
    struct stat st{};
    return lstat(pfad.c_str(), &st) == 0;
}

// Anonymous file in the folder, linked under its name once complete.
// -1 with errno set to EOPNOTSUPP/EISDIR/EINVAL where not supported.
int OeffneUnbenannt(const std::string& ordner) {
    return open(ordner.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Write to the anonymous file, then link it; link never replaces a name.
int AnlegenUeberVerknuepfung(int fd, const std::string& pfad, const std::string& inhalt) {
    if (!SchreibeAlles(fd, inhalt)) return errno;
    const std::string quelle = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, quelle.c_str(), AT_FDCWD, pfad.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return errno;
    return 0;
}

// Fallback for file systems without anonymous files: exclusive create,
// removed again if writing fails.
int AnlegenExklusiv(const std::string& pfad, const std::string& inhalt) {
    const int fd = open(pfad.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    int fehler = SchreibeAlles(fd, inhalt) ? 0 : errno;
    if (close(fd) != 0 && fehler == 0) fehler = errno;
    if (fehler != 0) unlink(pfad.c_str());
    return fehler;
}

int AnlegenFehlernummer(const std::string& ordner, const std::string& pfad,
                        const std::string& inhalt) {
    const int fd = OeffneUnbenannt(ordner);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        return AnlegenExklusiv(pfad, inhalt);
    if (fd < 0) return errno;
    const int fehler = AnlegenUeberVerknuepfung(fd, pfad, inhalt);
    close(fd);
    return fehler;
}

}  // namespace

std::vector<std::string> Testprogramm_Zeilen() {
    std::vector<std::string> zeilen;
    for (int i = 0; i < kTestprogrammZeilen; ++i) zeilen.push_back(Formatiert("L1,X%05d", i));
    return zeilen;
}

std::vector<std::string> Testheader_Zeilen() {
    return {"eine_65kByte_grosse_Testdatei_in_30_Sekunden_schreiben"};
}

std::vector<std::string> Programm_Zeilen(int slot) {
    return {"A1,1", "#S200", "#E1,500", "#R250",
            "'Vektorfahrt x-Achse", Formatiert("L1,x%d00", slot), "W500",
            "#E2,500", "#R250",
            "'Vektorfahrt y-Achse", Formatiert("L2,y%d00", 2 * slot), "A1,0"};
}

std::vector<std::string> Header_Zeilen(int slot) { return {Formatiert("Header %d", slot)}; }

std::vector<std::string> Ini_Zeilen() { return {"c,x100", "c,y100", "c,z100", "c,u100"}; }

std::vector<std::string> Befehle_Zeilen() {
    // Speeds and ramp, then each of A1, A2, A3: on, forward, wait, back, off.
    return {"#S200", "#E1,500", "#R250",
            "A1,1",  "L1,x200", "W100", "L1,x-200", "A1,0",
            "A2,1",  "L1,y200", "W100", "L1,y-200", "A2,0",
            "A3,1",  "L1,z200", "W100", "L1,z-200", "A3,0"};
}

std::vector<Standarddatei> Standarddateien() {
    std::vector<Standarddatei> dateien{{"programm.txt", Testprogramm_Zeilen},
                                       {"header.txt", Testheader_Zeilen}};
    for (int k = 1; k <= kSlots; ++k)
        dateien.push_back({"programm" + std::to_string(k) + ".txt",
                           [k] { return Programm_Zeilen(k); }});
    for (int k = 1; k <= kSlots; ++k)
        dateien.push_back({"header" + std::to_string(k) + ".txt",
                           [k] { return Header_Zeilen(k); }});
    dateien.push_back({"ini.txt", Ini_Zeilen});
    dateien.push_back({"befehle.txt", Befehle_Zeilen});
    return dateien;
}

std::string MitCrLf(const std::vector<std::string>& zeilen) {
    std::string text;
    for (const std::string& zeile : zeilen) text += zeile + "\r\n";
    return text;
}

AnlegenErgebnis Datei_anlegen(const std::string& ordner, const std::string& name,
                              const std::string& inhalt) {
    const std::string basis = ordner.empty() ? "." : ordner;
    const int fehler = AnlegenFehlernummer(basis, basis + "/" + name, inhalt);
    if (fehler == EEXIST) return {};  // made by someone else meanwhile
    if (fehler != 0) return {false, MakeDateiFehler(name, fehler, "geschrieben")};
    return {true, std::nullopt};
}

StandarddateienErgebnis Standarddateien_schreiben(const std::string& ordner) {
    const std::string basis = ordner.empty() ? "." : ordner;
    StandarddateienErgebnis ergebnis;
    for (const Standarddatei& datei : Standarddateien()) {
        if (Vorhanden(basis + "/" + datei.name)) continue;
        AnlegenErgebnis angelegt = Datei_anlegen(basis, datei.name, MitCrLf(datei.zeilen()));
        if (angelegt.fehler) {
            ergebnis.fehler = std::move(angelegt.fehler);
            break;
        }
        if (angelegt.geschrieben) ergebnis.geschrieben.push_back(datei.name);
    }
    return ergebnis;
}
