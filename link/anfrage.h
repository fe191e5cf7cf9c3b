#pragma once

#include <cstdarg>
#include <cstddef>

#include "common/fehler.h"
#include "common/zeichen.h"
#include "link/keloCOMv1.h"

// Reply beginnings the commands judge.
inline constexpr char kACK[] = {zeichen::ACK, '\0'};
inline constexpr char kNAK[] = {zeichen::NAK, '\0'};
inline constexpr char kE1[] = {'E', '1', zeichen::BEL, '\0'};

// Refuses a command argument outside its limits; nothing has been sent yet.
inline void Bereich_pruefen(bool bImBereich) {
    if (!bImBereich) throw OUT_OF_RANGE;
}

// One request of the command set, composed in a zeroed buffer of
// TkeloCOM::kBefehlsPuffer characters. Text that would not fit (with its
// NUL), or that holds a NUL of its own, refuses the whole request with
// OUT_OF_RANGE: a cut request could still be a valid command.
class TAnfrage {
public:
    TAnfrage() = default;
    explicit TAnfrage(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));

    TAnfrage& Anhaengen(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    const char* Text() const { return szPuffer; }

private:
    bool Formatieren(const char* szFormat, va_list args);

    char szPuffer[TkeloCOM::kBefehlsPuffer] = {};
    size_t iLaenge = 0;
};
