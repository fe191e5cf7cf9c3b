#pragma once

#include <string>
#include <vector>

// pelto's side of the wire recording: started from the option or
// PELTO_RECORD, and a file that cannot be written, or fills up, is said on
// standard error; the run goes on either way.
void Aufnahme_starten(const std::string& option, const std::vector<std::string>& args);
void Aufnahme_beenden();
