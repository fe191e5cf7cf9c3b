#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A calendar time split into fields, read as UTC.
struct SystemTime {
    uint16_t year;
    uint16_t month;
    uint16_t dayOfWeek;  // 0 = Sunday; not used for the conversion
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

// The console's version: Monday 21 January 2013, 08:00:00.000 UTC.
inline constexpr SystemTime kVersionszeit{2013, 1, 1, 21, 8, 0, 0, 0};

// The file-name patterns stamped, in order: the thirteen fixed kinds, then
// "*.<ext1>" and "*.<ext2>" for each extension that is not empty.
std::vector<std::string> Dateizeiten_Muster(const std::string& ext1, const std::string& ext2);

// Folder of the running executable with a trailing "/"; empty if unknown.
std::string Programmordner();

// Sets access and modification time of every ordinary, non-hidden file in
// the folder that matches one of the patterns (case-sensitive) to the given
// time. A file matching two patterns is stamped twice. Files that cannot be
// opened for reading and writing or stamped are skipped silently; an
// invalid time stamps nothing. Returns the number of stamps made.
int Dateizeiten_setzen(const std::string& ordner, const SystemTime& zeit, const std::string& ext1,
                       const std::string& ext2);

// The same for the executable's own folder.
void Dateizeiten_setzen(const SystemTime& zeit, const std::string& ext1, const std::string& ext2);
