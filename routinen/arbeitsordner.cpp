#include "routinen/arbeitsordner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/home_ordner.h"

std::string Arbeitsordner_Desktop() { return Home_Ordner() + "/Pelto-Befehle"; }

std::string Arbeitsordner_betreten(const std::string& ordner) {
    if (::mkdir(ordner.c_str(), 0755) != 0 && errno != EEXIST)
        return "Der Ordner '" + ordner + "' kann nicht angelegt werden: " + std::strerror(errno);
    if (::chdir(ordner.c_str()) != 0)
        return "In den Ordner '" + ordner + "' kann nicht gewechselt werden: " + std::strerror(errno);
    return {};
}
