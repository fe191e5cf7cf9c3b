// The book of exchanges against a model of the controller: every sequence
// of events up to a depth, with the production book and reply assembly in
// the loop. Every reply the controller sends carries the identity of the
// request it answers (or none: noise); faults are events (a reply lost,
// duplicated, delayed past its time, split, noise of every shape, an "@RS"
// nobody asked for, a request lost, the line gone and back); time advances
// in ticks. In every distinct state it checks:
//  (a) a sender takes only replies that answer its own request;
//  (b) an answer that arrives whole while its sender still waits is neither
//      dropped nor given to another, and a confirmed stop releases it;
//  (c) Stop passes its gate at once, but while a program's header goes out;
//  (d) once the faults stop, a normal request gets through within the
//      documented bound without "Ini", and the mailboxes are empty.
// Where the bytes cannot tell two replies apart (noise shaped like an
// answer, an answer later than its request's limit plus kNachfristMS, two
// queries expecting the same beginning, a NAK amid another request's wait
// for its final answer), the model says so and lets it pass.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/keloCOMv1_buch.h"
#include "link/keloCOMv1_empfang.h"

namespace {

using namespace buch;
using Z = Zustand;

constexpr Sender kW = 1, kF = 2;  // the worker and the window
constexpr int kRauschen = -1;     // a reply made of noise, or of noise and an answer
constexpr int64_t kTickMS = 500;
constexpr int kNachfristTicks = static_cast<int>(kNachfristMS / kTickMS);
constexpr size_t kPost = 3;  // replies a mailbox keeps in the model; more repeat what three show
constexpr int kTiefe = 5;
int Tiefe() { return std::getenv("BUCH_TIEFE") ? std::atoi(std::getenv("BUCH_TIEFE")) : kTiefe; }

// What the model knows of each request.
struct Anfrage {
    Sender sender;
    Kanal kanal;
    Anfang anfang;
    int aufgegeben = -1;  // the tick its sender gave up or its routine ended, -1: live
    std::vector<std::string> antworten {};  // what the controller answers it
    bool beendet = false;  // a stop reached the controller after it: a "!" may end it
    bool getaeuscht = false;  // noise or another's reply took its answer's place
    bool nakGesehen = false;  // the link dropped its NAK whole: it knows a final answer follows
    bool gestoppt = false;    // a stop after it was confirmed: its sender must be released
    bool verdorben = false;   // noise cut into its answer
    auto operator<=>(const Anfrage&) const = default;
};

// A reply the controller owes, or bytes on the line, with whose they are.
struct Teil {
    int id;  // request answered, kRauschen for noise
    std::string bytes;
    auto operator<=>(const Teil&) const = default;
};

struct Eintrag {
    int id;  // kRauschen, or the request the reply answers; 0 with bAusruf
    bool bAusruf;
    Sender fuer;  // whose mailbox it went to
    bool nak;
    bool endantwort;  // exactly a final answer
    auto operator<=>(const Eintrag&) const = default;
};

struct Wartend {
    int id = 0;  // its request on this channel, 0: none
    bool wartet = false;
    int frist = 0;  // the tick it gives up at
    bool nachNak = false;  // took a NAK: waits for the final answer
    auto operator<=>(const Wartend&) const = default;
};

struct Welt {
    Buch b;
    int16_t rx = RX_IDLE, rxSaved = RX_IDLE;
    std::string rxText, rxTextMB;
    std::vector<int> rxTag, rxTagMB;  // whose each byte is
    uint8_t ausruf = 0;  // the request whose "!" follows, as the receive thread keeps it
    bool ausrufRauschen = false;  // noise confirmed the stop
    bool ganz = false;            // the reply being carried out is a whole answer
    std::deque<Eintrag> post[2];
    Wartend w[3][2];
    std::vector<Anfrage> anfragen {Anfrage {}};  // by id; 0 is none
    std::deque<Teil> schuld;  // what the controller still owes, in order
    std::deque<Teil> leitung;  // sent by the controller, not yet read
    bool kopf = false;         // the controller takes lines as text
    int jetzt = 0;             // ticks
    std::string weg;           // how it was reached, for the report

    std::string Schluessel() const;
};

std::string gFehler;  // the first invariant broken

// Whether a stopped move's final answer still comes, before or after the
// stop's own answer.
enum class NachStopp { Nie, Davor, Danach };
NachStopp gNachStopp = NachStopp::Nie;
constexpr NachStopp kNachStopp[] = {NachStopp::Nie, NachStopp::Davor, NachStopp::Danach};

void Pruefen(bool ok, const std::string& was) {
    if (!ok && gFehler.empty()) gFehler = was;
}

// ---- the key: ids renumbered, times relative, the request count only as
// far as the "!" compares it

std::string Welt::Schluessel() const {
    std::map<int, int> neu;
    auto nr = [&](int id) {
        if (id <= 0) return id;
        auto [it, ok] = neu.emplace(id, static_cast<int>(neu.size()) + 1);
        return it->second;
    };
    std::string s;
    auto add = [&s](long v) { s += std::to_string(v) + ","; };
    add(static_cast<int>(b.n.zustand));
    add(b.n.sender);
    add(b.n.frist ? (b.n.frist - jetzt * kTickMS) / kTickMS : -99);
    add(ausruf == b.n.nummer);
    add(b.n.gestoppt);
    for (const MBPlatz& p : b.at)
        s += std::to_string(static_cast<int>(p.zustand)) + p.anfang.c + std::to_string(p.sender) +
             (p.nummer == b.n.nummer ? "=" : "<") + (p.frist ? std::to_string((p.frist - jetzt * kTickMS) / kTickMS) : "") + ";";
    add(b.kopf);
    add(rx);
    add(rxSaved);
    s += rxText + "|" + rxTextMB + "|";
    for (int t : rxTag) add(nr(t));
    s += "|";
    for (int t : rxTagMB) add(nr(t));
    for (const auto& p : post)
        for (const Eintrag& e : p) s += "P" + std::to_string(nr(e.id)) + (e.bAusruf ? "!" : "") + std::to_string(e.fuer);
    for (const auto& ws : w)
        for (const Wartend& x : ws) {
            add(nr(x.id));
            add(x.wartet);
            add(x.wartet ? x.frist - jetzt : 0);
            add(x.nachNak);
        }
    for (const auto& q : {schuld, leitung}) {
        s += "#";
        for (const Teil& t : q) s += std::to_string(nr(t.id)) + ":" + t.bytes + ";";
    }
    add(kopf);
    for (const auto& [alt, n] : neu) {
        const Anfrage& a = anfragen[alt];
        s += "A" + std::to_string(n) + a.anfang.c + std::to_string(a.sender) +
             (a.aufgegeben < 0 ? "l" : std::to_string(jetzt - a.aufgegeben)) + (a.beendet ? "b" : "") + (a.getaeuscht ? "t" : "") + (a.nakGesehen ? "n" : "") +
             (a.gestoppt ? "g" : "") + (a.verdorben ? "v" : "");
    }
    return s;
}

// ---- the production assembly, its hand-overs fed into the production book

class Empfaenger : public TEmpfang {
public:
    Welt* w = nullptr;
    int tag = 0;                      // whose the byte being processed is
    std::function<void()> inDerPause;  // what happens while the thread pauses

    void Laden(const Welt& v) {
        iRxState = v.rx;
        iRxStateSaved = v.rxSaved;
        Setzen(szRxBuffer, iRxCount, v.rxText);
        Setzen(szRxBuffer_MB, iRxCount_MB, v.rxTextMB);
    }
    void Sichern(Welt& v) const {
        v.rx = iRxState;
        v.rxSaved = iRxStateSaved;
        v.rxText.assign(szRxBuffer, iRxCount);
        v.rxTextMB.assign(szRxBuffer_MB, iRxCount_MB);
    }
    void Byte(char c);

private:
    template <size_t N>
    static void Setzen(char (&puffer)[N], int32_t& n, const std::string& text) {
        std::memset(puffer, 0, N);
        std::memcpy(puffer, text.data(), text.size());
        n = static_cast<int32_t>(text.size());
    }
    // Whose a reply is: one request's when all its bytes are; whole when it
    // is one of that request's answers as the controller sent it.
    // Noise amid an answer spoils it: what is left of it is noise too.
    int Wessen(const std::vector<int>& tags, const char* text, int32_t n) {
        w->ganz = false;
        const bool bGemischt = std::any_of(tags.begin(), tags.end(), [&](int t) { return t != tags.front(); });
        for (int t : tags)
            if (bGemischt && t > 0) w->anfragen[t].verdorben = true;
        if (bGemischt || tags.empty() || tags.front() <= 0) return kRauschen;
        const Anfrage& a = w->anfragen[tags.front()];
        w->ganz = std::find(a.antworten.begin(), a.antworten.end(), std::string(text, n)) != a.antworten.end();
        return w->ganz || !a.verdorben ? tags.front() : kRauschen;
    }
    void Uebergeben() override;
    bool Uebergeben_MB() override;
    void Uebergeben_Ausruf() override;
    bool AtBeginnt(bool bMitten) override { return w->b.AtBeginnt(bMitten); }
    void ResetPause() override {
        if (!inDerPause) return;
        auto f = inDerPause;
        inDerPause = nullptr;
        f();
    }
};

Empfaenger gRx;

Wirkung Ausfuehren(Welt& w, const Ereignis& e, int id, bool bAusruf = false);

// Keeps the tags beside the bytes: a byte begins a reply, or adds to one.
void Empfaenger::Byte(char c) {
    const int32_t n0 = iRxCount, m0 = iRxCount_MB;
    // An "@" that no "@" reply can begin with is text of the normal reply.
    const bool bAt = c == '@' && (iRxState == RX_COLLECT_MB || AtBeginnt(iRxState == RX_COLLECT && iRxCount > 0));
    const bool bNeu = !bAt && iRxState == RX_IDLE;
    // An "@" cuts off an "@" reply begun: noise spoils what it cut.
    if (bAt && iRxState == RX_COLLECT_MB)
        for (int t : w->rxTagMB)
            if (t > 0 && t != tag) w->anfragen[t].verdorben = true;
    ZeichenVerarbeiten(c);
    if (bNeu) {
        w->rxTag = {tag};
    } else if (!bAt && iRxCount > n0) {
        w->rxTag.push_back(tag);
    }
    if (iRxCount == 0) w->rxTag.clear();  // a NAK: the final answer is a reply of its own
    if (bAt) {
        w->rxTagMB = {tag};
    } else if (iRxCount_MB > m0) {
        w->rxTagMB.push_back(tag);
    }
}

void Empfaenger::Uebergeben() {
    // A lone ACK or NAK is a reply of this byte alone.
    std::vector<int> tags = iRxState == RX_FIRST ? std::vector<int> {} : w->rxTag;
    tags.push_back(tag);
    Ereignis e {Ereignis::Antwort, kNormal};
    e.nak = iRxCount > 0 && szRxBuffer[iRxCount - 1] == 0x15;
    e.endform = Endform(szRxBuffer, static_cast<size_t>(iRxCount));
    e.endantwort = Endantwort(szRxBuffer, static_cast<size_t>(iRxCount));
    e.jetzt = w->jetzt * kTickMS;
    Ausfuehren(*w, e, Wessen(tags, szRxBuffer, iRxCount));
    w->rxTag.clear();
}

bool Empfaenger::Uebergeben_MB() {
    std::vector<int> tags = w->rxTagMB;
    tags.push_back(tag);
    Ereignis e {Ereignis::Antwort, kMB};
    e.anfang = Anfang_von(szRxBuffer_MB);
    e.ack = iRxCount_MB >= 4 && szRxBuffer_MB[3] == 0x06;
    e.jetzt = w->jetzt * kTickMS;
    w->rxTagMB.clear();
    // Carried out like any other step, with the "!" remembered as the thread does.
    const int id = Wessen(tags, szRxBuffer_MB, iRxCount_MB);
    const bool bStopp = id > 0 && w->ganz && w->anfragen[id].antworten == std::vector<std::string> {"@RS\x06"};
    const Z vorher = w->b.n.zustand;
    // Only while a stop of ours is owed its answer can noise pass for it.
    const bool bStoppOffen = std::any_of(std::begin(w->b.at), std::end(w->b.at), [](const MBPlatz& p) {
        return p.anfang == Erwarteter_Anfang("@S\r") && (p.zustand == Z::Gebucht || p.zustand == Z::Verwaist);
    });
    const Wirkung f = Ausfuehren(*w, e, id);
    // Noise exactly like a stop's answer freed a request given up on: its
    // late answer, should it come yet, cannot be told from a later one's.
    const bool bGleich = bStoppOffen && std::string(szRxBuffer_MB, iRxCount_MB) == "@RS\x06";
    if (bGleich && !bStopp && (vorher == Z::Verwaist || vorher == Z::VerwaistOffen) && w->b.n.zustand == Z::Frei)
        for (Anfrage& a : w->anfragen)
            if (a.kanal == kNormal && a.aufgegeben >= 0) a.getaeuscht = true;
    if (f.bAusruf) w->ausruf = f.nummer;
    // The stop's own answer, taken as its answer: every normal request sent
    // before it is over.
    const bool bAngenommen = f.art == Wirkung::Zustellen && w->w[f.sender][kMB].id == id;
    for (int i = 1; bStopp && bAngenommen && i < id; ++i)
        if (w->anfragen[i].kanal == kNormal) w->anfragen[i].gestoppt = true;
    // Noise exactly like our stop's answer, or the late answer of an
    // earlier stop, confirms it as well as its own answer would.
    w->ausrufRauschen = f.bAusruf && bGleich && (id == kRauschen || id != w->w[f.sender][kMB].id);
    return f.bAusruf;
}

void Empfaenger::Uebergeben_Ausruf() {
    Ereignis e {Ereignis::Ausruf, kNormal};
    e.nummer = w->ausruf;
    e.jetzt = w->jetzt * kTickMS;
    Ausfuehren(*w, e, w->ausrufRauschen ? kRauschen : 0, true);
    w->rxTag.clear();
}

bool Wartet_auf(const Welt& w, int id) {
    if (id <= 0) return false;
    const Anfrage& a = w.anfragen[id];
    const Wartend& x = w.w[a.sender][a.kanal];
    return x.id == id && x.wartet;
}

// Noise shaped like the answer, or the late answer of an earlier request
// that expected the same beginning, took the answer's place in the mailbox:
// the bytes cannot tell them apart.
bool Verdraengt(const Welt& w, int id) {
    if (id <= 0) return false;
    const Anfrage& a = w.anfragen[id];
    for (const Eintrag& e : w.post[a.kanal]) {
        if (e.fuer != a.sender) continue;
        if (e.id == kRauschen) return true;
        if (e.id > 0 && e.id != id && w.anfragen[e.id].aufgegeben >= 0 && w.anfragen[e.id].anfang == a.anfang)
            return true;
    }
    return false;
}

// A stop's "!" released the request's sender already: a stopped job's final
// answer after it is nobody's.
bool Ausruf_liegt(const Welt& w, int id) {
    if (id <= 0) return false;
    const Anfrage& a = w.anfragen[id];
    return a.beendet && std::any_of(w.post[kNormal].begin(), w.post[kNormal].end(),
                                    [&](const Eintrag& e) { return e.bAusruf && e.fuer == a.sender; });
}

// Bytes on the line that the controller sent for someone who still waits.
void Leitung_verlieren(Welt& w, const char* wie) {
    for (const Teil& t : w.leitung) {
        Pruefen(!Wartet_auf(w, t.id) || Verdraengt(w, t.id), std::string("(b) an answer lost: ") + wie);
        // What is left of an answer cut by the purge is noise.
        if (t.id > 0) w.anfragen[t.id].verdorben = true;
    }
    w.leitung.clear();
}

void Post_verlieren(Welt& w, Kanal k, Sender nur, bool bLeitungWeg) {
    for (auto it = w.post[k].begin(); it != w.post[k].end();) {
        if (nur != kKeiner && it->fuer != nur) {
            ++it;
            continue;
        }
        Pruefen(bLeitungWeg || !Wartet_auf(w, it->id) || it->bAusruf,
                "(b) an answer in the mailbox dropped while its sender waits");
        it = w.post[k].erase(it);
    }
}

// Carries out one step of the book, as the receive thread does, and checks
// every reply's way by whose it truly is.
Wirkung Ausfuehren(Welt& w, const Ereignis& e, int id, bool bAusruf) {
    const Schritt_t s = Schritt(w.b, e);
    const Wirkung& f = s.wirkung;
    // A NAK amid another request's wait for its final answer is noise to the link.
    const bool bAmidFinal = w.b.n.zustand == Z::Zwischen || w.b.n.zustand == Z::Offen;
    w.b = s.buch;
    switch (f.art) {
    case Wirkung::Zustellen: {
        const Sender fuer = f.kanal == kMB ? f.sender : w.b.n.sender;
        if (!bAusruf && id > 0) {
            const Anfrage& a = w.anfragen[id];
            const bool ununterscheidbar = a.aufgegeben >= 0 && f.kanal == kMB;
            Pruefen(a.sender == fuer || ununterscheidbar, "(a) a reply put into another sender's mailbox");
        }
        // Something else took the place of its receiver's answer.
        const int eigene = fuer != kKeiner ? w.w[fuer][f.kanal].id : 0;
        if (eigene > 0 && id != eigene && (!bAusruf || id == kRauschen)) w.anfragen[eigene].getaeuscht = true;
        if (w.post[f.kanal].size() < kPost) w.post[f.kanal].push_back({id, bAusruf, fuer, e.nak, e.endantwort || bAusruf});
        break;
    }
    case Wirkung::Verwerfen:
        // A NAK dropped while its request awaits its final answer (noise
        // took the NAK's place) costs nothing: the wait goes on.
        Pruefen(!w.ganz || !Wartet_auf(w, id) || Verdraengt(w, id) || Ausruf_liegt(w, id) || (e.nak && bAmidFinal),
                "(b) an answer dropped while its sender waits");
        // A NAK the link dropped as nobody's: it knows a final answer follows.
        if (id > 0 && w.ganz && e.nak && !bAmidFinal) w.anfragen[id].nakGesehen = true;
        // Noise dropped as the late answer of a request given up on: that
        // answer, should it come yet, cannot be told from a later one's.
        if (f.bVerspaetet && id <= 0 && f.kanal == kNormal)
            for (Anfrage& a : w.anfragen) a.nakGesehen = false;  // noise taken as the final answer
        if (f.bVerspaetet && id <= 0)
            for (size_t i = w.anfragen.size(); i-- > 1;) {
                Anfrage& a = w.anfragen[i];
                if (a.kanal != f.kanal || a.aufgegeben < 0 || a.getaeuscht) continue;
                if (f.kanal == kMB && !Passt(e.anfang, a.anfang)) continue;
                a.getaeuscht = true;
                break;
            }
        break;
    case Wirkung::Postfach_leeren: Post_verlieren(w, f.kanal, f.kanal == kMB ? f.sender : kKeiner, false); break;
    case Wirkung::Alles_leeren:
        Post_verlieren(w, kNormal, kKeiner, true);
        Post_verlieren(w, kMB, kKeiner, true);
        break;
    default: break;
    }
    return f;
}

// ---- the senders

void Feed(Welt& w, const std::string& bytes, int tag) {
    gRx.w = &w;
    gRx.Laden(w);
    gRx.tag = tag;
    for (char c : bytes) gRx.Byte(c);
    gRx.Sichern(w);
}

int Neue_Anfrage(Welt& w, Sender s, Kanal k, const char* text) {
    w.anfragen.push_back({s, k, Erwarteter_Anfang(text)});
    return static_cast<int>(w.anfragen.size()) - 1;
}

// The controller takes a request: what it will answer, in order.
void Controller(Welt& w, int id, const std::string& anfrage) {
    if (w.kopf && anfrage != "T1") return;  // header text: stored, not answered
    std::vector<std::string> antworten;
    if (anfrage == "T1") {
        w.kopf = false;
        antworten = {"\x06"};
    } else if (anfrage == "L1") {
        antworten = {"\x15", "\x06"};
    } else if (anfrage == "@V") {
        antworten = {"@V1\x06"};
    } else if (anfrage == "@S") {
        // A stop ends every normal request sent before it: what the
        // controller still owes them is never sent, but for a stopped
        // move's final answer where this controller still sends it.
        for (Anfrage& a : w.anfragen)
            if (a.kanal == kNormal) a.beendet = true;
        std::deque<Teil> finale;
        std::erase_if(w.schuld, [&](const Teil& t) {
            if (t.id <= 0 || w.anfragen[t.id].kanal != kNormal) return false;
            const bool bFinal = gNachStopp != NachStopp::Nie && w.anfragen[t.id].antworten.size() == 2 && t.bytes == "\x06";
            if (bFinal && gNachStopp == NachStopp::Danach) finale.push_back(t);
            return !(bFinal && gNachStopp == NachStopp::Davor);
        });
        antworten = {"@RS\x06"};
        for (const std::string& a : antworten) w.schuld.push_back({id, a});
        w.schuld.insert(w.schuld.end(), finale.begin(), finale.end());
        w.anfragen[id].antworten = antworten;
        return;
    }
    for (const std::string& a : antworten) w.schuld.push_back({id, a});
    w.anfragen[id].antworten = antworten;
}

// A request passes its gate, is written (purging what the book allows) and
// reaches the controller; its sender waits for the answer.
void Senden(Welt& w, Sender s, const std::string& anfrage, bool bVerloren = false) {
    const Kanal k = anfrage[0] == '@' ? kMB : kNormal;
    Ereignis e {Ereignis::Gesendet, k, s};
    e.anfang = Erwarteter_Anfang((anfrage + "\r").c_str());
    e.jetzt = w.jetzt * kTickMS;
    const Schritt_t probe = Schritt(w.b, e);
    if (!probe.wirkung.bZugelassen) return;
    const bool bWeg = w.b.Weg();
    const int id = bWeg ? 0 : Neue_Anfrage(w, s, k, (anfrage + "\r").c_str());
    // Sending anew, the sender no longer waits for its earlier request.
    Wartend& x = w.w[s][k];
    if (x.id > 0 && w.anfragen[x.id].aufgegeben < 0) w.anfragen[x.id].aufgegeben = w.jetzt;
    x = bWeg ? Wartend {} : Wartend {id, true, w.jetzt + 1};
    gRx.w = &w;
    gRx.Laden(w);
    Ausfuehren(w, e, 0);
    if (probe.wirkung.bTeilVerwerfen && gRx.Teil_verwerfen(w.b.MB_TeilErwartet(gRx.szRxBuffer_MB))) {
        // What was dropped is spoilt if noise was in it or had taken its
        // answer's place: the bytes could not tell it from noise.
        for (const auto* tags : {&w.rxTag, &w.rxTagMB})
            for (int t : *tags)
                if (t > 0 && (w.anfragen[t].getaeuscht ||
                              std::any_of(tags->begin(), tags->end(), [t](int u) { return u != t; })))
                    w.anfragen[t].verdorben = true;
    }
    gRx.Sichern(w);
    if (w.b.Purge_erlaubt(k, s)) Leitung_verlieren(w, "purged by a send");
    if (!w.b.Weg() && !bVerloren) Controller(w, id, anfrage);
}

void Kopfzeile(Welt& w) {
    Ereignis e {Ereignis::GesendetOhneAntwort, kNormal, kW};
    const Schritt_t probe = Schritt(w.b, e);
    if (!probe.wirkung.bZugelassen) return;
    Ausfuehren(w, e, 0);
    if (w.b.Purge_erlaubt(kNormal, kW)) Leitung_verlieren(w, "purged by a header line");
    if (!w.b.Weg()) w.kopf = true;
}

// The worker will not wait for what it is owed (the connection test, a
// header line): owed to nobody.
void Freigeben(Welt& w) {
    for (Kanal k : {kNormal, kMB}) {
        Wartend& x = w.w[kW][k];
        // Its answer is owed to nobody: the next request may take it as its own.
        if (x.id > 0) w.anfragen[x.id].getaeuscht = true;
        if (x.id > 0 && w.anfragen[x.id].aufgegeben < 0) w.anfragen[x.id].aufgegeben = w.jetzt;
        x = {};
        Ausfuehren(w, {Ereignis::Freigeben, k, kW}, 0);
    }
}

// A sender's routine is over: what it is still owed is stale. (The model
// lets an aborted header end there for the controller too.)
void Ende(Welt& w, Sender s) {
    if (s == kW) w.kopf = false;
    for (Kanal k : {kNormal, kMB}) {
        Wartend& x = w.w[s][k];
        if (x.id > 0 && w.anfragen[x.id].aufgegeben < 0) w.anfragen[x.id].aufgegeben = w.jetzt;
        x = {};
        Ereignis e {Ereignis::Abgebrochen, k, s};
        e.jetzt = w.jetzt * kTickMS;
        Ausfuehren(w, e, 0);
    }
}

// A waiting sender takes its reply: (a) it must answer its own request.
void Nehmen(Welt& w, Sender s, Kanal k) {
    Wartend& x = w.w[s][k];
    if (!x.wartet) return;
    const auto mein = std::find_if(w.post[k].begin(), w.post[k].end(), [s](const Eintrag& e) { return e.fuer == s; });
    if (mein == w.post[k].end()) return;
    const Schritt_t st = Schritt(w.b, {Ereignis::Genommen, k, s});
    if (st.wirkung.art != Wirkung::Uebergeben) return;
    w.b = st.buch;
    const Eintrag e = *mein;
    w.post[k].erase(mein);
    const Anfrage& a = w.anfragen[x.id];
    if (e.bAusruf) {
        Pruefen(a.beendet || e.id == kRauschen, "(a) a \"!\" for a request no stop ended");
    } else if (e.id > 0) {
        // Indistinguishable: the late answer of a query that expected the
        // same beginning, or of a request whose answer noise took before.
        const Anfrage& von = w.anfragen[e.id];
        const bool gleich_begonnen = k == kMB && von.aufgegeben >= 0 && von.anfang == a.anfang;
        // A move's final answer after its NAK came is known to follow.
        const bool bEnde = von.antworten.size() == 2 && !e.nak;
        const bool getaeuscht = von.getaeuscht && !(bEnde && von.nakGesehen);
        Pruefen(e.id == x.id || gleich_begonnen || getaeuscht, "(a) a sender took the answer to another request");
    }
    // After its NAK a move's wait ends only with what a final answer can be.
    if (x.nachNak && k == kNormal) Pruefen(e.nak || e.endantwort, "(a) noise ended the wait for a final answer");
    if (e.nak && !e.bAusruf && !x.nachNak) {
        x.frist = w.jetzt + 2;  // a move: the final answer follows, with a longer limit
        x.nachNak = true;
        return;
    }
    x.wartet = false;
}

// Time passes: waits past their limit give up, and the worker's routine
// ends with the error; answers later than their request's limit plus the
// margin are lost: the bytes could not tell them from a later request's.
void Tick(Welt& w) {
    if (!w.leitung.empty()) return;  // the receive thread reads at once
    ++w.jetzt;
    for (Sender s : {kW, kF})
        for (Kanal k : {kNormal, kMB}) {
            Wartend& x = w.w[s][k];
            if (!x.wartet || x.frist > w.jetzt) continue;
            // What lies in its mailbox it takes before its limit.
            if (std::any_of(w.post[k].begin(), w.post[k].end(), [s](const Eintrag& e) { return e.fuer == s; })) continue;
            Pruefen(!w.anfragen[x.id].gestoppt, "(b) a confirmed stop did not release the waiting sender");
            x.wartet = false;
            w.anfragen[x.id].aufgegeben = w.jetzt;
            Ereignis e {Ereignis::Aufgegeben, k, s};
            e.jetzt = w.jetzt * kTickMS;
            Ausfuehren(w, e, 0);
            Ende(w, s);  // the routine ends with the error
        }
    for (auto it = w.schuld.begin(); it != w.schuld.end();) {
        const int auf = it->id > 0 ? w.anfragen[it->id].aufgegeben : -1;
        if (auf >= 0 && w.jetzt - auf >= kNachfristTicks) {
            it = w.schuld.erase(it);
        } else {
            ++it;
        }
    }
    Ereignis e {Ereignis::Uhr};
    e.jetzt = w.jetzt * kTickMS;
    Ausfuehren(w, e, 0);
}

// The receive thread reads what lies on the line; `inDerPause` runs while it
// pauses between a confirmed stop and its "!".
void Lesen(Welt& w, std::function<void(Welt&)> inDerPause = nullptr) {
    std::deque<Teil> teile;
    teile.swap(w.leitung);
    gRx.inDerPause = inDerPause ? std::function<void()>([&w, inDerPause] {
        gRx.Sichern(w);
        inDerPause(w);
        gRx.Laden(w);
    })
                                : nullptr;
    for (const Teil& t : teile) Feed(w, t.bytes, t.id);
    gRx.inDerPause = nullptr;
}

// The controller sends its next answer: whole, split (the rest stays owed),
// not at all, or twice (the copy answers nothing: to the link it is noise
// shaped like the answer).
void Schicken(Welt& w, int wie) {
    if (w.schuld.empty() || w.b.Weg()) return;
    Teil t = w.schuld.front();
    w.schuld.pop_front();
    if (wie == 2) return;  // lost
    if (wie == 3) w.leitung.push_back(t), t.id = kRauschen;
    if (wie == 1 && t.bytes.size() > 1) {
        const size_t h = t.bytes.size() / 2;
        w.schuld.push_front({t.id, t.bytes.substr(h)});
        t.bytes.resize(h);
    }
    w.leitung.push_back(t);
}

void Leitung_weg(Welt& w) {
    w.leitung.clear();
    w.schuld.clear();
    w.kopf = false;
    for (auto& ws : w.w)
        for (Wartend& x : ws) {
            if (x.id > 0 && w.anfragen[x.id].aufgegeben < 0) w.anfragen[x.id].aufgegeben = w.jetzt;
            x = {};  // the waits fail at once
        }
    Ausfuehren(w, {Ereignis::LeitungWeg}, 0);
}

struct Schritt_def {
    std::string name;
    std::function<void(Welt&)> tun;
};

std::vector<Schritt_def> Alphabet() {
    std::vector<Schritt_def> a;
    a.push_back({"W sends T1", [](Welt& w) { Senden(w, kW, "T1"); }});
    a.push_back({"W sends a move", [](Welt& w) { Senden(w, kW, "L1"); }});
    a.push_back({"W sends @V", [](Welt& w) { Senden(w, kW, "@V"); }});
    a.push_back({"F sends @S", [](Welt& w) { Senden(w, kF, "@S"); }});
    a.push_back({"F sends @S, lost on the line", [](Welt& w) { Senden(w, kF, "@S", true); }});
    a.push_back({"W header line", Kopfzeile});
    a.push_back({"W takes N", [](Welt& w) { Nehmen(w, kW, kNormal); }});
    a.push_back({"W takes @", [](Welt& w) { Nehmen(w, kW, kMB); }});
    a.push_back({"F takes @", [](Welt& w) { Nehmen(w, kF, kMB); }});
    a.push_back({"W routine over", [](Welt& w) { Ende(w, kW); }});
    a.push_back({"W releases (no wait)", Freigeben});
    a.push_back({"tick", Tick});
    a.push_back({"controller answers", [](Welt& w) { Schicken(w, 0); }});
    a.push_back({"controller answers split", [](Welt& w) { Schicken(w, 1); }});
    a.push_back({"answer lost", [](Welt& w) { Schicken(w, 2); }});
    a.push_back({"answer duplicated", [](Welt& w) { Schicken(w, 3); }});
    a.push_back({"read", [](Welt& w) { Lesen(w); }});
    a.push_back({"read, W releases and sends T1 in the reset pause", [](Welt& w) {
                     Lesen(w, [](Welt& v) {
                         Freigeben(v);
                         Senden(v, kW, "T1");
                     });
                 }});
    a.push_back({"line gone", Leitung_weg});
    a.push_back({"line back", [](Welt& w) { Ausfuehren(w, {Ereignis::LeitungWieder}, 0); }});
    const char* rauschen[] = {"x\r", "\x06", "\x15", "@RS\x06", "@RS\x07", "@V9\x06", "xq", "@"};
    for (const char* r : rauschen)
        a.push_back({std::string("noise ") + r, [r](Welt& w) { w.leitung.push_back({kRauschen, r}); }});
    return a;
}

// (c) Stop passes its gate at once, but while a program's header goes out.
void Stopp_pruefen(const Welt& w) {
    if (w.b.kopf != kKeiner) return;
    Ereignis e {Ereignis::Gesendet, kMB, kF};
    e.anfang = Erwarteter_Anfang("@S\r");
    Pruefen(Schritt(w.b, e).wirkung.bZugelassen, "(c) Stop held at its gate");
}

// The faults stop: the controller sends what it owes, the senders take what
// is theirs, time passes beyond every limit and margin, the routines end;
// a move's final answer lost is ended by Stop, as the operator does.
void Beruhigen(Welt& w) {
    for (int runde = 0; runde < kNachfristTicks + 4; ++runde) {
        while (!w.schuld.empty()) Schicken(w, 0);
        Lesen(w);
        // A reply still being assembled is finished by the next end character.
        if (w.rx == RX_COLLECT_MB) Feed(w, "\x07", kRauschen);
        if (w.rx == RX_COLLECT && !w.rxText.empty()) Feed(w, "\r", kRauschen);
        for (Sender s : {kW, kF})
            for (Kanal k : {kNormal, kMB})
                for (int i = 0; i < 3; ++i) Nehmen(w, s, k);
        Tick(w);
    }
    Ende(w, kW);
    Ende(w, kF);
    Tick(w);  // a routine that ended on a reply waits for a quiet line
    if (w.b.n.zustand == Z::VerwaistOffen && w.b.n.frist == 0) {
        Senden(w, kF, "@S");
        while (!w.schuld.empty()) Schicken(w, 0);
        Lesen(w);
        Nehmen(w, kF, kMB);
        Ende(w, kF);
    }
}

// (d) Once the faults stop, a normal request gets through without "Ini".
std::string Lebendigkeit(const Welt& w0) {
    Welt w = w0;
    if (w.b.Weg()) Ausfuehren(w, {Ereignis::LeitungWieder}, 0);
    Beruhigen(w);
    if (!gFehler.empty()) return gFehler + " (while calming)";
    if (!w.b.NormalOffen()) return std::string("(d) the normal gate stays shut: ") + Name(w.b.n.zustand);
    Buch leer;
    leer.n.nummer = w.b.n.nummer;
    if (!(w.b == leer)) return "(d) left only by \"Ini\": " + w.Schluessel();
    if (!w.post[0].empty() || !w.post[1].empty()) return "(d) a mailbox keeps replies";
    Senden(w, kW, "T1");
    const int id = w.w[kW][kNormal].id;
    while (!w.schuld.empty()) Schicken(w, 0);
    Lesen(w);
    Nehmen(w, kW, kNormal);
    if (w.w[kW][kNormal].wartet || id == 0) return "(d) a normal request is not answered";
    return gFehler;
}

struct Ergebnis {
    size_t zustaende = 0;
    std::string fehler;
};

// Breadth first over all event sequences; each distinct state is checked once.
Ergebnis Erkunden(int tiefe) {
    gFehler.clear();
    const auto alphabet = Alphabet();
    std::map<std::string, Welt> ebene;
    std::set<std::string> gesehen;
    Welt start;
    ebene[start.Schluessel()] = start;
    gesehen.insert(start.Schluessel());
    Ergebnis r;
    for (int d = 0; d < tiefe && r.fehler.empty(); ++d) {
        std::map<std::string, Welt> naechste;
        for (const auto& [schluessel, welt] : ebene) {
            for (const Schritt_def& def : alphabet) {
                Welt w = welt;
                def.tun(w);
                w.weg += " > " + def.name;
                const std::string k = w.Schluessel();
                if (!gesehen.insert(k).second) continue;
                if (gFehler.empty()) Stopp_pruefen(w);
                const std::string fehler = gFehler.empty() ? Lebendigkeit(w) : gFehler;
                if (!fehler.empty()) {
                    r.fehler = fehler + " (reached by" + w.weg + ")";
                    break;
                }
                naechste.emplace(k, std::move(w));
            }
            if (!r.fehler.empty()) break;
        }
        ebene = std::move(naechste);
        if (std::getenv("BUCH_VERBOSE")) std::printf("depth %d: %zu states\n", d + 1, gesehen.size());
    }
    r.zustaende = gesehen.size();
    return r;
}

// Each one-point fault of the core, switched on at run time: the check must
// find a broken invariant in every one.
const char* const kMutantenNamen[kMutanten + 1] = {
    "",
    "a NAK to a request goes to Zugestellt, not Zwischen",
    "the normal gate opens in Offen, one state early",
    "an \"@\" reply matches by its first character only",
    "a send purges though an \"@\" request is owed",
    "an \"@\" send purges though a normal request is owed",
    "a given-up \"@\" request is forgotten at once",
    "a confirmed stop leaves a given-up normal request blocking",
    "the \"!\" goes to any open request, not the one it was made for",
    "an \"@RS\" ending in BEL confirms a stop",
    "an \"@RS\" nobody asked for confirms a stop",
    "a normal request given up on frees the channel at once",
    "the margin after giving up is not waited for",
    "a NAK nobody asked for is dropped without holding the channel",
    "Stop waits while a normal request awaits its first answer",
    "the line back keeps the book as gone",
    "a begun \"@\" reply is always dropped at a normal send",
    "a stop also ends requests sent after it",
    "taking a NAK goes to Zugestellt, not Offen",
    "any reply ends the wait for a final answer",
};

TEST(Buch, TheCheckKillsEveryMutant) {
    // Fewer than 5 events deep some mutants live on: the check runs its
    // mutants only at full depth (the sanitizer builds run it shallower).
    const char* tiefe = std::getenv("BUCH_TIEFE");
    if (std::getenv("BUCH_OHNE_MUTANTEN") || (tiefe && std::atoi(tiefe) < 5))
        GTEST_SKIP() << "mutants are checked in the plain build";
    std::printf("| # | mutant | outcome |\n|---|---|---|\n");
    int ueberlebt = 0;
    for (int m = 1; m <= kMutanten; ++m) {
        Mutante_setzen(m);
        Ergebnis r;
        for (NachStopp n : kNachStopp) {
            gNachStopp = n;
            if (r.fehler.empty()) r = Erkunden(Tiefe());
        }
        gNachStopp = NachStopp::Nie;
        Mutante_setzen(0);
        ueberlebt += r.fehler.empty();
        std::printf("| %d | %s | %s |\n", m, kMutantenNamen[m], r.fehler.empty() ? "survived" : r.fehler.c_str());
    }
    EXPECT_EQ(ueberlebt, 0);
}

TEST(Buch, EveryStateKeepsRepliesWithTheirRequests) {
    // BUCH_MUTANTE=n: the check on one mutant alone.
    if (std::getenv("BUCH_MUTANTE")) Mutante_setzen(std::atoi(std::getenv("BUCH_MUTANTE")));
    for (NachStopp n : kNachStopp) {
        gNachStopp = n;
        const Ergebnis r = Erkunden(Tiefe());
        std::printf("book of exchanges, stopped final answer %d: %zu distinct states within %d events\n",
                    static_cast<int>(n), r.zustaende, Tiefe());
        EXPECT_EQ(r.fehler, "");
    }
    gNachStopp = NachStopp::Nie;
    Mutante_setzen(0);
}

}  // namespace
