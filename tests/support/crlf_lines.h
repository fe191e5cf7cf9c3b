#pragma once

#include <string>
#include <vector>

// A whole file as it is on disk (empty when it cannot be read).
std::string Lesen(const std::string& pfad);

// The lines of a file written with CR LF after each; a last line without
// its CR LF comes back marked "<unterminated>".
std::vector<std::string> CrLfZeilen(const std::string& pfad);
