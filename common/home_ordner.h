#pragma once

#include <string>

// The user's home folder: $HOME, else the password database's entry.
std::string Home_Ordner();
