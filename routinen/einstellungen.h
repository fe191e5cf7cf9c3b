#pragma once

#include <cstdint>

#include "routinen/routinen_sink.h"

// The drive settings, outputs and inputs: each sends its requests and logs
// them; a raised error code passes to the caller's routine frame. The face
// reads the values from its controls (or arguments) first.

// The drive signal; for the LVX drive (signal 0) also its step mode and
// holding current. The first exchange empties the log if bLoeschen.
void Ansteuerung_senden(RoutinenSink& s, int8_t i8Signal, int8_t i8Schritt, int8_t i8Ruhestrom, bool bLoeschen);
void Startgeschwindigkeit_senden(RoutinenSink& s, int32_t iWert);
void Rampenlaenge_senden(RoutinenSink& s, uint16_t ui16Wert);
// For vector moves (speed index 1) and for reference runs (9), as chosen.
void Endgeschwindigkeit_senden(RoutinenSink& s, uint16_t iWert, bool bVektor, bool bReferenz);
// The wait, then its end, which comes after the time asked for.
void Wartezeit_senden(RoutinenSink& s, int32_t iMS);
void E1Verknuepfung_senden(RoutinenSink& s, bool bAn);
// Output n (1 to 4) off (m = 0) or on (m = 1). The I2C bus takes
// precedence; only A1 doubles as the watchdog.
void Ausgang_setzen(RoutinenSink& s, int n, int m, bool bI2C, bool bWatchdog);
// Input "0" to "F", or "G" for all at once.
void Eingang_abfragen(RoutinenSink& s, char cEingang);
