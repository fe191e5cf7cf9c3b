#pragma once

#include <cstddef>

// Writes szQuelle into szZiel with STX, ETX, ACK, BEL, CR and NAK shown as
// "<STX>" ... "<NAK>". Never writes more than iZielGroesse bytes: the text is
// cut before a tag that would not fit, and always NUL-terminated.
void Steuerzeichen_darstellen(char* szZiel, size_t iZielGroesse, const char* szQuelle);
