#include "link/keloCOMv1_buch.h"

#include <algorithm>
#include <cstring>

#include "common/zeichen.h"

// A test build can switch one-point faults on at run time (see the header).
#ifdef BUCH_MUTANTEN
#define MUTANTE(n) (Mutante() == (n))
#else
#define MUTANTE(n) false
#endif

namespace buch {

#ifdef BUCH_MUTANTEN
namespace {
int gMutante = 0;
}
void Mutante_setzen(int iMutante) { gMutante = iMutante; }
int Mutante() { return gMutante; }
#endif

namespace {

using Z = Zustand;
using W = Wirkung;

W Wirk(W::Art art, Kanal kanal, bool bVerspaetet = false, Sender sender = kKeiner) {
    W w;
    w.art = art;
    w.kanal = kanal;
    w.bVerspaetet = bVerspaetet;
    w.sender = sender;
    return w;
}

// A request whose answer a confirmed reset or stop ends with "!".
bool Offen_fuer_Ausruf(Z z) { return z == Z::Gebucht || z == Z::Zwischen || z == Z::Offen; }

bool Verwaist(Z z) { return z == Z::Verwaist || z == Z::VerwaistOffen; }

void Freimachen(Normalbuch& n) {
    n.zustand = Z::Frei;
    n.sender = kKeiner;
    n.frist = 0;
    n.ruhe = 0;
    n.lesen = false;
    n.gestoppt = false;
    n.laut = false;
}

// How long a quiet line is awaited at the most: a read may stream its text longer.
int64_t Ruhefrist(const Normalbuch& n) { return n.lesen ? kLeseRuheMS : kNachfristMS; }

// The wait renewed on a further reply, until the quiet line's end at the latest.
void Ruhe_verlaengern(Normalbuch& n, int64_t jetzt) { n.frist = std::min(jetzt + kRuheMS, n.ruhe); }

// A final answer is ACK or an error reply: anything else (a NAK, text
// before an ACK) is noise that must not end a move's wait.
W Endantwort_nehmen(Normalbuch& n, const Ereignis& e) {
    if (!e.endantwort && !MUTANTE(19)) {
        n.laut = true;
        return Wirk(W::Verwerfen, kNormal);
    }
    n.zustand = n.zustand == Z::Zwischen ? Z::ZwischenEnde : Z::Zugestellt;
    // Noise before it may have more behind it.
    if (e.vorlauf || n.laut) n.ruhe = e.jetzt + Ruhefrist(n);
    n.laut = false;
    W w = Wirk(W::Zustellen, kNormal);
    w.bOhneVorlauf = e.vorlauf > 0;
    return w;
}

W Normale_Antwort(Buch& b, const Ereignis& e) {
    Normalbuch& n = b.n;
    switch (n.zustand) {
    case Z::Gebucht:
        n.zustand = e.nak && !MUTANTE(1) ? Z::Zwischen : Z::Zugestellt;
        b.kopf = kKeiner;  // the end mark's answer: the header is over
        // Ending in CR, STX or ETX, it may be noise just ahead of the true
        // answer, or a read's echo with lines to follow: the next request
        // waits for a quiet line.
        if (!e.nak && (!e.endform || e.vorlauf)) n.ruhe = e.jetzt + Ruhefrist(n);
        break;
    case Z::Zwischen:
    case Z::Offen: return Endantwort_nehmen(n, e);
    case Z::Zugestellt:
    case Z::ZwischenEnde:
        if (n.gestoppt) {
            // The stopped job's final answer, after its "!": nobody's.
            n.gestoppt = e.nak;
            return Wirk(W::Verwerfen, kNormal, true);
        }
        [[fallthrough]];
    case Z::Nachlauf: {  // a further reply of the same request
        // A read's lines, or noise around the answer: whatever its shape
        // (noise may hold an ACK), the next request waits for a quiet line.
        if (n.ruhe == 0) n.ruhe = e.jetzt + Ruhefrist(n);
        if (n.zustand == Z::Nachlauf) Ruhe_verlaengern(n, e.jetzt);
        W w = Wirk(W::Zustellen, kNormal);
        w.bZusatz = true;
        return w;
    }
    case Z::Verwaist:
        if (n.ruhe != 0) {
            // Noise, or the answer that noise stood in for: the line must go
            // quiet. A NAK may be noise too: its final answer is awaited
            // as long as one nobody asked for.
            if (e.nak) {
                n.zustand = Z::VerwaistOffen;
                n.frist = e.jetzt + kNachfristMS;
                n.ruhe = 0;
            } else {
                Ruhe_verlaengern(n, e.jetzt);
            }
            return Wirk(W::Verwerfen, kNormal, true);
        }
        [[fallthrough]];
    case Z::VerwaistOffen: {
        // After a late NAK its final answer is stale too: kept from the next
        // request until it comes (a move may take minutes) or a reset or
        // stop is confirmed. A further NAK announces nothing new: a NAK of
        // noise no longer holds the channel for good. Only what a final
        // answer is ends the hold; other noise leaves it to its time.
        const bool bWeiter = n.zustand == Z::VerwaistOffen && !e.endantwort;
        if (!bWeiter) Freimachen(n);
        if (e.nak && !bWeiter) n.zustand = Z::VerwaistOffen;
        return Wirk(W::Verwerfen, kNormal, true);
    }
    case Z::Frei:
        // A NAK nobody asked for announces a final answer for nobody: it is
        // kept from the next request for a while.
        if (e.nak && !MUTANTE(13)) {
            n.zustand = Z::VerwaistOffen;
            n.frist = e.jetzt + kNachfristMS;
        }
        return Wirk(W::Verwerfen, kNormal);
    default: return Wirk(W::Verwerfen, kNormal);
    }
    return Wirk(W::Zustellen, kNormal);
}

W Normal_nehmen(Normalbuch& n, int64_t jetzt) {
    switch (n.zustand) {
    case Z::Zugestellt:
        n.zustand = Z::Nachlauf;
        if (n.ruhe != 0) n.frist = jetzt + kRuheMS;
        // The "!" of a stopped job: its final answer may still come; it is
        // kept from the next request until it does or for a while.
        if (n.gestoppt) {
            n.zustand = Z::VerwaistOffen;
            n.frist = jetzt + kNachfristMS;
            n.gestoppt = false;
        }
        break;
    case Z::Zwischen: n.zustand = MUTANTE(18) ? Z::Zugestellt : Z::Offen; break;
    case Z::ZwischenEnde: n.zustand = Z::Zugestellt; break;
    case Z::Nachlauf: break;
    default: return {};
    }
    return Wirk(W::Uebergeben, kNormal);
}

// The sender is not coming for what it is owed. Given up (`bStale`): an
// answer still to come is dropped when it comes, and keeps the normal gate
// shut till then: a first answer at most kNachfristMS, a final answer after
// a NAK until it comes. Released: owed to nobody, dropped as unexpected.
// `bGelungen`: the routine ended well on a whole answer it took.
W Normal_loslassen(Buch& b, bool bStale, bool bGelungen, bool bBegonnen, int64_t jetzt) {
    Normalbuch& n = b.n;
    const Z vorher = n.zustand;
    const int64_t frist = n.frist;
    const Sender sender = n.sender;
    const bool bGestoppt = n.gestoppt;
    // An answer ending as noise can, a read whose lines may still flow, or
    // bytes after the answer; a routine that ended well on a whole answer
    // vouches for the rest.
    const bool bZweifel = (n.ruhe != 0 || bBegonnen) && !bGelungen;
    const bool bLesen = n.lesen;
    Freimachen(n);
    n.sender = sender;
    if (bGestoppt) {
        // A stopped job's final answer may still come: dropped when it does.
        n.zustand = Z::VerwaistOffen;
        n.frist = jetzt + kNachfristMS;
    }
    if (bStale) {
        if ((vorher == Z::Gebucht && !MUTANTE(11)) || vorher == Z::Verwaist) {
            n.zustand = Z::Verwaist;
            n.frist = vorher == Z::Gebucht ? jetzt + kNachfristMS : frist;
        } else if (vorher == Z::Offen || vorher == Z::Zwischen || vorher == Z::VerwaistOffen) {
            n.zustand = Z::VerwaistOffen;
            n.frist = vorher == Z::VerwaistOffen ? frist : 0;
        } else if ((vorher == Z::Zugestellt || vorher == Z::Nachlauf) && !bGestoppt && bZweifel) {
            // What it took may have been noise before its true answer, or
            // a read's lines may still flow: kept from the next request
            // until the line is quiet. A whole answer (ACK, NAK, an error
            // reply) that its routine refused costs nothing.
            n.zustand = Z::Verwaist;
            n.lesen = bLesen;
            n.frist = jetzt + kRuheMS;
            n.ruhe = jetzt + Ruhefrist(n);
        }
    }
    const bool bPost = vorher == Z::Zugestellt || vorher == Z::Zwischen || vorher == Z::ZwischenEnde ||
                       vorher == Z::Nachlauf;
    return bPost ? Wirk(W::Postfach_leeren, kNormal, bStale) : W {};
}

void Normal_warten(Normalbuch& n) {
    // Waiting again after giving up: the answer is its own after all.
    if (!Verwaist(n.zustand)) return;
    n.zustand = n.zustand == Z::Verwaist ? Z::Gebucht : Z::Offen;
    n.frist = 0;
    n.ruhe = 0;
}

W Normal_senden(Buch& b, const Ereignis& e) {
    Normalbuch& n = b.n;
    const bool bNachlauf = n.zustand == Z::Nachlauf;
    n.zustand = Z::Gebucht;
    n.sender = e.sender;
    n.frist = 0;
    n.ruhe = 0;
    n.laut = false;
    n.lesen = e.lesen;
    ++n.nummer;
    // Replies nobody came for cannot answer a request not yet written.
    W w = bNachlauf ? Wirk(W::Postfach_leeren, kNormal) : W {};
    w.bTeilVerwerfen = true;
    return w;
}

W Ausruf(Buch& b, const Ereignis& e) {
    if ((e.nummer != b.n.nummer && !MUTANTE(8)) || !Offen_fuer_Ausruf(b.n.zustand))
        return Wirk(W::Verwerfen, kNormal, true);
    Ereignis fertig = e;
    fertig.nak = false;
    fertig.endform = true;
    fertig.endantwort = true;
    b.n.lesen = false;  // ended: nothing of it follows
    b.n.gestoppt = true;
    return Normale_Antwort(b, fertig);
}

void Uhr(Buch& b, const Ereignis& e) {
    const int64_t jetzt = e.jetzt, letztesByte = e.letztesByte;
    // A reply begun after the answer (noise, or the first bytes of an answer
    // noise stood in for): the line is not quiet yet.
    if (e.begonnen && b.n.zustand == Z::Nachlauf && b.n.ruhe == 0 && letztesByte != 0) {
        b.n.ruhe = letztesByte + Ruhefrist(b.n);
        b.n.frist = letztesByte + kRuheMS;
    }
    // Bytes that end no reply (a stray letter, a NUL) break the quiet too.
    if (b.n.ruhe != 0 && b.n.frist != 0 && letztesByte != 0)
        b.n.frist = std::max(b.n.frist, std::min(letztesByte + kRuheMS, b.n.ruhe));
    if (Verwaist(b.n.zustand) && b.n.frist != 0 && (jetzt >= b.n.frist || MUTANTE(12))) Freimachen(b.n);
    if (b.n.zustand == Z::Nachlauf && b.n.frist != 0 && jetzt >= b.n.frist) {
        b.n.frist = 0;
        b.n.ruhe = 0;
    }
    for (MBPlatz& p : b.at)
        if (p.zustand == Z::Verwaist && jetzt >= p.frist) p = {};
}

// ---- the "@" places

// The oldest place in state `z` whose request `antwort` can answer (any, with nullptr).
int At_finden(const Buch& b, Z z, const Anfang* antwort) {
    for (size_t i = 0; i < kMBPlaetze; ++i)
        if (b.at[i].zustand == z && (!antwort || Passt(*antwort, b.at[i].anfang))) return static_cast<int>(i);
    return -1;
}

// Freed places close up, so that the oldest request comes first.
void At_ordnen(Buch& b) {
    size_t j = 0;
    for (size_t i = 0; i < kMBPlaetze; ++i) {
        if (b.at[i].zustand == Z::Frei) continue;
        MBPlatz p = b.at[i];
        if (p.zustand == Z::Verwaist) p.sender = kKeiner;
        if (p.zustand != Z::Verwaist) p.frist = 0;
        b.at[j++] = p;
    }
    for (; j < kMBPlaetze; ++j) b.at[j] = {};
}

W At_loslassen(Buch& b, Sender s, bool bStale, int64_t jetzt) {
    const int i = b.MB_Eigener(s);
    if (i < 0) return {};
    MBPlatz& p = b.at[i];
    const Z vorher = p.zustand;
    p.zustand = bStale && vorher == Z::Gebucht && !MUTANTE(6) ? Z::Verwaist : Z::Frei;
    p.frist = jetzt + kNachfristMS;
    return vorher == Z::Zugestellt ? Wirk(W::Postfach_leeren, kMB, bStale, s) : W {};
}

W At_senden(Buch& b, const Ereignis& e) {
    // An earlier request of the same sender that it did not wait for is given up.
    W w = At_loslassen(b, e.sender, true, e.jetzt);
    At_ordnen(b);
    if (b.at[kMBPlaetze - 1].zustand != Z::Frei) {
        // No room: the oldest answer given up on is forgotten.
        for (MBPlatz& p : b.at) {
            if (p.zustand != Z::Verwaist) continue;
            p = {};
            break;
        }
        At_ordnen(b);
    }
    for (MBPlatz& p : b.at) {
        if (p.zustand != Z::Frei) continue;
        p = {Z::Gebucht, e.sender, e.anfang, b.n.nummer};
        break;
    }
    return w;
}

// A confirmed reset or stop ends what the normal channel is owed.
void Bestaetigt(Buch& b, W& w) {
    if (Offen_fuer_Ausruf(b.n.zustand)) {
        w.bAusruf = true;
        w.nummer = b.n.nummer;
    } else if (Verwaist(b.n.zustand) && !MUTANTE(7)) {
        Freimachen(b.n);
    }
}

// An "@" reply goes to the oldest live request it can answer, else it is
// the late answer of one given up on, else nobody's.
W At_Antwort(Buch& b, const Ereignis& e) {
    int live = At_finden(b, Z::Gebucht, &e.anfang);
    // "@E" n BEL: the controller refuses an "@" request it cannot read;
    // the oldest one still owed its answer gets the refusal.
    if (live < 0 && std::strncmp(e.anfang.c, "@E", 2) == 0) live = At_finden(b, Z::Gebucht, nullptr);
    const int alt = At_finden(b, Z::Verwaist, &e.anfang);
    W w;
    int i = live;
    if (live >= 0) {
        b.at[live].zustand = Z::Zugestellt;
        w = Wirk(W::Zustellen, kMB, false, b.at[live].sender);
    } else if (alt >= 0) {
        i = alt;
        b.at[alt].zustand = Z::Frei;
        w = Wirk(W::Verwerfen, kMB, true);
    } else {
        w = Wirk(W::Verwerfen, kMB);
        // Noise amid a move's wait: the line must go quiet after its end.
        if (b.n.zustand == Z::Zwischen || b.n.zustand == Z::Offen) b.n.laut = true;
        if (MUTANTE(10) && e.ack && e.anfang == Erwarteter_Anfang("@R\r")) Bestaetigt(b, w);
        return w;
    }
    // A stop ends only what was sent before it.
    // Only "@RS" itself confirms: a refusal ("@E1") given to the stop does not.
    if ((e.ack || MUTANTE(9)) && b.at[i].anfang == Erwarteter_Anfang("@R\r") && e.anfang == b.at[i].anfang &&
        (b.at[i].nummer == b.n.nummer || MUTANTE(17)))
        Bestaetigt(b, w);
    return w;
}

W At_nehmen(Buch& b, Sender s) {
    const int i = b.MB_Eigener(s);
    if (i < 0 || b.at[i].zustand != Z::Zugestellt) return {};
    b.at[i].zustand = Z::Frei;
    return Wirk(W::Uebergeben, kMB, false, s);
}

bool Normal_eigenes(const Normalbuch& n, const Ereignis& e) {
    return n.zustand != Z::Frei && n.zustand != Z::Weg && n.sender == e.sender && e.sender != kKeiner;
}

W Loslassen(Buch& b, const Ereignis& e, bool bStale) {
    // The header's sender gave up or its routine is over: the header is too.
    if (bStale && e.sender == b.kopf) b.kopf = kKeiner;
    if (e.kanal == kMB) return At_loslassen(b, e.sender, bStale, e.jetzt);
    if (!Normal_eigenes(b.n, e)) return {};
    const W w = Normal_loslassen(b, bStale, e.art == Ereignis::Abgebrochen && e.gelungen, e.begonnen, e.jetzt);
    // A routine that is over never takes the answer it was owed.
    if (e.art == Ereignis::Abgebrochen) b.n.sender = kKeiner;
    return w;
}

// Everything is forgotten but the count of requests.
void Vergessen(Buch& b) {
    const uint8_t nummer = b.n.nummer;
    b = Buch {};
    b.n.nummer = nummer;
}

W Senden(Buch& b, const Ereignis& e) {
    W w;
    if (e.art == Ereignis::GesendetOhneAntwort) {
        w.bZugelassen = b.NormalOffen();
        if (w.bZugelassen && !b.Weg()) b.kopf = e.sender;
        return w;
    }
    if (!(e.kanal == kMB ? b.AtOffen(e.anfang, e.sender) : b.NormalOffen())) return w;  // the other one passed first
    if (!b.Weg()) w = e.kanal == kMB ? At_senden(b, e) : Normal_senden(b, e);
    w.bZugelassen = true;
    return w;
}

}  // namespace

Anfang Erwarteter_Anfang(const char* szRequest) {
    Anfang a;
    if (std::strncmp(szRequest, "@R", 2) == 0 || std::strncmp(szRequest, "@S", 2) == 0) {
        std::memcpy(a.c, "@RS", 3);
    } else if (std::strncmp(szRequest, "@C", 2) == 0) {
        std::memcpy(a.c, "@A", 2);
    } else {
        // "@L" and "@I" are answered with their axis or input.
        std::memcpy(a.c, szRequest, std::strcspn(szRequest, "\r") < 3 ? std::strcspn(szRequest, "\r") : 3);
    }
    return a;
}

bool Endform(const char* szAntwort, size_t iLaenge) {
    if (iLaenge == 0) return false;
    if (szAntwort[iLaenge - 1] == zeichen::ACK) return true;
    if (szAntwort[iLaenge - 1] != zeichen::BEL) return false;
    size_t i = iLaenge - 1;
    while (i > 0 && szAntwort[i - 1] >= '0' && szAntwort[i - 1] <= '9') --i;
    return i < iLaenge - 1 && i > 0 && szAntwort[i - 1] == 'E';
}

size_t Vorlauf(const char* szAntwort, size_t iLaenge) {
    size_t i = 0;
    while (i < iLaenge && std::strchr("\x02\x03\x07\r", szAntwort[i]) != nullptr) ++i;  // strchr finds NUL too
    return i;
}

bool Endantwort(const char* szAntwort, size_t iLaenge) {
    const size_t i = Vorlauf(szAntwort, iLaenge);
    if (iLaenge - i == 1) return szAntwort[i] == zeichen::ACK;
    if (iLaenge - i < 3 || szAntwort[i] != 'E' || szAntwort[iLaenge - 1] != zeichen::BEL) return false;
    for (size_t j = i + 1; j + 1 < iLaenge; ++j)
        if (szAntwort[j] < '0' || szAntwort[j] > '9') return false;
    return true;
}

bool Lesen(const char* szRequest) {
    // "*PR" n CR: the program; "*FRa" CR: the whole table.
    const bool bProgramm = std::strncmp(szRequest, "*PR", 3) == 0 && std::strchr("1234567", szRequest[3]) &&
                           szRequest[3] != '\0' && szRequest[4] == '\r';
    return bProgramm || std::strcmp(szRequest, "*FRa\r") == 0;
}

Anfang Anfang_von(const char* szAntwort) {
    Anfang a;
    std::memcpy(a.c, szAntwort, strnlen(szAntwort, 3));
    return a;
}

bool Passt(const Anfang& antwort, const Anfang& erwartet) {
    return std::strncmp(antwort.c, erwartet.c, MUTANTE(3) ? 1 : std::strlen(erwartet.c)) == 0;
}

bool Steuerung(const Anfang& erwartet) {
    return erwartet == Erwarteter_Anfang("@R\r") || erwartet == Erwarteter_Anfang("@B\r") ||
           erwartet == Erwarteter_Anfang("@A\r");
}

// A normal request keeps the normal gate shut until its final answer is
// taken or given up on. On a gone line the gates stand open: a request goes
// out into nothing, and its wait fails at once.
bool Buch::NormalOffen() const {
    return Weg() || n.zustand == Z::Frei || (n.zustand == Z::Nachlauf && n.frist == 0) ||
           (MUTANTE(2) && n.zustand == Z::Offen);
}

// "@" requests wait for no normal request: only for a program's header,
// which the controller takes as text, and for a live query of another sender
// that expects the same beginning.
bool Buch::AtOffen(const Anfang& a, Sender s) const {
    if (Weg()) return true;
    if (kopf != kKeiner) return false;
    if (MUTANTE(14) && n.zustand == Z::Gebucht) return false;
    bool bPlatz = false;
    for (const MBPlatz& p : at) {
        const bool bLebt = p.zustand == Z::Gebucht || p.zustand == Z::Zugestellt;
        if (bLebt && p.sender != s && p.anfang == a && !Steuerung(a)) return false;
        if (!bLebt || p.sender == s) bPlatz = true;
    }
    return bPlatz;
}

bool Buch::MB_TeilErwartet(const char* teil) const {
    if (MUTANTE(16)) return false;
    const size_t len = strnlen(teil, 3);
    for (const MBPlatz& p : at) {
        if (p.zustand != Z::Gebucht && p.zustand != Z::Verwaist) continue;
        const size_t m = std::strlen(p.anfang.c);
        if (std::strncmp(teil, p.anfang.c, len < m ? len : m) == 0) return true;
    }
    return false;
}

bool Buch::AtBeginnt(bool bMitten) const {
    if (MB_TeilErwartet("")) return true;
    const bool bLesen = n.lesen && (n.zustand == Z::Zugestellt || n.zustand == Z::Nachlauf);
    return !bMitten && !bLesen;
}

int Buch::MB_Eigener(Sender s) const {
    if (s == kKeiner) return -1;
    for (size_t i = 0; i < kMBPlaetze; ++i)
        if (at[i].sender == s && (at[i].zustand == Z::Gebucht || at[i].zustand == Z::Zugestellt))
            return static_cast<int>(i);
    return -1;
}

bool Buch::Purge_erlaubt(Kanal kanal, Sender s) const {
    if (Weg()) return true;
    // A late "@" answer cut by a purge would leave its tail to the normal channel.
    for (const MBPlatz& p : at)
        if ((p.zustand == Z::Verwaist || (p.zustand == Z::Gebucht && !(kanal == kMB && p.sender == s))) && !MUTANTE(4))
            return false;
    // A normal request's own channel owes nothing older; an "@" request
    // leaves whatever a normal one is still owed.
    return kanal == kNormal || n.zustand == Z::Frei || MUTANTE(5);
}

int64_t Buch::NaechsteFrist() const { return Verwaist(n.zustand) || n.zustand == Z::Nachlauf ? n.frist : 0; }

Schritt_t Schritt(const Buch& alt, const Ereignis& e) {
    Schritt_t s {alt, {}};
    Buch& b = s.buch;
    switch (e.art) {
    case Ereignis::Gesendet:
    case Ereignis::GesendetOhneAntwort: s.wirkung = Senden(b, e); break;
    case Ereignis::Antwort: s.wirkung = e.kanal == kMB ? At_Antwort(b, e) : Normale_Antwort(b, e); break;
    case Ereignis::Ausruf: s.wirkung = Ausruf(b, e); break;
    case Ereignis::WartenBeginnt:
        if (e.kanal == kNormal && Normal_eigenes(b.n, e)) Normal_warten(b.n);
        break;
    case Ereignis::Genommen:
        if (e.kanal == kMB) {
            s.wirkung = At_nehmen(b, e.sender);
        } else if (Normal_eigenes(b.n, e)) {
            s.wirkung = Normal_nehmen(b.n, e.jetzt);
        }
        break;
    case Ereignis::Aufgegeben:
    case Ereignis::Abgebrochen: s.wirkung = Loslassen(b, e, true); break;
    case Ereignis::Freigeben: s.wirkung = Loslassen(b, e, false); break;
    case Ereignis::Uhr: Uhr(b, e); break;
    case Ereignis::LeitungWeg:
        // Nothing owed comes over a gone line; waits end through the line's own event.
        Vergessen(b);
        b.n.zustand = Z::Weg;
        s.wirkung = Wirk(W::Alles_leeren, kNormal, true);
        break;
    case Ereignis::LeitungWieder:
        if (b.Weg() && !MUTANTE(15)) Vergessen(b);
        break;
    case Ereignis::Neuaufbau:
        Vergessen(b);
        s.wirkung = Wirk(W::Alles_leeren, kNormal, true);
        break;
    }
    // A free channel remembers nobody.
    if (b.n.zustand == Z::Frei) Freimachen(b.n);
    At_ordnen(b);
    return s;
}

const char* Name(Zustand z) {
    static const char* const kNamen[] = {"Frei",     "Gebucht",  "Zugestellt", "Zwischen",      "ZwischenEnde",
                                         "Offen",    "Nachlauf", "Verwaist",   "VerwaistOffen", "Weg"};
    return kNamen[static_cast<int>(z)];
}

bool Buch::Weg() const { return n.zustand == Z::Weg; }

}  // namespace buch
