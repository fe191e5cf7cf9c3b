#include "common/home_ordner.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string Home_Ordner() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "/tmp";
}
