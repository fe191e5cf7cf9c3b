#pragma once

#include "common/dialog.h"

// Message boxes of the shared routines (a missing file, a controller that
// does not answer) become lines on standard error.
class CliDialoge : public Dialogs {
public:
    int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
};
