// Every sequence of events the link's book of exchanges can meet, up to a
// depth, together with the real reply assembly: senders on both channels,
// the controller's answers and noise of every shape. For every state reached
// it checks that replies reach only their own sender, once, and that Stop
// and normal requests always get through again without "Ini".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/keloCOMv1_buch.h"
#include "link/keloCOMv1_empfang.h"

namespace {

using namespace buch;
using Z = Zustand;

constexpr int kTiefe = 8;
int Tiefe() { return std::getenv("BUCH_TIEFE") ? std::atoi(std::getenv("BUCH_TIEFE")) : kTiefe; }
constexpr Sender kWorker = 1, kFenster = 2;
// Further replies kept in a mailbox: more only repeat what three show.
constexpr size_t kPost = 3;

// One reply in a mailbox, as the checker sees it: whose exchange it was
// delivered to, and whether that sender has sent anew since.
struct Eintrag {
    Sender sender;
    bool alt;
    std::string text;
    auto operator<=>(const Eintrag&) const = default;
};

struct Welt {
    Buch b;
    int16_t rx = RX_IDLE, rxSaved = RX_IDLE;
    std::string rxText, rxTextMB;
    std::deque<Eintrag> post[2];
    bool beendet[3][2] = {};  // per sender and channel: its exchange is over for it
    std::vector<Eintrag> genommen;  // what the last step handed over

    std::string Schluessel() const;
};

// What of the collected bytes can still change what the book is told: that
// there are some, and how an "@" reply begins. Replies in a mailbox are
// checked by whose they are, not by their text.
std::string Form(const std::string& t, size_t n) { return t.empty() ? "" : "+" + t.substr(0, n); }

std::string Welt::Schluessel() const {
    std::string s;
    for (const Kanalbuch& k : b.k)
        s += std::to_string(static_cast<int>(k.zustand)) + "," + std::to_string(k.sender) + "," + k.erwartet.c + "," +
             (k.bVerwaist ? "v" : "-") + k.verwaist.c + ";";
    s += std::to_string(rx) + "/" + std::to_string(rxSaved) + "/" + Form(rxText, 0) + "/" + Form(rxTextMB, 3) + "/";
    for (const auto& p : post)
        for (const Eintrag& e : p) s += std::to_string(e.sender) + (e.alt ? "a" : "n") + "|";
    for (const auto& s1 : beendet) s += std::to_string(s1[0]) + std::to_string(s1[1]);
    return s;
}

std::string gFehler;  // the first invariant broken

void Pruefen(bool ok, const std::string& was) {
    if (!ok && gFehler.empty()) gFehler = was;
}

// The real assembly, its hand-overs fed straight into the book.
class Empfaenger : public TEmpfang {
public:
    Welt* w = nullptr;
    void Laden(const Welt& v) {
        iRxState = v.rx;
        iRxStateSaved = v.rxSaved;
        Setzen(szRxBuffer, iRxCount, v.rxText);
        Setzen(szRxBuffer_MB, iRxCount_MB, v.rxTextMB);
    }
    void Sichern(Welt& v) const {
        v.rx = iRxState;
        v.rxSaved = iRxStateSaved;
        v.rxText = szRxBuffer;
        v.rxTextMB = szRxBuffer_MB;
    }

private:
    template <size_t N>
    static void Setzen(char (&puffer)[N], int32_t& n, const std::string& text) {
        std::memset(puffer, 0, N);
        std::memcpy(puffer, text.data(), text.size());
        n = static_cast<int32_t>(text.size());
    }
    void Uebergeben() override;
    void Uebergeben_MB() override;
    void ResetPause() override {}
};

void Ausfuehren(Welt& w, const Ereignis& e, const char* antwort);

void Empfaenger::Uebergeben() {
    Ereignis e {Ereignis::Antwort, kNormal};
    const size_t n = std::strlen(szRxBuffer);
    e.nak = n && szRxBuffer[n - 1] == 0x15;
    Ausfuehren(*w, e, szRxBuffer);
}

void Empfaenger::Uebergeben_MB() {
    Ereignis e {Ereignis::Antwort, kAt};
    e.anfang = Anfang_von(szRxBuffer_MB);
    Ausfuehren(*w, e, szRxBuffer_MB);
}

Empfaenger gRx;

bool Post_erlaubt(Z z, size_t n, Kanal k) {
    switch (z) {
    case Z::Zugestellt: return k == kAt ? n == 1 : n >= 1;
    case Z::Zwischen: return n >= 1;
    case Z::ZwischenEnde: return n >= 2;
    case Z::Nachlauf: return true;
    default: return n == 0;
    }
}

// One step of the book, its effect carried out on the mailboxes as the
// receive thread does, and checked.
void Ausfuehren(Welt& w, const Ereignis& e, const char* antwort) {
    const Schritt_t s = Schritt(w.b, e);
    const Wirkung& f = s.wirkung;
    w.b = s.buch;
    if (e.art == Ereignis::Gesendet && f.bZugelassen && !w.b.Weg()) {
        for (Eintrag& x : w.post[e.kanal])
            if (x.sender == e.sender) x.alt = true;
        w.beendet[e.sender][e.kanal] = false;
    }
    if ((e.art == Ereignis::Abgebrochen || e.art == Ereignis::Freigeben) && e.sender)
        w.beendet[e.sender][e.kanal] = true;
    if (f.bTeilVerwerfen) gRx.Teil_verwerfen(w.b.k[kAt].zustand == Z::Gebucht);
    switch (f.art) {
    case Wirkung::Zustellen: {
        const Sender owner = w.b.k[f.kanal].sender;
        Pruefen(owner != kKeiner && !w.beendet[owner][f.kanal], "delivered to an exchange that is over");
        if (!f.bZusatz || w.post[f.kanal].size() < kPost) w.post[f.kanal].push_back({owner, false, antwort});
        break;
    }
    case Wirkung::Uebergeben: {
        Pruefen(!w.post[f.kanal].empty(), "handed over from an empty mailbox");
        if (w.post[f.kanal].empty()) break;
        const Eintrag x = w.post[f.kanal].front();
        w.post[f.kanal].pop_front();
        Pruefen(x.sender == e.sender && !x.alt && !w.beendet[e.sender][f.kanal],
                "a reply handed to a sender it does not answer");
        w.genommen.push_back(x);
        break;
    }
    case Wirkung::Postfach_leeren: w.post[f.kanal].clear(); break;
    case Wirkung::Alles_leeren:
        w.post[0].clear();
        w.post[1].clear();
        break;
    default: break;
    }
    if (e.art == Ereignis::LeitungWeg || e.art == Ereignis::Neuaufbau)
        for (auto& s1 : w.beendet) s1[0] = s1[1] = true;
    for (Kanal k : {kNormal, kAt})
        Pruefen(Post_erlaubt(w.b.k[k].zustand, w.post[k].size(), k),
                std::string("mailbox does not match the state ") + Name(w.b.k[k].zustand));
}

// The controller's bytes, through the real assembly.
void Bytes(Welt& w, const std::string& bytes) {
    gRx.w = &w;
    gRx.Laden(w);
    for (char c : bytes) gRx.ZeichenVerarbeiten(c);
    gRx.Sichern(w);
}

// A sender takes from its mailbox as the link does: only when something is there.
void Nehmen(Welt& w, Kanal k, Sender s) {
    if (!w.post[k].empty()) Ausfuehren(w, {Ereignis::Genommen, k, s}, nullptr);
}

void Senden(Welt& w, Kanal k, Sender s, const char* anfrage) {
    Ereignis e {Ereignis::Gesendet, k, s};
    e.anfang = Erwarteter_Anfang(anfrage);
    gRx.w = &w;
    gRx.Laden(w);
    Ausfuehren(w, e, nullptr);
    gRx.Sichern(w);
}

struct Schritt_def {
    std::string name;
    void (*tun)(Welt&, const Schritt_def&);
    Ereignis::Art art;
    Kanal kanal;
    Sender sender;
    std::string text;
};

void Ereignis_tun(Welt& w, const Schritt_def& d) {
    if (d.art == Ereignis::Genommen) return Nehmen(w, d.kanal, d.sender);
    Ausfuehren(w, {d.art, d.kanal, d.sender}, nullptr);
}
void Senden_tun(Welt& w, const Schritt_def& d) { Senden(w, d.kanal, d.sender, d.text.c_str()); }
void Bytes_tun(Welt& w, const Schritt_def& d) { Bytes(w, d.text); }

std::vector<Schritt_def> Alphabet() {
    std::vector<Schritt_def> a;
    const std::pair<Sender, const char*> sender[] = {{kWorker, "W"}, {kFenster, "F"}};
    for (auto [s, n] : sender) {
        a.push_back({std::string("send N ") + n, Senden_tun, Ereignis::Gesendet, kNormal, s, "T1\r"});
        a.push_back({std::string("send @ ") + n, Senden_tun, Ereignis::Gesendet, kAt, s,
                     s == kFenster ? "@S\r" : "@V\r"});
        a.push_back({std::string("release ") + n, Ereignis_tun, Ereignis::Freigeben, kNormal, s, ""});
        a.push_back({std::string("routine over ") + n, Ereignis_tun, Ereignis::Abgebrochen, kNormal, s, ""});
        a.push_back({std::string("routine over @ ") + n, Ereignis_tun, Ereignis::Abgebrochen, kAt, s, ""});
        for (Kanal k : {kNormal, kAt}) {
            const std::string kn = k == kAt ? " @ " : " N ";
            a.push_back({"wait" + kn + n, Ereignis_tun, Ereignis::WartenBeginnt, k, s, ""});
            a.push_back({"take" + kn + n, Ereignis_tun, Ereignis::Genommen, k, s, ""});
            a.push_back({"give up" + kn + n, Ereignis_tun, Ereignis::Aufgegeben, k, s, ""});
        }
    }
    a.push_back({"header line W", Ereignis_tun, Ereignis::GesendetOhneAntwort, kNormal, kWorker, ""});
    a.push_back({"reset confirmed", Ereignis_tun, Ereignis::ResetBestaetigt, kAt, 0, ""});
    a.push_back({"line gone", Ereignis_tun, Ereignis::LeitungWeg, kNormal, 0, ""});
    a.push_back({"line back", Ereignis_tun, Ereignis::LeitungWieder, kNormal, 0, ""});
    a.push_back({"set up again", Ereignis_tun, Ereignis::Neuaufbau, kNormal, 0, ""});
    // "@" replies ending in ACK or BEL, normal ones ending in CR, ACK, NAK or
    // BEL, and bytes without an end; "!" is what "@RS" makes of an open reply.
    const char* bytes[] = {"@RS\x06", "@V1\x07", "@X9\x06", "x\r", "\x06", "\x15", "E6\x07", "@Q", "xq"};
    for (const char* b : bytes) a.push_back({std::string("bytes ") + b, Bytes_tun, Ereignis::Antwort, kNormal, 0, b});
    return a;
}

// The controller answers what the live exchanges are owed; senders that
// wait take their answers; a sender whose answer the noise swallowed gives
// up after its time. With bAlles the stale answers come too, and every
// routine ends, as the worker's loop does after each one.
void Beruhigen(Welt& w, bool bAlles) {
    for (int runde = 0; runde < 6; ++runde) {
        // A partial reply in the assembly is finished by the next end character.
        if (w.rx != RX_IDLE) Bytes(w, w.rx == RX_COLLECT_MB ? "\x07" : "\r");
        const Kanalbuch& n = w.b.k[kNormal];
        const Kanalbuch& at = w.b.k[kAt];
        if (at.zustand == Z::Gebucht) Bytes(w, std::string(at.erwartet.c) + "\x06");
        if (at.zustand == Z::Zugestellt) Nehmen(w, kAt, at.sender);
        if (n.zustand == Z::Gebucht || n.zustand == Z::Offen) Bytes(w, "\x06");
        if (bAlles && (n.zustand == Z::Verwaist || n.zustand == Z::VerwaistOffen)) Bytes(w, "\x06");
        if (bAlles && at.bVerwaist) Bytes(w, std::string(at.verwaist.c) + "\x06");
        if (bAlles && n.sender != kKeiner) Nehmen(w, kNormal, n.sender);
        if (n.zustand == Z::Gebucht) Ausfuehren(w, {Ereignis::Aufgegeben, kNormal, n.sender}, nullptr);
    }
    if (!bAlles) return;
    for (Sender s : {kWorker, kFenster})
        for (Kanal k : {kNormal, kAt}) Ausfuehren(w, {Ereignis::Abgebrochen, k, s}, nullptr);
    for (int runde = 0; runde < 2; ++runde)
        if (w.b.k[kNormal].zustand == Z::Verwaist || w.b.k[kNormal].zustand == Z::VerwaistOffen) Bytes(w, "\x06");
}

// A request from `s` passes its gate, and is handed its own answer.
bool Austausch_klappt(Welt w, Kanal k, Sender s) {
    const bool offen = k == kAt ? w.b.AtOffen() : w.b.NormalOffen();
    if (!offen) return false;
    Senden(w, k, s, k == kAt ? "@S\r" : "T1\r");
    Ausfuehren(w, {Ereignis::WartenBeginnt, k, s}, nullptr);
    Bytes(w, k == kAt ? "@RS\x06" : "\x06");
    w.genommen.clear();
    Nehmen(w, k, s);
    return w.genommen.size() == 1 && w.genommen[0].text == (k == kAt ? "@RS\x06" : "\x06");
}

struct Ergebnis {
    uint64_t folgen = 0;
    size_t zustaende = 0;
    std::string fehler;
};

// (b) Stop gets through and is handed its own answer; (c) so does a normal
// request once nothing is owed; (d) without "Ini", unless the line is gone.
std::string Lebendigkeit(const Welt& w0) {
    if (w0.b.Weg()) return "";
    Welt b = w0;
    Beruhigen(b, false);
    if (!Austausch_klappt(b, kAt, kFenster)) return "Stop does not get through";
    Welt c = w0;
    Beruhigen(c, true);
    if (!Austausch_klappt(c, kNormal, kWorker)) return "a normal request does not get through";
    if (!(c.b == Buch {})) return std::string("left only by \"Ini\": ") + c.Schluessel();
    return gFehler;
}

// Breadth first over all event sequences; sequences that lead to the same
// state are counted, and the state is explored and checked once.
Ergebnis Erkunden(int tiefe) {
    const auto alphabet = Alphabet();
    std::map<std::string, std::pair<Welt, uint64_t>> ebene;
    std::set<std::string> gesehen;
    const Welt start;
    ebene[start.Schluessel()] = {start, 1};
    gesehen.insert(start.Schluessel());
    Ergebnis r;
    r.folgen = 1;
    for (int d = 0; d < tiefe; ++d) {
        std::map<std::string, std::pair<Welt, uint64_t>> naechste;
        for (const auto& [schluessel, eintrag] : ebene) {
            for (const Schritt_def& def : alphabet) {
                Welt w = eintrag.first;
                w.genommen.clear();
                def.tun(w, def);
                const std::string k = w.Schluessel();
                if (gesehen.insert(k).second) {
                    const std::string fehler = gFehler.empty() ? Lebendigkeit(w) : gFehler;
                    if (!fehler.empty()) {
                        r.fehler = fehler + " (reached by \"" + def.name + "\" at depth " + std::to_string(d + 1) + ")";
                        return r;
                    }
                }
                r.folgen += eintrag.second;
                auto& n = naechste[k];
                n.first = w;
                n.second += eintrag.second;
            }
        }
        ebene = std::move(naechste);
        if (std::getenv("BUCH_VERBOSE"))
            std::printf("depth %d: %zu states, %zu new\n", d + 1, ebene.size(), gesehen.size());
    }
    r.zustaende = gesehen.size();
    return r;
}

TEST(Buch, EverySequenceKeepsRepliesApartAndTheGatesPassable) {
    const Ergebnis r = Erkunden(Tiefe());
    std::printf("book of exchanges: %llu event sequences of up to %d events, %zu distinct states\n",
                static_cast<unsigned long long>(r.folgen), Tiefe(), r.zustaende);
    EXPECT_EQ(r.fehler, "");
}

}  // namespace
