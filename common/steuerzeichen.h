#pragma once

#include <cstddef>
#include <string>

#include "common/zeichen.h"

// Writes szQuelle into szZiel with STX, ETX, ACK, BEL, CR and NAK shown as
// "<STX>" ... "<NAK>". Never writes more than iZielGroesse bytes: the text is
// cut before a tag that would not fit, and always NUL-terminated.
void Steuerzeichen_darstellen(char* szZiel, size_t iZielGroesse, const char* szQuelle);
// The same rendering of a whole text, never cut: the log pane and pelto
// show a request or reply this way.
std::string Dargestellt(const char* szQuelle);

// True for the bytes that frame the protocol: NUL, STX, ETX, ACK, BEL, LF,
// CR and NAK. Stored text read back with one of them would end its reply.
bool Ist_Rahmenzeichen(unsigned char c);
// The ASCII name of a control byte ("NUL", "ETX", "TAB", "DEL"), or nullptr.
const char* Steuerzeichen_Name(unsigned char c);
