#pragma once

#include <cstddef>
#include <cstdint>

// The book of exchanges: which answer the link owes to whom, on each of its
// two channels. A pure state machine: the receive thread and the senders feed
// it events and carry out what it returns; it does no I/O, knows no threads,
// and takes the time only as a number in its events.
namespace buch {

enum Kanal : uint8_t { kNormal = 0, kMB = 1 };

// The states of the normal channel, and of each "@" place (Frei, Gebucht,
// Zugestellt, Verwaist). Weg holds for the whole book.
enum class Zustand : uint8_t {
    Frei,           // nothing owed
    Gebucht,        // a request is out, its first answer owed
    Zugestellt,     // its answer lies in the mailbox, not yet taken
    Zwischen,       // normal: a NAK lies in the mailbox, the final answer still owed
    ZwischenEnde,   // normal: a NAK and the final answer lie in the mailbox
    Offen,          // normal: the NAK was taken, the final answer owed
    Nachlauf,       // normal: answered; further replies of the same request
                    // (a program read's lines) go to its sender until it
                    // sends again or its routine ends; after an answer that
                    // may have been noise, the gate opens on a quiet line
    Verwaist,       // its sender gave up; the answer is dropped when it comes
    VerwaistOffen,  // normal: the same after a NAK: the final answer is dropped too
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
// Reset, Stop, Halt, Interrupt and Continue: never held back by a query.
bool Steuerung(const Anfang& erwartet);

using Sender = uint32_t;
constexpr Sender kKeiner = 0;  // owed to a routine that is over

// A normal request given up on before its first answer stops blocking the
// channel this long after its sender gave up; so does a NAK nobody asked for.
// An "@" answer given up on is told apart from others that long.
constexpr int64_t kNachfristMS = 1000;
// A routine that ended with an error on the reply it took may have taken
// noise: its true answer can still come. The normal gate stays shut until
// the line has been quiet this long (at most kNachfristMS).
constexpr int64_t kRuheMS = 100;
// A read cut off by its routine may stream its stored text that much longer.
constexpr int64_t kLeseRuheMS = 5000;

struct Ereignis {
    enum Art : uint8_t {
        Gesendet,             // a request passed its gate on `kanal` (with `anfang` for "@")
        GesendetOhneAntwort,  // header text: sent, owed no answer
        Antwort,              // a reply is complete on `kanal` (`nak`: it ends so; "@": `anfang`, and
                              // `ack`: an ACK follows the beginning's three characters)
        Ausruf,               // the "!" of a confirmed reset for request `nummer`
        WartenBeginnt,        // `sender` starts waiting on `kanal`
        Genommen,             // a waiting `sender` takes its reply on `kanal`
        Aufgegeben,           // `sender`'s wait on `kanal` ended without a reply
        Freigeben,            // `sender` will not wait for what it is owed: owed to nobody now
        Abgebrochen,          // `sender`'s routine is over: what it is owed is stale
        Uhr,                  // the time is `jetzt`
        LeitungWeg,           // reads fail
        LeitungWieder,        // reads work again
        Neuaufbau,            // the link was set up again
    };
    Art art;
    Kanal kanal = kNormal;
    Sender sender = 0;
    bool nak = false;
    bool ack = false;
    Anfang anfang {};
    uint8_t nummer = 0;
    int64_t jetzt = 0;  // ms, any steady origin
    bool lesen = false;  // Gesendet on kNormal: the request reads stored text back in parts
    bool endform = false;  // Antwort on kNormal: shaped as a final answer (see Endform)
    bool endantwort = false;  // Antwort on kNormal: exactly a final answer (see Endantwort)
    size_t vorlauf = 0;  // Antwort on kNormal: how many bytes came before it (see Vorlauf)
    bool gelungen = false;  // Abgebrochen: the routine ended well on a whole answer it took
    bool begonnen = false;  // Abgebrochen, Uhr: bytes of a further normal reply have come
    int64_t letztesByte = 0;  // Uhr: when the last byte came (0: none yet)
};

// A reply that ends as a whole answer does: in ACK, or in "E", digits and
// BEL (the controller's error reply). Text before it may be an echo or noise.
bool Endform(const char* szAntwort, size_t iLaenge);

// The bytes at a reply's start that would make no reply on their own (NUL,
// and STX, ETX, BEL or CR as a first character): noise glued to what follows.
size_t Vorlauf(const char* szAntwort, size_t iLaenge);

// Exactly a final answer: ACK alone, or "E", digits and BEL (a Vorlauf
// before it aside).
bool Endantwort(const char* szAntwort, size_t iLaenge);

// A request whose answer comes as several replies of stored text.
bool Lesen(const char* szRequest);

struct Normalbuch {
    Zustand zustand = Zustand::Frei;
    Sender sender = 0;   // who booked it
    uint8_t nummer = 0;  // counts the requests sent, so that a "!" finds its own
    bool lesen = false;  // a read: its answer comes as several replies of stored text
    bool gestoppt = false;  // ended by a "!": the stopped job's own final answer may still come
    bool laut = false;  // Zwischen, Offen: noise came while the final answer was owed
    int64_t frist = 0;   // Verwaist, VerwaistOffen: free again from then (0: not before its answer)
    int64_t ruhe = 0;    // a quiet line is awaited (Verwaist, Nachlauf), the wait renewed till then
    bool operator==(const Normalbuch&) const = default;
};

// One "@" request owed its answer. Places are kept in the order sent.
struct MBPlatz {
    Zustand zustand = Zustand::Frei;  // Frei, Gebucht, Zugestellt or Verwaist
    Sender sender = 0;
    Anfang anfang {};
    uint8_t nummer = 0;  // the normal request last sent when this one went out
    int64_t frist = 0;   // Verwaist: forgotten from then
    bool operator==(const MBPlatz&) const = default;
};

// Two senders with one live "@" request each, and answers given up on.
constexpr size_t kMBPlaetze = 4;

struct Buch {
    Normalbuch n;
    MBPlatz at[kMBPlaetze];
    Sender kopf = kKeiner;  // sends a program's header: "@" is text to the controller
    bool operator==(const Buch&) const = default;

    bool Weg() const;
    bool NormalOffen() const;                       // the normal send gate
    bool AtOffen(const Anfang& a, Sender s) const;  // the "@" send gate for this request
    // An "@" reply begun like this can still be owed (live or given up on).
    bool MB_TeilErwartet(const char* teil) const;
    // An "@" on the line begins an "@" reply: one is owed, or the "@" is
    // neither amid a normal reply (`bMitten`) nor where further text of an
    // answered read (a program's lines) is due.
    bool AtBeginnt(bool bMitten) const;
    // The place of `s`'s live "@" request, or -1.
    int MB_Eigener(Sender s) const;
    // `s`'s request on `kanal`, passed and about to be written, may purge the
    // unread input: no other live request is owed any of it.
    bool Purge_erlaubt(Kanal kanal, Sender s) const;
    // When the next given-up request stops blocking (0: none).
    int64_t NaechsteFrist() const;
};

// What the caller carries out after a step.
struct Wirkung {
    enum Art : uint8_t {
        Nichts,
        Zustellen,        // put the reply into the mailbox of `kanal` (for `sender` on "@")
        Verwerfen,        // drop the reply, logged as late (`bVerspaetet`) or unexpected
        Uebergeben,       // hand the reply of `kanal` (of `sender` on "@") to the taker
        Postfach_leeren,  // drop what lies in `kanal`'s mailbox (for `sender` on "@")
        Alles_leeren,     // drop both mailboxes (the line is gone)
    };
    Art art = Nichts;
    Kanal kanal = kNormal;
    Sender sender = 0;
    // Gesendet, GesendetOhneAntwort: the gate let the request pass.
    bool bZugelassen = false;
    bool bVerspaetet = false;
    // Bytes of a normal reply begun before this request are noise.
    bool bTeilVerwerfen = false;
    // Zustellen: a further reply of an answered request, dropped as
    // unexpected when the mailbox already holds kMaxPost replies.
    bool bZusatz = false;
    // Zustellen: a final answer, handed over without the bytes glued before
    // it (Ereignis::vorlauf), which are dropped as noise.
    bool bOhneVorlauf = false;
    // "@RS" ACK confirmed our reset or stop while normal request `nummer`
    // was open: after the pause, its "!" follows as an Ausruf.
    bool bAusruf = false;
    uint8_t nummer = 0;
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

#ifdef BUCH_MUTANTEN
// One-point faults of the machine for the exhaustive check, chosen at run
// time in a test build (0: none), so that the check shows it catches each.
constexpr int kMutanten = 19;
void Mutante_setzen(int iMutante);
int Mutante();
#endif

}  // namespace buch
