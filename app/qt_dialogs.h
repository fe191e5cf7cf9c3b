#pragma once

#include "common/dialog.h"

class FensterBruecke;

// Message boxes shown modally on the window's thread, whoever asks.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(FensterBruecke& bruecke) : bruecke_(bruecke) {}
    int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;

private:
    FensterBruecke& bruecke_;
};
