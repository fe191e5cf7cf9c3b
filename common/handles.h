#pragma once

namespace platform {
class Handle;
}

// Closes the handle, insisting while the close fails (each failure logged,
// 10 ms apart, bounded); does nothing for null.
void keloCloseHandle(platform::Handle* hHandle);
