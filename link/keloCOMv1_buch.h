#pragma once

#include <cstddef>
#include <cstdint>

// The book of exchanges: which answer the link owes to whom, on each of its
// two channels. A pure state machine: the receive thread and the senders feed
// it events and carry out what it returns; it does no I/O, knows no threads
// and no clocks.
namespace buch {

enum Kanal : uint8_t { kNormal = 0, kAt = 1 };

// The states of one channel. The "@" channel uses Frei, Gebucht, Zugestellt
// and Weg; the normal channel all of them. Weg holds for both at once.
enum class Zustand : uint8_t {
    Frei,           // nothing owed
    Gebucht,        // a request is out, its first answer owed
    Zugestellt,     // its answer lies in the mailbox, not yet taken
    Zwischen,       // normal: a NAK lies in the mailbox, the final answer still owed
    ZwischenEnde,   // normal: a NAK and the final answer lie in the mailbox
    Offen,          // normal: the NAK was taken, the final answer owed
    Nachlauf,       // normal: answered; further replies of the same request
                    // (a program read's lines) go to its sender until it
                    // sends again or its routine ends
    Verwaist,       // normal: its sender gave up; the answer is dropped when it comes
    VerwaistOffen,  // the same after a NAK: the final answer is dropped too
    Weg,            // reads fail: the line is gone
};

// How an "@" answer begins, as far as the link tells answers apart.
struct Anfang {
    char c[4] = {};
    bool operator==(const Anfang&) const = default;
};
Anfang Erwarteter_Anfang(const char* szRequest);
Anfang Anfang_von(const char* szAntwort);
bool Passt(const Anfang& antwort, const Anfang& erwartet);

using Sender = uint32_t;
constexpr Sender kKeiner = 0;  // owed to a routine that is over

struct Ereignis {
    enum Art : uint8_t {
        Gesendet,             // a request passed its gate on `kanal` (with `anfang` for "@")
        GesendetOhneAntwort,  // header text: sent, owed no answer
        Antwort,              // a reply is complete on `kanal` (`nak`: it ends with NAK; `anfang` for "@")
        WartenBeginnt,        // `sender` starts waiting on `kanal`
        Genommen,             // a waiting `sender` takes the head of `kanal`'s mailbox
        Aufgegeben,           // `sender`'s wait on `kanal` ended without a reply
        Freigeben,            // `sender` will not wait for what it is owed: owed to nobody now
        Abgebrochen,          // `sender`'s routine is over: what it is owed is stale
        ResetBestaetigt,      // "@RS" taken: the controller ends an open request with "!"
        LeitungWeg,           // reads fail
        LeitungWieder,        // reads work again
        Neuaufbau,            // the link was set up again
    };
    Art art;
    Kanal kanal = kNormal;
    Sender sender = 0;
    bool nak = false;
    Anfang anfang {};
};

struct Kanalbuch {
    Zustand zustand = Zustand::Frei;
    Sender sender = 0;      // who booked it
    Anfang erwartet {};     // "@": how its answer begins
    bool bVerwaist = false; // "@": an answer given up on may still come...
    Anfang verwaist {};     // ...beginning like this
    bool operator==(const Kanalbuch&) const = default;
};

struct Buch {
    Kanalbuch k[2];
    bool operator==(const Buch&) const = default;

    bool NormalOffen() const;  // the normal send gate
    bool AtOffen() const;      // the "@" send gate
    bool Weg() const;
};

// What the caller carries out after a step.
struct Wirkung {
    enum Art : uint8_t {
        Nichts,
        Zustellen,        // put the reply into the mailbox of `kanal`
        Verwerfen,        // drop the reply, logged as late (`bVerspaetet`) or unexpected
        Uebergeben,       // hand the head of `kanal`'s mailbox to the taker
        Postfach_leeren,  // drop what lies in `kanal`'s mailbox (logged as late)
        Alles_leeren,     // drop both mailboxes (the line is gone)
    };
    Art art = Nichts;
    Kanal kanal = kNormal;
    // Gesendet, GesendetOhneAntwort: the gate let the request pass.
    bool bZugelassen = false;
    bool bVerspaetet = false;
    // Bytes of a normal reply begun before this request are noise.
    bool bTeilVerwerfen = false;
    // Zustellen: a further reply of an answered request, dropped as
    // unexpected when the mailbox already holds kMaxPost replies.
    bool bZusatz = false;
};

// How many replies a mailbox keeps at the most: room for a whole program
// read that its reader takes line by line, yet noise cannot fill memory.
constexpr size_t kMaxPost = 65536;

struct Schritt_t {
    Buch buch;
    Wirkung wirkung;
};

// The whole machine: one step from a state and an event.
Schritt_t Schritt(const Buch& b, const Ereignis& e);

const char* Name(Zustand z);

}  // namespace buch
