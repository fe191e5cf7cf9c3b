// The module self-test.
#include <chrono>
#include <string>
#include <thread>

#include "app/log_pane.h"
#include "app/pelto_befehle_main.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"

namespace {

constexpr const char* kTrennlinie = "----------------------------";
// Time the controller gets after a reset and after each query.
constexpr auto kPause = std::chrono::milliseconds(50);
constexpr int32_t kFahrtMS = 60000;

void Pause() { std::this_thread::sleep_for(kPause); }

const char* Modulname(int32_t iModulTyp) { return iModulTyp == 2 ? "Quandro" : ""; }

void Ueberschrift() {
    Protokolldatei_schreiben(kTrennlinie);
    const std::string titel = std::string("Funktionsüberprüfung ") + Modulname(keloCOM->iModulTyp);
    Protokolldatei_schreiben(titel.c_str());
    Protokolldatei_schreiben("");
}

void Abfragen() {
    char szText[32] = {};
    keloCOM->Reset_ausfuehren();
    Pause();
    keloCOM->Version_abfragen(szText, sizeof szText);
    Pause();
    keloCOM->Status_abfragen(szText, sizeof szText);
    Pause();
}

// A wait ends with its own final answer; the test gives it twice its time.
void Warten(uint32_t iMS) {
    keloCOM->Wartezeit_einfuegen(iMS);
    keloCOM->WaitResp(static_cast<int32_t>(2 * iMS));
}

void Einstellungen() {
    keloCOM->Ansteuersignale_einstellen(0);
    keloCOM->Halb_Vollschrittbetrieb_einstellen(0, 0);
    keloCOM->Ansteuersignale_einstellen(1);
    keloCOM->Startgeschwindigkeit_einstellen(200);
    keloCOM->Rampenlaenge_einstellen(100);
    keloCOM->Endgeschwindigkeit_einstellen(1, 400);
    Warten(0);
    Warten(123);
}

void Ausgaenge() {
    for (int8_t nr = 1; nr <= 4; ++nr) {
        keloCOM->Ausgangssignal_setzen(nr, 1);
        keloCOM->Ausgangssignal_setzen(nr, 0);
    }
}

void Positionen() {
    char szPosition[32] = {};
    for (char achse : {'x', 'y', 'z', 'u'}) {
        keloCOM->Position_abfragen(achse, szPosition, sizeof szPosition);
        Pause();
    }
}

void Fahrten() {
    keloCOM->xyzVektor_fahren(1, 1, 20, 0, 0);
    keloCOM->WaitResp(kFahrtMS);
    keloCOM->xyzVektor_fahren(1, 1, 0, 40, 0);
    keloCOM->WaitResp(kFahrtMS);
    keloCOM->xyzVektor_fahren(1, 1, 0, 0, 60);
    keloCOM->WaitResp(kFahrtMS);
    keloCOM->uVektor_fahren(1, 1, 80);
    keloCOM->WaitResp(kFahrtMS);
}

}  // namespace

void TMainForm::ModulTest_ButtonClick() { Befehl_starten(41); }

void TMainForm::ModulTest_Befehl() {
    try {
        LogLeeren();
        LogZeile("ModulTest - Start", kGrau);
        Ueberschrift();
        Abfragen();
        Einstellungen();
        Ausgaenge();
        Protokolldatei_schreiben("");
        Positionen();
        Fahrten();
        Positionen();
        Protokolldatei_schreiben("");
        Protokolldatei_schreiben("");
        Protokolldatei_schreiben(kTrennlinie);
        LogText("ModulTest - Ende");
    } catch (int& e) {
        LogZeile("ModulTest - Fehler", kRot);
        Protokolldatei_schreiben(("Exception->iFehler=" + std::to_string(e)).c_str());
        Befehl_beenden(e);
    }
}
