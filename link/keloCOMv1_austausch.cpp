// The receive thread's side of the book of exchanges: it feeds the book and
// carries out what the book says, under one lock.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "common/protokolldatei.h"
#include "common/steuerzeichen.h"
#include "link/keloCOMv1_thread.h"

namespace {

bool EndetMitNAK(const char* text) {
    const size_t len = std::strlen(text);
    return len > 0 && text[len - 1] == zeichen::NAK;
}

void Setzen(platform::Event& e, bool bAn) {
    if (bAn) {
        e.Set();
    } else {
        e.Reset();
    }
}

}  // namespace

buch::Sender TkeloCOM_thread::Ich() {
    static std::atomic<buch::Sender> naechster{1};
    thread_local buch::Sender ich = buch::kKeiner;
    while (ich == buch::kKeiner) ich = naechster++;
    return ich;
}

void TkeloCOM_thread::Uebergeben() {
    std::lock_guard lock(hBuch_);
    buch::Ereignis e {buch::Ereignis::Antwort, buch::kNormal};
    e.nak = EndetMitNAK(szRxBuffer);
    Schritt(e, szRxBuffer);
}

void TkeloCOM_thread::Uebergeben_MB() {
    std::lock_guard lock(hBuch_);
    buch::Ereignis e {buch::Ereignis::Antwort, buch::kAt};
    e.anfang = buch::Anfang_von(szRxBuffer_MB);
    Schritt(e, szRxBuffer_MB);
}

buch::Wirkung TkeloCOM_thread::Melden(buch::Ereignis::Art art, buch::Kanal kanal, const char* szRequest) {
    std::lock_guard lock(hBuch_);
    buch::Ereignis e {art, kanal, Ich()};
    if (szRequest) e.anfang = buch::Erwarteter_Anfang(szRequest);
    return Schritt(e, nullptr);
}

bool TkeloCOM_thread::Gehoert(buch::Kanal kanal) {
    std::lock_guard lock(hBuch_);
    const buch::Kanalbuch& k = buch_.k[kanal];
    return k.zustand != buch::Zustand::Frei && k.zustand != buch::Zustand::Weg && k.sender == Ich();
}

bool TkeloCOM_thread::Nehmen(buch::Kanal kanal, char* szZiel, size_t iGroesse) {
    std::lock_guard lock(hBuch_);
    if (postfach_[kanal].empty()) return false;
    const buch::Wirkung w = Schritt({buch::Ereignis::Genommen, kanal, Ich()}, nullptr);
    if (w.art != buch::Wirkung::Uebergeben) return false;
    const std::string& text = postfach_[kanal].front();
    std::memset(szZiel, 0, iGroesse);
    std::memcpy(szZiel, text.data(), std::min(text.size(), iGroesse - 1));
    postfach_[kanal].pop_front();
    Setzen(kanal == buch::kAt ? hEventRxCompl_MB : hEventRxCompl, !postfach_[kanal].empty());
    return true;
}

buch::Wirkung TkeloCOM_thread::Schritt(const buch::Ereignis& e, const char* szAntwort) {
    const buch::Schritt_t s = buch::Schritt(buch_, e);
    buch_ = s.buch;
    Ausfuehren(s.wirkung, szAntwort);
    GatesNachfuehren();
    return s.wirkung;
}

void TkeloCOM_thread::Ausfuehren(const buch::Wirkung& w, const char* szAntwort) {
    if (w.bTeilVerwerfen) bTeilVerwerfen_ = true;
    switch (w.art) {
    case buch::Wirkung::Zustellen:
        if (w.bZusatz && postfach_[w.kanal].size() >= buch::kMaxPost) {
            Protokollieren(false, szAntwort);
            break;
        }
        postfach_[w.kanal].emplace_back(szAntwort);
        (w.kanal == buch::kAt ? hEventRxCompl_MB : hEventRxCompl).Set();
        break;
    case buch::Wirkung::Verwerfen:
        Protokollieren(w.bVerspaetet, szAntwort);
        break;
    case buch::Wirkung::Postfach_leeren:
        Leeren(w.kanal, w.bVerspaetet);
        break;
    case buch::Wirkung::Alles_leeren:
        Leeren(buch::kNormal, true);
        Leeren(buch::kAt, true);
        break;
    default:
        break;
    }
}

void TkeloCOM_thread::Leeren(buch::Kanal kanal, bool bVerspaetet) {
    for (const std::string& text : postfach_[kanal]) Protokollieren(bVerspaetet, text);
    postfach_[kanal].clear();
    (kanal == buch::kAt ? hEventRxCompl_MB : hEventRxCompl).Reset();
}

void TkeloCOM_thread::Protokollieren(bool bVerspaetet, const std::string& text) {
    Protokolldatei_schreiben(("keloCOM_thread->Execute() :: " + std::string(bVerspaetet ? "verspätete" : "unerwartete") +
                              " Antwort verworfen: " + text)
                                 .c_str());
}

void TkeloCOM_thread::GatesNachfuehren() {
    Setzen(hEventRxSend, buch_.NormalOffen());
    Setzen(hEventRxSend_MB, buch_.AtOffen());
    const buch::Zustand at = buch_.k[buch::kAt].zustand;
    bAtUnterwegs_ = at == buch::Zustand::Gebucht;
}
