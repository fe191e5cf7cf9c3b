#include "app/pelto_befehle_thread.h"

#include "routinen/ausnahme.h"
#include "common/handles.h"

TPelto_befehle_thread::TPelto_befehle_thread(bool CreateSuspended, Ausfuehren ausfuehren)
    : ausfuehren_(std::move(ausfuehren)) {
    if (!CreateSuspended) Resume();
}

TPelto_befehle_thread::~TPelto_befehle_thread() { Stoppen(); }

// Command 0 runs nothing: the body comes round to the flag.
void TPelto_befehle_thread::Wecken() {
    iBefehl = 0;
    hEventCmd.Set();
}

void TPelto_befehle_thread::Execute() {
    id_ = std::this_thread::get_id();
    hEventRun.Set();
    for (;;) {
        hEventIdle.Set();
        hEventCmd.Wait();
        hEventIdle.Reset();
        // Anything a routine did not catch ends that routine only.
        try {
            ausfuehren_(iBefehl);
        } catch (...) {
            Ausnahme_melden(std::current_exception(), "Pelto-Befehle");
        }
        if (Terminated()) break;
    }
    keloCloseHandle(&hEventRun);
    keloCloseHandle(&hEventIdle);
    keloCloseHandle(&hEventCmd);
    hEventEnd.Set();
}
