#include "common/dialog.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<Dialogs*> gDialogs{nullptr};
}

void SetDialogs(Dialogs* dialogs) { gDialogs.store(dialogs); }

int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    if (Dialogs* d = gDialogs.load()) return d->ShowMessage(text, caption, icon);
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    (void)icon;
    return kMessageResultOk;
}
