#include "routinen/einstellungen.h"

#include <algorithm>

#include "common/pane_flags.h"
#include "link/keloCOMv1.h"

namespace {

constexpr int32_t kEndeMindestensMS = 64;

void Mit_Protokoll(RoutinenSink& s, bool bLoeschen) { s.Protokoll_schreiben(bLoeschen, pane::kAnfrage, pane::kAntwort); }

}  // namespace

void Ansteuerung_senden(RoutinenSink& s, int8_t i8Signal, int8_t i8Schritt, int8_t i8Ruhestrom, bool bLoeschen) {
    s.Link().Ansteuersignale_einstellen(i8Signal);
    Mit_Protokoll(s, bLoeschen);
    if (i8Signal != 0) return;
    s.Link().Halb_Vollschrittbetrieb_einstellen(i8Schritt, i8Ruhestrom);
    Mit_Protokoll(s, pane::kBehalten);
}

void Startgeschwindigkeit_senden(RoutinenSink& s, int32_t iWert) {
    // A negative entry becomes a huge unsigned value, which the command refuses.
    s.Link().Startgeschwindigkeit_einstellen(static_cast<uint32_t>(iWert));
    Mit_Protokoll(s, pane::kLeeren);
}

void Rampenlaenge_senden(RoutinenSink& s, uint16_t ui16Wert) {
    s.Link().Rampenlaenge_einstellen(ui16Wert);
    Mit_Protokoll(s, pane::kLeeren);
}

void Endgeschwindigkeit_senden(RoutinenSink& s, uint16_t iWert, bool bVektor, bool bReferenz) {
    if (bVektor) {
        s.Link().Endgeschwindigkeit_einstellen(1, iWert);
        Mit_Protokoll(s, pane::kLeeren);
    }
    if (bReferenz) {
        s.Link().Endgeschwindigkeit_einstellen(9, iWert);
        Mit_Protokoll(s, !bVektor);
    }
}

void Wartezeit_senden(RoutinenSink& s, int32_t iMS) {
    s.Link().Wartezeit_einfuegen(static_cast<uint32_t>(iMS));
    Mit_Protokoll(s, pane::kLeeren);
    // The command limits the wait to one hour, so twice that still fits. A
    // short wait still gets the time any reply gets: twice 1 ms is less than
    // the line takes to bring the final answer.
    s.Link().WaitResp(std::max<int32_t>(2 * iMS, kEndeMindestensMS));
    s.Protokoll_schreiben(pane::kBehalten, pane::kOhneAnfrage, pane::kAntwort);
}

void E1Verknuepfung_senden(RoutinenSink& s, bool bAn) {
    s.Link().E1Verknuepfung(bAn ? 1 : 0);
    Mit_Protokoll(s, pane::kLeeren);
}

void Ausgang_setzen(RoutinenSink& s, int n, int m, bool bI2C, bool bWatchdog) {
    const auto iNr = static_cast<int8_t>(n);
    const auto iModus = static_cast<int8_t>(m);
    if (bI2C) {
        s.Link().I2C_Ausgangssignal_setzen(iNr, iModus);
    } else if (n == 1 && bWatchdog) {
        s.Link().WatchDog_setzen(iModus);
    } else {
        s.Link().Ausgangssignal_setzen(iNr, iModus);
    }
    Mit_Protokoll(s, pane::kLeeren);
}

void Eingang_abfragen(RoutinenSink& s, char cEingang) {
    s.Link().Eingang_abfragen(cEingang);
    Mit_Protokoll(s, pane::kLeeren);
}
