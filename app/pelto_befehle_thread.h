#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/event.h"
#include "platform/thread.h"

// The one command worker: runs the routine for a posted command number,
// then waits for the next. No queue: a post while busy is dropped.
class TPelto_befehle_thread : public platform::TThread {
public:
    using Ausfuehren = std::function<void(int32_t iBefehl)>;

    TPelto_befehle_thread(bool CreateSuspended, Ausfuehren ausfuehren);
    ~TPelto_befehle_thread() override;

    platform::Event hEventRun{platform::Event::Mode::AutoReset};
    platform::Event hEventIdle{platform::Event::Mode::AutoReset};
    platform::Event hEventCmd{platform::Event::Mode::AutoReset};
    platform::Event hEventEnd{platform::Event::Mode::AutoReset};
    std::atomic<int32_t> iBefehl{0};
    // Whether the caller is this worker.
    bool Hier() const { return std::this_thread::get_id() == id_; }

protected:
    void Execute() override;
    void Wecken() override;

private:
    Ausfuehren ausfuehren_;
    std::atomic<std::thread::id> id_;
};
