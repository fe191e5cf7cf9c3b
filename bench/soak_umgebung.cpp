#include "bench/soak_umgebung.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "common/protokolldatei.h"
#include "routinen/default_files.h"

int SoakDialoge::ShowMessage(const std::string&, const std::string&, MessageIcon) {
    ++anzahl;
    return kMessageResultOk;
}

namespace {

std::string Neuer_Ordner() {
    std::string muster = (std::filesystem::temp_directory_path() / "pelto-soak-XXXXXX").string();
    if (!mkdtemp(muster.data())) throw std::runtime_error("soak: cannot make a folder");
    return muster;
}

sim::SimOptions Simulator(const SoakOptionen& o) {
    sim::SimOptions s;
    s.timeScale = o.zeitmassstab;
    return s;
}

}  // namespace

void SoakBeobachter::Gesendet(const char* bytes, std::size_t n, bool bOhneAntwort) {
    const std::string r(bytes, n);
    u_.verlauf.Anfrage(r.c_str());
    u_.abgleich.Gesendet(r.c_str(), bOhneAntwort);
    if (r[0] == 'L' || r.starts_with("$H")) ++u_.fahrten;
    if (r.starts_with("@S") || r.starts_with("@B")) u_.sofortGeschrieben = std::chrono::steady_clock::now();
}

SoakUmgebung::SoakUmgebung(const SoakOptionen& o)
    : optionen(o),
      ordner(Neuer_Ordner()),
      sim(Simulator(o)),
      arbeiterLink(fensterLink.Neuer_Absender()),
      fenster(fensterLink, verlauf),
      arbeiter(*arbeiterLink, verlauf) {
    SetDialogs(&dialoge);
    Protokolldatei_Ordner_setzen(ordner);
    fensterLink.Beobachter_setzen(&beobachter);
    // The files the console writes at its start, every slot's pair among them.
    if (!Standarddateien_schreiben(ordner).ok()) throw std::runtime_error("soak: cannot write the default files");
    sim.Start();
    Ini();
}

SoakUmgebung::~SoakUmgebung() {
    fensterLink.UnInit();
    sim.Stop();
    SetDialogs(nullptr);
    Protokolldatei_Ordner_setzen("");
    std::error_code fehler;
    std::filesystem::remove_all(ordner, fehler);
}

void SoakUmgebung::Ini() {
    const auto bis = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sim.DevicePath().empty() && std::chrono::steady_clock::now() < bis)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    arbeiterLink->UnInit();
    arbeiterLink->Init(sim.DevicePath(), 115200);
    arbeiterLink->Connect();
}
