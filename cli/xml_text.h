#pragma once

#include <string>
#include <string_view>

// Text for XML content and attribute values: markup characters escaped,
// valid UTF-8 kept, other bytes taken as Latin-1, and control characters
// that XML 1.0 does not allow shown as U+FFFD.
std::string XmlText(std::string_view text);
