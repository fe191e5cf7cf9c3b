// The receive thread's side of the book of exchanges: it feeds the book and
// carries out what the book says, under one lock; what is dropped is logged
// after the lock is released.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "common/steuerzeichen.h"
#include "link/keloCOMv1_thread.h"

namespace {

void Setzen(platform::Event& e, bool bAn) {
    if (bAn) {
        e.Set();
    } else {
        e.Reset();
    }
}

}  // namespace

int64_t TkeloCOM_thread::Jetzt() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TkeloCOM_thread::Uebergeben() {
    if (iRxCount == 3 && std::memcmp(szRxBuffer, "E1\x07", 3) == 0) ++iLeerzeilenAntworten_;
    // A NUL carries nothing (a line break makes them): the reply goes on
    // without it, to the book and to its taker alike.
    std::string text(szRxBuffer, static_cast<size_t>(iRxCount));
    std::erase(text, '\0');
    buch::Ereignis e {buch::Ereignis::Antwort, buch::kNormal};
    e.nak = !text.empty() && text.back() == zeichen::NAK;
    e.endform = buch::Endform(text.data(), text.size());
    e.endantwort = buch::Endantwort(text.data(), text.size());
    e.vorlauf = buch::Vorlauf(text.data(), text.size());
    Buchen(e, text.c_str());
}

bool TkeloCOM_thread::Uebergeben_MB() {
    buch::Ereignis e {buch::Ereignis::Antwort, buch::kMB};
    e.anfang = buch::Anfang_von(szRxBuffer_MB);
    // "@RS" ACK confirms only as these four characters.
    e.ack = iRxCount_MB >= 4 && szRxBuffer_MB[3] == zeichen::ACK;
    const buch::Wirkung w = Buchen(e, szRxBuffer_MB);
    if (w.bAusruf) iAusruf_ = w.nummer;
    bLetzteMitAusruf_ = w.bAusruf;
    return w.bAusruf;
}

void TkeloCOM_thread::Uebergeben_Ausruf() {
    buch::Ereignis e {buch::Ereignis::Ausruf, buch::kNormal};
    e.nummer = iAusruf_;
    Buchen(e, szRxBuffer);
}

buch::Wirkung TkeloCOM_thread::Melden(buch::Sender sender, buch::Ereignis::Art art, buch::Kanal kanal,
                                      const char* szRequest) {
    buch::Ereignis e {art, kanal, sender};
    if (szRequest) {
        e.anfang = buch::Erwarteter_Anfang(szRequest);
        e.lesen = buch::Lesen(szRequest);
    }
    if (art == buch::Ereignis::Uhr) {
        e.letztesByte = LetztesByte();
        e.begonnen = bNormalBegonnen_;
    }
    return Buchen(e);
}

void TkeloCOM_thread::Routine_beendet(buch::Sender sender, bool bGelungen) {
    for (const buch::Kanal kanal : {buch::kNormal, buch::kMB}) {
        buch::Ereignis e {buch::Ereignis::Abgebrochen, kanal, sender};
        e.gelungen = bGelungen;
        e.begonnen = bNormalBegonnen_;
        Buchen(e);
    }
}

buch::Wirkung TkeloCOM_thread::Buchen(buch::Ereignis e, const char* szAntwort) {
    e.jetzt = Jetzt();
    buch::Wirkung w;
    {
        std::lock_guard lock(hBuch_);
        w = Schritt(e, szAntwort);
    }
    Verworfenes_schreiben();
    return w;
}

bool TkeloCOM_thread::AtBeginnt(bool bMitten) {
    std::lock_guard lock(hBuch_);
    return buch_.AtBeginnt(bMitten);
}

bool TkeloCOM_thread::Gehoert(buch::Sender sender, buch::Kanal kanal) {
    std::lock_guard lock(hBuch_);
    if (kanal == buch::kMB) return buch_.MB_Eigener(sender) >= 0;
    const buch::Normalbuch& n = buch_.n;
    return n.zustand != buch::Zustand::Frei && n.zustand != buch::Zustand::Weg && n.sender == sender;
}

bool TkeloCOM_thread::Purge_erlaubt(buch::Sender sender, buch::Kanal kanal) {
    std::lock_guard lock(hBuch_);
    return buch_.Purge_erlaubt(kanal, sender);
}

int64_t TkeloCOM_thread::BisZurFrist() {
    std::lock_guard lock(hBuch_);
    const int64_t frist = buch_.NaechsteFrist();
    if (frist == 0) return platform::kInfinite;
    return std::max<int64_t>(0, frist - Jetzt());
}

bool TkeloCOM_thread::Nehmen(buch::Sender ich, buch::Kanal kanal, char* szZiel, size_t iGroesse) {
    std::string text;
    {
        std::lock_guard lock(hBuch_);
        const auto mein = std::find_if(postfach_MB_.begin(), postfach_MB_.end(),
                                       [ich](const auto& p) { return p.first == ich; });
        if (kanal == buch::kMB ? mein == postfach_MB_.end() : postfach_.empty()) return false;
        buch::Ereignis e {buch::Ereignis::Genommen, kanal, ich};
        e.jetzt = Jetzt();
        const buch::Wirkung w = Schritt(e, nullptr);
        if (w.art != buch::Wirkung::Uebergeben) return false;
        if (kanal == buch::kMB) {
            text = std::move(mein->second);
            postfach_MB_.erase(mein);
            Setzen(hEventRxCompl_MB, !postfach_MB_.empty());
        } else {
            text = std::move(postfach_.front());
            postfach_.pop_front();
            Setzen(hEventRxCompl, !postfach_.empty());
        }
    }
    std::memset(szZiel, 0, iGroesse);
    std::memcpy(szZiel, text.data(), std::min(text.size(), iGroesse - 1));
    return true;
}

buch::Wirkung TkeloCOM_thread::Schritt(const buch::Ereignis& e, const char* szAntwort) {
    const buch::Schritt_t s = buch::Schritt(buch_, e);
    buch_ = s.buch;
    if (s.wirkung.bOhneVorlauf) {
        // What came before the final answer is noise.
        Verwerfen(false, std::string(szAntwort, e.vorlauf));
        szAntwort += e.vorlauf;
    }
    Ausfuehren(s.wirkung, szAntwort);
    GatesNachfuehren();
    return s.wirkung;
}

void TkeloCOM_thread::Ausfuehren(const buch::Wirkung& w, const char* szAntwort) {
    if (w.bTeilVerwerfen) bTeilVerwerfen_ = true;
    switch (w.art) {
    case buch::Wirkung::Zustellen:
        if (w.kanal == buch::kMB) {
            postfach_MB_.emplace_back(w.sender, szAntwort);
            hEventRxCompl_MB.Set();
        } else if (w.bZusatz && postfach_.size() >= buch::kMaxPost) {
            Verwerfen(false, szAntwort);
        } else {
            postfach_.emplace_back(szAntwort);
            hEventRxCompl.Set();
        }
        break;
    case buch::Wirkung::Verwerfen: Verwerfen(w.bVerspaetet, szAntwort); break;
    case buch::Wirkung::Postfach_leeren: Leeren(w.kanal, w.sender, w.bVerspaetet); break;
    case buch::Wirkung::Alles_leeren:
        Leeren(buch::kNormal, buch::kKeiner, true);
        Leeren(buch::kMB, buch::kKeiner, true);
        break;
    default: break;
    }
}

// The normal mailbox goes whole, in one move; on "@", what lies there for
// `sender` (for everyone: kKeiner).
void TkeloCOM_thread::Leeren(buch::Kanal kanal, buch::Sender sender, bool bVerspaetet) {
    Verworfen v {bVerspaetet, {}};
    if (kanal == buch::kNormal) {
        v.texte.swap(postfach_);
        hEventRxCompl.Reset();
    } else {
        for (auto it = postfach_MB_.begin(); it != postfach_MB_.end();) {
            if (sender != buch::kKeiner && it->first != sender) {
                ++it;
                continue;
            }
            v.texte.push_back(std::move(it->second));
            it = postfach_MB_.erase(it);
        }
        Setzen(hEventRxCompl_MB, !postfach_MB_.empty());
    }
    if (!v.texte.empty()) verworfen_.push_back(std::move(v));
}

void TkeloCOM_thread::Verwerfen(bool bVerspaetet, std::string text) {
    Verworfen v {bVerspaetet, {}};
    v.texte.push_back(std::move(text));
    verworfen_.push_back(std::move(v));
}

void TkeloCOM_thread::Verworfenes_schreiben() {
    std::vector<Verworfen> verworfen;
    {
        std::lock_guard lock(hBuch_);
        verworfen.swap(verworfen_);
    }
    for (const Verworfen& v : verworfen)
        for (const std::string& text : v.texte)
            verwurf_.Schreiben("keloCOM_thread->Execute() :: " + std::string(v.bVerspaetet ? "verspätete" : "unerwartete") +
                               " Antwort verworfen: " + text);
}

void TkeloCOM_thread::GatesNachfuehren() {
    Setzen(hEventRxSend, buch_.NormalOffen());
    // The "@" gate stands for "an "@" request may try": the book has the
    // last word on each request's own beginning.
    Setzen(hEventRxSend_MB, buch_.Weg() || buch_.kopf == buch::kKeiner);
}
