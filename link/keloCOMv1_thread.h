#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/keloCOMv1_buch.h"
#include "link/keloCOMv1_empfang.h"
#include "link/keloCOMv1_verwurf.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace platform {
class SerialPort;
}
class TLeitungsbeobachter;

// The link's only reader of the port. Assembles the replies (TEmpfang), keeps
// the book of exchanges (buch::Schritt) and puts each reply into the mailbox
// of its channel, or drops it; it never waits for a taker, so an "@" reply is
// read while a normal one waits in its mailbox.
class TkeloCOM_thread : public platform::TThread, public TEmpfang {
public:
    TkeloCOM_thread(bool CreateSuspended, std::shared_ptr<platform::SerialPort> hCom,
                    TLeitungsbeobachter* beobachter = nullptr);
    ~TkeloCOM_thread() override;

    // Feeds the book one event of `sender` and carries out what it returns;
    // the gates follow the book.
    buch::Wirkung Melden(buch::Sender sender, buch::Ereignis::Art art, buch::Kanal kanal,
                         const char* szRequest = nullptr);
    // `sender`'s routine is over, failed or not: what it is owed is stale.
    void Routine_beendet(buch::Sender sender, bool bGelungen);
    // The head of the channel's mailbox for `sender`, into szZiel (always
    // terminated). False when nothing is there for it.
    bool Nehmen(buch::Sender sender, buch::Kanal kanal, char* szZiel, size_t iGroesse);
    // `sender` is the one the channel owes an answer to.
    bool Gehoert(buch::Sender sender, buch::Kanal kanal);
    // A request of `sender` may purge unread input: none of it is owed to
    // another live request.
    bool Purge_erlaubt(buch::Sender sender, buch::Kanal kanal);
    // Milliseconds until a request given up on stops blocking (kInfinite: none).
    int64_t BisZurFrist();
    static int64_t Jetzt();
    // Answers to an empty line ("E1" BEL) completed so far, taken or not.
    uint64_t LeerzeilenAntworten() const { return iLeerzeilenAntworten_; }
    // Whether the last "@" reply released a normal request with its "!".
    bool LetzteMitAusruf() const { return bLetzteMitAusruf_; }
    // When the last byte came (Jetzt()'s clock).
    int64_t LetztesByte() const { return iLetztesByte_; }

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
    void Wecken() override;
    void Uebergeben() override;
    bool Uebergeben_MB() override;
    void Uebergeben_Ausruf() override;
    void ResetPause() override;
    static constexpr int kAbholungMS = 250;
    bool AtBeginnt(bool bMitten) override;

private:
    bool ZeichenLesen(unsigned char& c);
    void Leitung(bool bWeg);
    void TeilVerwerfen();
    // Steps the book under its lock; what it drops is logged after.
    buch::Wirkung Buchen(buch::Ereignis e, const char* szAntwort = nullptr);
    // Under hBuch_.
    buch::Wirkung Schritt(const buch::Ereignis& e, const char* szAntwort);
    void Ausfuehren(const buch::Wirkung& w, const char* szAntwort);
    void Leeren(buch::Kanal kanal, buch::Sender sender, bool bVerspaetet);
    void Verwerfen(bool bVerspaetet, std::string text);
    void GatesNachfuehren();
    // Outside hBuch_: logs what was dropped, however much.
    void Verworfenes_schreiben();

    std::shared_ptr<platform::SerialPort> hCom_;
    TLeitungsbeobachter* const beobachter_;  // sees every byte read
    bool bLesefehler_ = false;
    std::mutex hBuch_;
    buch::Buch buch_;
    std::deque<std::string> postfach_;
    // "@" replies, each with the sender it answers.
    std::deque<std::pair<buch::Sender, std::string>> postfach_MB_;
    struct Verworfen {
        bool bVerspaetet;
        std::deque<std::string> texte;
    };
    std::vector<Verworfen> verworfen_;
    uint8_t iAusruf_ = 0;  // the request whose "!" follows
    TVerwurf verwurf_;
    // A normal request went out: what the thread has of a reply by now is noise.
    std::atomic<bool> bTeilVerwerfen_{false};
    std::atomic<bool> bNormalBegonnen_{false};  // bytes of a normal reply not yet complete
    std::atomic<uint64_t> iLeerzeilenAntworten_{0};
    std::atomic<bool> bLetzteMitAusruf_{false};
    std::atomic<int64_t> iLetztesByte_{0};
};
