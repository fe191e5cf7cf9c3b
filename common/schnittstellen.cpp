#include "common/schnittstellen.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/port_names.h"

void Schnittstellen_suchen(PortListe* pListe1, PortListe* pListe2) {
    PortListe* listen[] = {pListe1, pListe2};
    for (PortListe* l : listen)
        if (l) l->Leeren();
    for (int n = 1; n <= platform::kMaxComPort; ++n) {
        if (!platform::ComPortPresent(n)) continue;
        char name[16];
        std::snprintf(name, sizeof name, "COM%i", n);
        for (PortListe* l : listen)
            if (l) l->Hinzufuegen(name);
    }
}

std::string Umgebungs_Hinweis() {
    std::string hinweis;
    std::error_code fehler;
    for (int n = 1; n <= platform::kMaxComPort; ++n) {
        const std::string name = "PELTO_COM" + std::to_string(n);
        const char* pfad = std::getenv(name.c_str());
        // A path that names nothing is a plain missing port.
        if (!pfad || platform::ComPortPresent(n) || !std::filesystem::exists(pfad, fehler)) continue;
        if (!hinweis.empty()) hinweis += ' ';
        hinweis += name + "=" + pfad + " ist keine serielle Schnittstelle und wird nicht angeboten.";
    }
    return hinweis;
}
