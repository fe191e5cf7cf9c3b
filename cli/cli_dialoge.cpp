#include "cli/cli_dialoge.h"

#include <cstdio>

#include "routinen/file_lines.h"

int CliDialoge::ShowMessage(const std::string& text, const std::string& caption, MessageIcon) {
    std::string zeile = StripTrailing(text);
    zeile.erase(0, zeile.find_first_not_of(' '));
    // The boxes break lines for the window; one line reads better here.
    for (auto& z : zeile)
        if (z == '\n') z = ' ';
    std::fprintf(stderr, "pelto: %s: %s\n", caption.c_str(), zeile.c_str());
    return kMessageResultOk;
}
