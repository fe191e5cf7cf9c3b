#include "routinen/dateizeiten.h"

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::optional<timespec> AlsTimespec(const SystemTime& zeit) {
    using namespace std::chrono;
    const year_month_day datum{year{zeit.year}, month{zeit.month}, day{zeit.day}};
    if (!datum.ok() || zeit.hour > 23 || zeit.minute > 59 || zeit.second > 59 ||
        zeit.milliseconds > 999)
        return std::nullopt;
    const auto sekunden = sys_days{datum} + hours{zeit.hour} + minutes{zeit.minute} +
                          seconds{zeit.second};
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(sekunden.time_since_epoch().count());
    ts.tv_nsec = static_cast<long>(zeit.milliseconds) * 1000000L;
    return ts;
}

bool IstGewoehnlicheDatei(int ordnerFd, const char* name) {
    struct stat st{};
    return fstatat(ordnerFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

// Opened for writing first: files the user may not change are skipped, and
// the times are set on exactly the file that was checked.
bool DateiStempeln(int ordnerFd, const char* name, const timespec& zeit) {
    const int fd = openat(ordnerFd, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st{};
    const timespec zeiten[2] = {zeit, zeit};
    const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && futimens(fd, zeiten) == 0;
    close(fd);
    return ok;
}

int MusterStempeln(const std::string& ordner, const std::string& muster, const timespec& zeit) {
    DIR* liste = opendir(ordner.c_str());
    if (liste == nullptr) return 0;
    const int ordnerFd = dirfd(liste);
    int anzahl = 0;
    while (const dirent* eintrag = readdir(liste)) {
        const char* name = eintrag->d_name;
        if (name[0] == '.' || fnmatch(muster.c_str(), name, FNM_PERIOD) != 0) continue;
        if (IstGewoehnlicheDatei(ordnerFd, name) && DateiStempeln(ordnerFd, name, zeit)) ++anzahl;
    }
    closedir(liste);
    return anzahl;
}

}  // namespace

std::vector<std::string> Dateizeiten_Muster(const std::string& ext1, const std::string& ext2) {
    std::vector<std::string> muster{"*.cpp", "*.h",   "*.dfm", "*.res", "*.bpr", "*.dat", "*.fpc",
                                    "*.obj", "*.exe", "*.txt", "*.lnk", "*.bat", "*.png"};
    for (const std::string* ext : {&ext1, &ext2})
        if (!ext->empty()) muster.push_back("*." + *ext);
    return muster;
}

std::string Programmordner() {
    std::string pfad(4096, '\0');
    const ssize_t laenge = readlink("/proc/self/exe", pfad.data(), pfad.size());
    if (laenge <= 0 || static_cast<size_t>(laenge) >= pfad.size()) return {};
    pfad.resize(static_cast<size_t>(laenge));
    return pfad.substr(0, pfad.rfind('/') + 1);
}

int Dateizeiten_setzen(const std::string& ordner, const SystemTime& zeit, const std::string& ext1,
                       const std::string& ext2) {
    const std::optional<timespec> stempel = AlsTimespec(zeit);
    if (!stempel || ordner.empty()) return 0;
    int anzahl = 0;
    for (const std::string& muster : Dateizeiten_Muster(ext1, ext2))
        anzahl += MusterStempeln(ordner, muster, *stempel);
    return anzahl;
}

void Dateizeiten_setzen(const SystemTime& zeit, const std::string& ext1, const std::string& ext2) {
    Dateizeiten_setzen(Programmordner(), zeit, ext1, ext2);
}
