#pragma once

#include <string>

// Why the device at this path does not open, found by trying again: it is
// missing, busy (with the processes that hold it, where /proc shows them),
// or not permitted (with the group and how to join it). Empty when it opens
// now.
std::string Oeffnungsgrund(const std::string& geraet);
