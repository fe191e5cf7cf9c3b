#pragma once

#include <memory>
#include <mutex>

#include "link/keloCOMv1_empfang.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace platform {
class SerialPort;
}

// The link's only reader of the port. Assembles the replies (TEmpfang) and
// hands each one over through events; also owns the two send gates.
class TkeloCOM_thread : public platform::TThread, public TEmpfang {
public:
    TkeloCOM_thread(bool CreateSuspended, std::shared_ptr<platform::SerialPort> hCom);
    ~TkeloCOM_thread() override;

    // Asks the thread to end and releases every wait it may be in.
    void Beenden();

    // A sender about to wait for its reply; and one whose wait timed out. A
    // reply that comes after its sender gave up is stale: it is dropped here
    // and the gates reopen, instead of it reaching the next request.
    void Warten_beginnt(bool bMB);
    void Aufgeben(bool bMB);
    // The reply in the buffer has been taken: reopens the gates it allows.
    // While a normal request answered with NAK is open, only "@" requests pass.
    void Genommen(bool bMB);

    // Manual reset: ends the pending read.
    platform::Event hEventRead{platform::Event::Mode::ManualReset};

    platform::Event hEventThreadRun{platform::Event::Mode::AutoReset};
    platform::Event hEventRxSend{platform::Event::Mode::AutoReset};
    platform::Event hEventRxSend_MB{platform::Event::Mode::AutoReset};
    platform::Event hEventRxCompl{platform::Event::Mode::AutoReset};
    platform::Event hEventRxCompl_MB{platform::Event::Mode::AutoReset};
    platform::Event hEventRxContinue{platform::Event::Mode::AutoReset};
    platform::Event hEventRxContinue_MB{platform::Event::Mode::AutoReset};
    platform::Event hEventThreadEnd{platform::Event::Mode::AutoReset};

protected:
    void Execute() override;
    void Uebergeben() override;
    void Uebergeben_MB() override;
    void ResetPause() override;

private:
    bool ZeichenLesen(unsigned char& c);
    void Uebergabe(bool bMB);
    void Verwerfen(bool bMB);
    void GatesOeffnen(bool bMB, const char* text);

    std::shared_ptr<platform::SerialPort> hCom_;
    bool bLesefehlerGemeldet_ = false;
    // Orders a sender giving up against a hand-over in progress.
    std::mutex hUebergabe_;
    bool bAufgegeben_[2] = {false, false};
    bool bNormalOffen_ = false;
};
