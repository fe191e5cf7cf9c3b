#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

// Nice values for the priorities; raising above normal needs privileges and
// is silently left out when refused.
int NiceFor(ThreadPriority p) {
    switch (p) {
    case ThreadPriority::Idle: return 19;
    case ThreadPriority::Lowest: return 10;
    case ThreadPriority::Lower: return 5;
    case ThreadPriority::Normal: return 0;
    case ThreadPriority::Higher: return -5;
    case ThreadPriority::Highest: return -10;
    case ThreadPriority::TimeCritical: return -15;
    }
    return 0;
}

}  // namespace

TThread::~TThread() {
    std::lock_guard lock(startMutex_);
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // the body ends its own object: it returns next
        return;
    }
    std::fputs("TThread: destroyed while its body may still run (Stoppen() missing)\n", stderr);
    std::abort();
}

void TThread::Resume() { Start(); }

void TThread::Start() {
    std::lock_guard lock(startMutex_);
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        const int nice = NiceFor(priority_);
        if (nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), nice);
        Execute();
    });
}

void TThread::Terminate() { terminated_.store(true); }

void TThread::Beenden() {
    Terminate();
    Wecken();
}

void TThread::Stoppen() {
    Beenden();
    WaitFor();
}

void TThread::SetPriority(ThreadPriority priority) { priority_ = priority; }

void TThread::WaitFor() {
    std::lock_guard lock(startMutex_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace platform
