#pragma once

#include <cstdint>

#include "routinen/transfer_sink.h"

// The drive settings, outputs and inputs: each sends its requests and logs
// them; a raised error code passes to the caller's routine frame. The face
// reads the values from its controls (or arguments) first.

// The drive signal; for the LVX drive (signal 0) also its step mode and
// holding current. The first exchange empties the log if bLoeschen.
void Ansteuerung_senden(TransferSink& s, int8_t i8Signal, int8_t i8Schritt, int8_t i8Ruhestrom, bool bLoeschen);
void Startgeschwindigkeit_senden(TransferSink& s, int32_t iWert);
void Rampenlaenge_senden(TransferSink& s, uint16_t ui16Wert);
// For vector moves (speed index 1) and for reference runs (9), as chosen.
void Endgeschwindigkeit_senden(TransferSink& s, uint16_t iWert, bool bVektor, bool bReferenz);
// The wait, then its end, which comes after the time asked for.
void Wartezeit_senden(TransferSink& s, int32_t iMS);
void E1Verknuepfung_senden(TransferSink& s, bool bAn);
// Output n (1 to 4) off (m = 0) or on (m = 1). The I2C bus takes
// precedence; only A1 doubles as the watchdog.
void Ausgang_setzen(TransferSink& s, int n, int m, bool bI2C, bool bWatchdog);
// Input "0" to "F", or "G" for all at once.
void Eingang_abfragen(TransferSink& s, char cEingang);
