#include "cli/ports_befehl.h"

#include <sstream>
#include <vector>

#include "cli/exitstatus.h"
#include "cli/json_text.h"
#include "common/schnittstellen.h"
#include "common/schnittstellen_info.h"
#include "platform/port_names.h"

namespace {

class Namen : public PortListe {
public:
    void Leeren() override { namen.clear(); }
    void Hinzufuegen(const std::string& name) override { namen.push_back(name); }
    std::vector<std::string> namen;
};

std::string Json(const std::string& name, const SchnittstellenInfo& info) {
    std::string o = "{\"port\":" + JsonText(name) + ",\"device\":" + JsonText(info.geraet) +
                    ",\"manufacturer\":" + JsonText(info.hersteller) + ",\"product\":" + JsonText(info.produkt) +
                    ",\"serial\":" + JsonText(info.seriennummer) + ",\"by_id\":[";
    for (std::size_t i = 0; i < info.byId.size(); ++i) o += (i ? "," : "") + JsonText(info.byId[i]);
    return o + "]}";
}

void Text(Ausgabekanal& aus, const std::string& name, const SchnittstellenInfo& info) {
    aus.Zeile(name);
    std::istringstream zeilen(info.Text());
    for (std::string z; std::getline(zeilen, z);) aus.Zeile("  " + z);
}

}  // namespace

int Ports_zeigen(Ausgabe art, Ausgabekanal& aus) {
    Namen liste;
    Schnittstellen_suchen(&liste, nullptr);
    for (const std::string& name : liste.namen) {
        const auto info = SchnittstellenInfo::Lesen(platform::ComDevicePath(platform::ComNumberFromName(name)));
        if (art == Ausgabe::Json)
            aus.Zeile(Json(name, info));
        else if (art == Ausgabe::Still)
            aus.Zeile(name);
        else
            Text(aus, name, info);
    }
    if (art == Ausgabe::Json) aus.Zeile("{\"outcome\":\"ok\",\"exit\":0}");
    return kExitOk;
}
