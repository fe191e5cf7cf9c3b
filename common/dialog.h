#pragma once

#include <string>

enum class MessageIcon { Warning, Exclamation };

constexpr int kMessageResultOk = 1;

// Where message boxes go: the window shows them modally on its own thread,
// tests record them. Without one, the text goes to standard error.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// Installs the sink (null removes it). Not owned.
void SetDialogs(Dialogs* dialogs);

int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon);
