#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

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

    // The book of exchanges, one per channel (false: normal, true: "@").
    // A request passed its gate (both gates close), and the reply it is owed. A reply nobody asked for,
    // or one that comes after its sender gave up, is dropped here (and
    // logged) instead of reaching the next request; the gates follow.
    void Gesendet(bool bMB, const char* szRequest);
    void Warten_beginnt(bool bMB);
    // The wait ended without a reply (time-out or line gone).
    void Aufgeben(bool bMB);
    // The reply in the buffer has been taken: reopens the gates it allows.
    // While a normal request answered with NAK is open, only "@" requests pass.
    void Genommen(bool bMB);
    // Streamed lines are owed no reply.
    void KeineAntwort();
    // The caller's routine ended with an error: what it is still owed is stale.
    void Abbrechen();

    // Manual reset: set while reads fail (the line is gone).
    platform::Event hEventLeitungWeg{platform::Event::Mode::ManualReset};
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
    void TeilVerwerfen();
    void Uebergabe(bool bMB);
    void Verwerfen(bool bMB, const char* szWarum);
    void Protokollieren(bool bMB, const char* szWarum);
    void GatesOeffnen();
    bool GehoertZurAnfrage(const char* szAntwort) const;
    void AufgebenGesperrt(bool bMB);
    bool AtAusstehend();
    void Gehaltene_verwerfen(bool bMB, bool bNurUnabgeholte);

    std::shared_ptr<platform::SerialPort> hCom_;
    bool bLesefehlerGemeldet_ = false;
    // Orders a sender giving up against a hand-over in progress.
    std::mutex hUebergabe_;
    struct Austausch {
        bool bAusstehend = false;  // a reply is owed
        bool bWartet = false;      // its sender is waiting now
        bool bAufgegeben = false;  // its sender gave up
        std::thread::id sender;
    } austausch_[2];
    char szErwartet_MB_[4] = {};  // how the owed "@" reply begins
    std::chrono::steady_clock::time_point tGehalten_;  // when the held normal reply was handed over
    // A normal request went out: what the thread has of a reply by now is noise.
    std::atomic<bool> bTeilVerwerfen_{false};
};
