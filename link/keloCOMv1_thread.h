#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "link/keloCOMv1_buch.h"
#include "link/keloCOMv1_empfang.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace platform {
class SerialPort;
}

// The link's only reader of the port. Assembles the replies (TEmpfang), keeps
// the book of exchanges (buch::Schritt) and puts each reply into the mailbox
// of its channel, or drops it; it never waits for a taker, so an "@" reply is
// read while a normal one waits in its mailbox.
class TkeloCOM_thread : public platform::TThread, public TEmpfang {
public:
    TkeloCOM_thread(bool CreateSuspended, std::shared_ptr<platform::SerialPort> hCom);
    ~TkeloCOM_thread() override;

    // Asks the thread to end and releases the read it may be in.
    void Beenden();

    // Feeds the book one event of the calling sender and carries out what it
    // returns; the gates follow the book.
    buch::Wirkung Melden(buch::Ereignis::Art art, buch::Kanal kanal, const char* szRequest = nullptr);
    // The head of the channel's mailbox for the calling sender, into szZiel
    // (always terminated). False when nothing is there for it.
    bool Nehmen(buch::Kanal kanal, char* szZiel, size_t iGroesse);
    // The calling sender is the one the channel owes an answer to.
    bool Gehoert(buch::Kanal kanal);
    static buch::Sender Ich();

    // Manual reset: set while reads fail (the line is gone).
    platform::Event hEventLeitungWeg{platform::Event::Mode::ManualReset};
    // Manual reset: ends the pending read.
    platform::Event hEventRead{platform::Event::Mode::ManualReset};

    platform::Event hEventThreadRun{platform::Event::Mode::AutoReset};
    // The send gates and the mailboxes' "something there", kept by the book.
    platform::Event hEventRxSend{platform::Event::Mode::ManualReset};
    platform::Event hEventRxSend_MB{platform::Event::Mode::ManualReset};
    platform::Event hEventRxCompl{platform::Event::Mode::ManualReset};
    platform::Event hEventRxCompl_MB{platform::Event::Mode::ManualReset};
    platform::Event hEventThreadEnd{platform::Event::Mode::AutoReset};

protected:
    void Execute() override;
    void Uebergeben() override;
    void Uebergeben_MB() override;
    void ResetPause() override;

private:
    bool ZeichenLesen(unsigned char& c);
    void Leitung(bool bWeg);
    void TeilVerwerfen();
    // Under hBuch_.
    buch::Wirkung Schritt(const buch::Ereignis& e, const char* szAntwort);
    void Ausfuehren(const buch::Wirkung& w, const char* szAntwort);
    void Leeren(buch::Kanal kanal, bool bVerspaetet);
    void Protokollieren(bool bVerspaetet, const std::string& text);
    void GatesNachfuehren();

    std::shared_ptr<platform::SerialPort> hCom_;
    bool bLesefehler_ = false;
    std::mutex hBuch_;
    buch::Buch buch_;
    std::deque<std::string> postfach_[2];
    // A normal request went out: what the thread has of a reply by now is noise.
    std::atomic<bool> bTeilVerwerfen_{false};
    std::atomic<bool> bAtUnterwegs_{false};
};
