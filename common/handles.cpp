#include "common/handles.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "common/protokolldatei.h"
#include "platform/handle.h"
#include "platform/last_error.h"

namespace {
// A handle that will not close after a second of trying never will.
constexpr int kMaxCloseTries = 100;
}

void keloCloseHandle(platform::Handle* hHandle) {
    if (!hHandle) return;
    for (int tries = 1; !hHandle->Close(); ++tries) {
        const uint32_t err = platform::LastError();
        const std::string line = "keloCloseHandle() :: GetLastError()=" + std::to_string(err);
        Protokolldatei_schreiben(line.c_str());
        // An already closed handle will not close by trying again.
        if (err == EBADF || tries >= kMaxCloseTries) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
