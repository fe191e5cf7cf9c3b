// Axis operations: positions, moves, reference runs and the immediate buttons.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/fenster_sink.h"
#include "app/log_pane.h"
#include "app/pelto_befehle_main.h"
#include "common/pane_flags.h"
#include "routinen/sofortbefehl.h"
#include "routinen/zahl_einlesen.h"
#include "link/keloCOMv1.h"

namespace {

// A move or reference run may take minutes before its final answer.
constexpr int32_t kFahrtMS = 300000;
constexpr int32_t kAnforderungMS = 3000;
constexpr int32_t kAnnahmeMS = 64;  // until the controller accepts a run with NAK
constexpr const char* kKeineAuswahl = "keine Auswahl getroffen!";

// Shows the accepted request, waits for the final answer and adds it below.
void Endantwort_abwarten(TMainForm& f) {
    f.Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    keloCOM->WaitResp(kFahrtMS);
    f.Protokoll_schreiben(pane::kBehalten, pane::kOhneAnfrage, pane::kAntwort);
}

// Sends the request composed in szBefehl as a two-stage reference run.
void Referenzfahrt_senden(TMainForm& f) {
    keloCOM->SendReqWaitResp(f.szBefehl, kAnnahmeMS);
    Endantwort_abwarten(f);
}

// The letters of the checked axis boxes, in the controller's order z, x, y, u.
std::string Achsen_gewaehlt(TMainForm& f, bool bMitU) {
    std::string achsen;
    if (f.Checked(f.RefZ_CheckBox)) achsen += 'z';
    if (f.Checked(f.RefX_CheckBox)) achsen += 'x';
    if (f.Checked(f.RefY_CheckBox)) achsen += 'y';
    if (bMitU && f.Checked(f.RefU_CheckBox)) achsen += 'u';
    return achsen;
}

void Keine_Auswahl(TMainForm& f) {
    f.LogLeeren();
    f.LogZeile(kKeineAuswahl, kRot);
}

// Puts prefix, axis letters and CR into szBefehl.
void Befehl_setzen(TMainForm& f, const char* szPrefix, const std::string& achsen) {
    std::memset(f.szBefehl, 0, sizeof f.szBefehl);
    std::snprintf(f.szBefehl, sizeof f.szBefehl, "%s%s\r", szPrefix, achsen.c_str());
}

// One of the immediate buttons, on the window's thread.
void Sofort(TMainForm& f, void (TkeloCOM::*befehl)()) {
    FensterSink sink(f);
    Sofort_ausfuehren(sink, befehl);
}

}  // namespace

void TMainForm::xyzVektorFahren_ButtonClick() { Befehl_starten(52); }
void TMainForm::uVektorFahren_ButtonClick() { Befehl_starten(53); }
void TMainForm::RefOffset_ButtonClick() { Befehl_starten(54); }
void TMainForm::RefAnforderung_ButtonClick() { Befehl_starten(55); }
void TMainForm::xyzReferenzfahrt_ButtonClick() {
    if (RefX_CheckBox->isChecked() || RefY_CheckBox->isChecked() || RefZ_CheckBox->isChecked()) Befehl_starten(56);
}
void TMainForm::uReferenzfahrt_ButtonClick() { Befehl_starten(57); }

void TMainForm::Positionsabfrage_ButtonClick() {
    try {
        char szPosition[32] = {};
        const int iAchse = Index(Positionsabfrage_RadioGroup);
        if (iAchse >= 0 && iAchse <= 2) keloCOM->Position_abfragen("xyz"[iAchse], szPosition, sizeof szPosition);
        Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
        SetzeText(Positionsabfrage_Panel, szPosition);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

// The encoder controls are disabled for good; nothing is sent.
void TMainForm::EncoderEinstellung_ButtonClick() {}
void TMainForm::Reset_ButtonClick() { Sofort(*this, &TkeloCOM::Reset_ausfuehren); }
void TMainForm::Stoppen_ButtonClick() { Sofort(*this, &TkeloCOM::Achsen_stoppen); }
void TMainForm::Anhalten_ButtonClick() { Sofort(*this, &TkeloCOM::Achsen_anhalten); }
void TMainForm::Unterbrechen_ButtonClick() { Sofort(*this, &TkeloCOM::Fahrt_unterbrechen); }
void TMainForm::Weiterfahrt_ButtonClick() { Sofort(*this, &TkeloCOM::Pause_beenden); }

void TMainForm::xyzVektorFahren_Befehl() {
    try {
        QLineEdit* felder[3] = {VektorX_Edit, VektorY_Edit, VektorZ_Edit};
        for (int i = 0; i < 3; ++i) iVektor[i] = Zahl_einlesen(Text(felder[i]));
        i8VektorModus = static_cast<int8_t>(Index(Vektor_RadioGroup));
        keloCOM->xyzVektor_fahren(i8VektorModus == 0, 1, iVektor[0], iVektor[1], iVektor[2]);
        Endantwort_abwarten(*this);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::uVektorFahren_Befehl() {
    try {
        i8VektorModus = static_cast<int8_t>(Index(Vektor_RadioGroup));
        iVektor[3] = Zahl_einlesen(Text(VektorU_Edit));
        keloCOM->uVektor_fahren(i8VektorModus == 0, 1, iVektor[3]);
        Endantwort_abwarten(*this);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::RefOffset_Befehl() {
    try {
        iRefOffset = Zahl_einlesen(Text(RefOffset_Edit));
        // With the u axis present its offset goes out a second time.
        const std::string achsen = bUAchse ? "xyzuu" : "xyzu";
        for (size_t i = 0; i < achsen.size(); ++i) {
            keloCOM->Referenzoffset_einstellen(achsen[i], iRefOffset);
            Protokoll_schreiben(i == 0, pane::kAnfrage, pane::kAntwort);
        }
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::RefAnforderung_Befehl() {
    try {
        const std::string achsen = Achsen_gewaehlt(*this, true);
        if (achsen.empty()) return Keine_Auswahl(*this);
        LogLeeren();
        Befehl_setzen(*this, "#H", achsen);
        keloCOM->SendReqWaitResp(szBefehl, kAnforderungMS);
        Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::xyzReferenzfahrt_Befehl() {
    try {
        // The boxes may have changed since the click.
        const std::string achsen = Achsen_gewaehlt(*this, false);
        if (achsen.empty()) return Keine_Auswahl(*this);
        Befehl_setzen(*this, "$H", achsen);
        Referenzfahrt_senden(*this);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void TMainForm::uReferenzfahrt_Befehl() {
    try {
        Befehl_setzen(*this, "$H", "u");
        Referenzfahrt_senden(*this);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}
