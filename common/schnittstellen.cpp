#include "common/schnittstellen.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

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

namespace {

std::optional<std::string> Umgebung(int n) {
    const char* pfad = std::getenv(("PELTO_COM" + std::to_string(n)).c_str());
    return pfad ? std::optional<std::string>(pfad) : std::nullopt;
}

bool Gibt_es(const std::string& pfad) {
    std::error_code fehler;
    return std::filesystem::exists(pfad, fehler);
}

}  // namespace

std::string Pfad_Hinweis(const std::string& pfad) {
    if (!Gibt_es(pfad)) return pfad + " gibt es nicht.";
    if (!platform::IsTerminalDevice(pfad.c_str())) return pfad + " ist keine serielle Schnittstelle.";
    return {};
}

std::string Umgebungs_Hinweis(int n) {
    const auto pfad = Umgebung(n);
    if (!pfad) return {};
    const std::string grund = Pfad_Hinweis(*pfad);
    return grund.empty() ? grund : "PELTO_COM" + std::to_string(n) + "=" + grund;
}

std::string Umgebungs_Hinweise() {
    std::string hinweis;
    for (int n = 1; n <= platform::kMaxComPort; ++n) {
        const auto pfad = Umgebung(n);
        // A path that names nothing is a plain missing port.
        if (!pfad || platform::ComPortPresent(n) || !Gibt_es(*pfad)) continue;
        if (!hinweis.empty()) hinweis += ' ';
        hinweis += "PELTO_COM" + std::to_string(n) + "=" + *pfad + " ist keine serielle Schnittstelle und wird nicht angeboten.";
    }
    return hinweis;
}
