#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Entry fields are read through a 32-character buffer: at most this many
// non-blank characters of an entry are considered.
inline constexpr std::size_t kZahlHoechstZeichen = 31;

// Removes every blank (0x20) in place; tabs and other white space stay.
// Keeps at most kZahlHoechstZeichen characters, the rest is cut off.
void Leerzeichen_entfernen(std::string& text);

// True when every character is a digit, "-" or "+" (also for "").
bool Ziffern_pruefen(const std::string& text);

// Reads an entry as a signed decimal 32-bit number, blanks ignored.
// Returns false and sets wert to 0 for anything else: empty or blank-only
// text, other characters, misplaced or doubled signs, values outside
// 32 bits, and entries with more than kZahlHoechstZeichen non-blanks.
bool Zahl_pruefen(const std::string& text, int32_t& wert);

// Like Zahl_pruefen, but an entry that is not a number simply reads as 0.
int32_t Zahl_einlesen(const std::string& text);
