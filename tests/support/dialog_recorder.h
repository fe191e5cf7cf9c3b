#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "common/dialog.h"

// Records message boxes instead of showing them.
class DialogRecorder : public Dialogs {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    DialogRecorder() { SetDialogs(this); }
    ~DialogRecorder() override { SetDialogs(nullptr); }

    int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        std::lock_guard lock(mutex_);
        boxes_.push_back({text, caption, icon});
        return kMessageResultOk;
    }
    std::vector<Box> Boxes() const {
        std::lock_guard lock(mutex_);
        return boxes_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
};
