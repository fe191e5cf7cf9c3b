#pragma once

#include <string>
#include <string_view>

// A JSON string literal, quotes included. Valid UTF-8 passes; other bytes
// are taken as Latin-1, as the controller and operator files are 8-bit.
std::string JsonText(std::string_view text);
