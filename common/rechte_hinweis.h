#pragma once

#include <cstdint>
#include <string>

// The line that tells the operator why a port could not be opened when its
// permissions are the cause (error 13 or 1, as the link logs them): the
// device, the group that may open it, and how to join that group. Empty for
// any other error.
std::string Rechte_Hinweis(const std::string& geraet, uint32_t fehler);
