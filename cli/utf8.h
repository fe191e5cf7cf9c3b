#pragma once

#include <cstddef>
#include <string_view>

// Length of the valid UTF-8 sequence starting at i, or 0. Overlong forms,
// surrogates and code points above U+10FFFF are not valid: JSON and XML
// readers would refuse them or change them.
std::size_t Utf8Laenge(std::string_view t, std::size_t i);

// The byte taken as Latin-1, in UTF-8: the controller and operator files
// are 8-bit.
void Latin1_anhaengen(std::string& ziel, unsigned char b);
