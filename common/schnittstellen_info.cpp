#include "common/schnittstellen_info.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;

namespace {

std::mutex gWurzelnMutex;
SchnittstellenInfo::Wurzeln gWurzeln;

std::string ErsteZeile(const fs::path& datei) {
    std::ifstream in(datei);
    std::string zeile;
    std::getline(in, zeile);
    while (!zeile.empty() && (zeile.back() == ' ' || zeile.back() == '\r')) zeile.pop_back();
    return zeile;
}

bool Unterhalb(const fs::path& pfad, const fs::path& wurzel) {
    const auto [w, p] = std::mismatch(wurzel.begin(), wurzel.end(), pfad.begin(), pfad.end());
    return w == wurzel.end() && p != pfad.end();
}

}  // namespace

void SchnittstellenInfo::Wurzeln_setzen(const Wurzeln& wurzeln) {
    std::lock_guard lock(gWurzelnMutex);
    gWurzeln = wurzeln;
}

SchnittstellenInfo SchnittstellenInfo::Lesen(const std::string& geraet) {
    Wurzeln wurzeln;
    {
        std::lock_guard lock(gWurzelnMutex);
        wurzeln = gWurzeln;
    }
    SchnittstellenInfo info;
    std::error_code ec;
    const fs::path echt = fs::canonical(geraet, ec);
    info.geraet = ec ? geraet : echt.string();
    info.UsbLesen(wurzeln.sys);
    info.ByIdLesen(wurzeln.byId);
    return info;
}

// The tty's device is the USB interface (ttyACM) or a port below it
// (ttyUSB); the USB device with its descriptor strings is further up.
void SchnittstellenInfo::UsbLesen(const std::string& sys) {
    std::error_code ec;
    const fs::path wurzel = fs::canonical(sys, ec);
    if (ec) return;
    const fs::path name = fs::path(geraet).filename();
    fs::path p = fs::canonical(wurzel / "class" / "tty" / name / "device", ec);
    for (; !ec && Unterhalb(p, wurzel); p = p.parent_path()) {
        if (!fs::exists(p / "idVendor", ec)) continue;
        hersteller = ErsteZeile(p / "manufacturer");
        produkt = ErsteZeile(p / "product");
        seriennummer = ErsteZeile(p / "serial");
        return;
    }
}

void SchnittstellenInfo::ByIdLesen(const std::string& ordner) {
    std::error_code ec;
    for (const auto& eintrag : fs::directory_iterator(ordner, ec)) {
        std::error_code ec2;
        if (fs::canonical(eintrag.path(), ec2).string() == geraet && !ec2) byId.push_back(eintrag.path().string());
    }
    std::sort(byId.begin(), byId.end());
}

std::string SchnittstellenInfo::Text() const {
    std::string text = geraet;
    const std::pair<const char*, const std::string*> felder[] = {
        {"Hersteller: ", &hersteller}, {"Produkt: ", &produkt}, {"Seriennummer: ", &seriennummer}};
    for (const auto& [titel, wert] : felder)
        if (!wert->empty()) text += "\n" + std::string(titel) + *wert;
    for (const std::string& name : byId) text += "\n" + name;
    return text;
}
