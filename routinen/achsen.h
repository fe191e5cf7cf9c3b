#pragma once

#include <cstdint>
#include <string>

#include "routinen/routinen_sink.h"

// Moves, reference runs and the reference settings: each sends its
// requests and logs them; a raised error code passes to the caller's
// routine frame. The face reads the values from its controls first.

// The axes chosen for a reference request or run.
struct Achsenwahl {
    bool x = false, y = false, z = false, u = false;
};

// A vector move of x, y, z (relative or absolute), and its final answer.
void xyzVektor_fahren(RoutinenSink& s, bool bRelativ, int32_t iX, int32_t iY, int32_t iZ);
void uVektor_fahren(RoutinenSink& s, bool bRelativ, int32_t iU);
// The offset for every axis; with the u axis present its offset goes out a
// second time.
void Referenzoffset_senden(RoutinenSink& s, int32_t iOffset, bool bUAchse);
// "#H" and the chosen axes: the controller reports their reference state.
void Referenz_anfordern(RoutinenSink& s, const Achsenwahl& wahl);
// "$H" and the chosen axes (u apart, on its own), and the run's final answer.
void Referenzfahrt(RoutinenSink& s, const Achsenwahl& wahl);
