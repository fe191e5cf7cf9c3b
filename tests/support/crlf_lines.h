#pragma once

#include <string>
#include <vector>

// The lines of a file written with CR LF after each; a last line without
// its CR LF comes back marked "<unterminated>".
std::vector<std::string> CrLfZeilen(const std::string& pfad);
