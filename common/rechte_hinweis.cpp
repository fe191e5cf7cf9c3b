#include "common/rechte_hinweis.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {

std::string Gruppenname(gid_t gid) {
    const group* g = ::getgrgid(gid);
    return g ? g->gr_name : std::to_string(gid);
}

std::string Benutzername(uid_t uid) {
    const passwd* p = ::getpwuid(uid);
    return p ? p->pw_name : std::to_string(uid);
}

}  // namespace

std::string Rechte_Hinweis(const std::string& geraet, uint32_t fehler) {
    if (fehler != EACCES && fehler != EPERM) return {};
    struct stat st {};
    if (::stat(geraet.c_str(), &st) != 0) return {};
    const std::string gruppe = Gruppenname(st.st_gid);
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
        return "Keine Berechtigung für " + geraet + ": öffnen darf die Gruppe " + gruppe +
               ". Abhilfe: sudo usermod -aG " + gruppe + " $USER, danach neu anmelden.";
    // Not even the group may open it: only a rule for the device helps.
    char rechte[8];
    std::snprintf(rechte, sizeof rechte, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "Keine Berechtigung für " + geraet + " (Besitzer " + Benutzername(st.st_uid) + ", Gruppe " + gruppe +
           ", Rechte " + rechte + "): eine udev-Regel mit GROUP=\"dialout\", MODE=\"0660\" gibt sie frei.";
}
