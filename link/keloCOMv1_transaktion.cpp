#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "common/dialog.h"
#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"
#include "link/keloCOMv1_thread.h"
#include "link/leitungsbeobachter.h"
#include "platform/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kGateMS = 2000;
constexpr int32_t kStandardMS = 64;
constexpr int kConnectVersuche = 11;
constexpr int64_t kConnectMS = 50;
// The longest pause between the bytes of a reply that still flows (a USB
// adapter's latency timer holds bytes up to 16 ms by default).
constexpr int64_t kLueckeMS = 32;
// How long after "@RS" a stopped job's final answer may still come.
constexpr int64_t kNachStoppMS = 100;
// Slack on top of the controller's own delay for the answers to later tries.
constexpr int64_t kNachzueglerMS = 50;

// Logs a wait that did not end signalled and throws its code.
[[noreturn]] void WarteFehler(const char* szWer, platform::WaitResult r) {
    const char* name = "WAIT_FAILED";
    int32_t code = WAIT_FAILED_ERROR;
    if (r == platform::WaitResult::Abandoned) {
        name = "WAIT_ABANDONED";
        code = WAIT_ABANDONED_ERROR;
    } else if (r == platform::WaitResult::TimedOut) {
        name = "WAIT_TIMEOUT";
        code = WAIT_TIMEOUT_ERROR;
    }
    const std::string line = std::string("keloCOM->") + szWer + " :: " + name;
    Protokolldatei_schreiben(line.c_str());
    throw code;
}

// 0 means the link's default; other negative times wait without limit.
int64_t Wartezeit(int32_t iZeitMS) {
    if (iZeitMS == 0) return kStandardMS;
    return iZeitMS < 0 ? platform::kInfinite : iZeitMS;
}

int64_t JetztUS() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// What is left of a time limit that began at t0.
int64_t Rest(Clock::time_point t0, int64_t iMS) {
    if (iMS < 0) return platform::kInfinite;
    const auto vergangen = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    return vergangen >= iMS ? 0 : iMS - vergangen;
}

// Waits for the event or for the line to go; Signalled only for the event.
platform::WaitResult Warten_auf(platform::Event& e, platform::Event& weg, int64_t iMS) {
    platform::WaitResult r = platform::WaitResult::Signalled;
    const int i = platform::Event::WaitAny({&e, &weg}, iMS, &r);
    if (i == 0) return platform::WaitResult::Signalled;
    return i == 1 ? platform::WaitResult::Failed : r;
}

}  // namespace

// Passes the gate of the request's channel. The book has the last word: when
// the other channel's request passed at the same moment, or a query of the
// other sender expects the same answer, this one waits on. A request given up
// on stops blocking at its deadline, so the book is told the time then.
void TkeloCOM::Zulassen(TkeloCOM_thread& t, const char* szRequest, bool bOhneAntwort) {
    const bool bMB = !bOhneAntwort && szRequest[0] == '@';
    platform::Event& gate = bMB ? t.hEventRxSend_MB : t.hEventRxSend;
    const auto t0 = Clock::now();
    for (;;) {
        t.Melden(ich_, buch::Ereignis::Uhr, buch::kNormal);
        const int64_t iRest = Rest(t0, kGateMS);
        const int64_t iFrist = t.BisZurFrist();
        const bool bFristZuerst = iFrist != platform::kInfinite && iFrist < iRest;
        const platform::WaitResult r = gate.Wait(bFristZuerst ? iFrist : iRest);
        if (r == platform::WaitResult::TimedOut && bFristZuerst) continue;
        if (r != platform::WaitResult::Signalled) WarteFehler("SendReq()", r);
        const auto art = bOhneAntwort ? buch::Ereignis::GesendetOhneAntwort : buch::Ereignis::Gesendet;
        if (t.Melden(ich_, art, bMB ? buch::kMB : buch::kNormal, szRequest).bZugelassen) return;
        if (bMB) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TkeloCOM::Senden(const char* szRequest, const uint32_t* piResetStand, bool bOhneAntwort) {
    auto port = Port();
    auto thread = Thread();
    if (!port || !thread) throw HANDLE_COM_PORT_ERROR;
    const size_t len = szRequest ? std::strlen(szRequest) : 0;
    // Longer requests would overrun the transmit buffer of the controller.
    if (len == 0 || len > kMaxAnfrageLaenge) throw SEND_REQ_ERROR;
    const buch::Kanal kanal = !bOhneAntwort && szRequest[0] == '@' ? buch::kMB : buch::kNormal;

    std::unique_lock senden(hSenden_, std::defer_lock);
    for (;;) {
        Zulassen(*thread, szRequest, bOhneAntwort);
        // Checking for a reset and writing are one step.
        senden.lock();
        if (!piResetStand || iResets == *piResetStand) break;
        // Passed, but not sent: owed nothing.
        thread->Melden(ich_, buch::Ereignis::Freigeben, kanal);
        throw ACK_ERROR;
    }
    if (std::strcmp(szRequest, "@R\r") == 0 || std::strcmp(szRequest, "@S\r") == 0) ++iResets;
    Anfrage_merken(szRequest);
    // Decided under the write lock: every request that passed before is
    // written already, none after it can have been answered yet.
    if (thread->Purge_erlaubt(ich_, kanal)) port->PurgeReceive();
    char txBuffer[128] = {};
    std::memcpy(txBuffer, szRequest, len);
    TLeitungsbeobachter* beobachter = Beobachter();
    if (beobachter) beobachter->Gesendet(txBuffer, len, bOhneAntwort);
    // A failed write shows later as a missing reply.
    if (const size_t iGeschrieben = port->Write(txBuffer, len); iGeschrieben < len && beobachter)
        beobachter->Vermerken("only " + std::to_string(iGeschrieben) + " of these bytes went out");
    Leitung_belegen(len);
}

// The write returns before the bytes have left: the line stays busy for
// their time on the wire at the link's rate.
void TkeloCOM::Leitung_belegen(size_t iZeichen) {
    const int64_t jetzt = JetztUS();
    const int64_t dauer = static_cast<int64_t>(iZeichen) * 10 * 1'000'000 / iBaud_;
    int64_t frei = iLeitungFreiUS_;
    while (!iLeitungFreiUS_.compare_exchange_weak(frei, std::max(frei, jetzt) + dauer)) {
    }
}

// Milliseconds until what was written has left; a time limit starts then.
int64_t TkeloCOM::Sendezeit_Rest() const {
    return std::max<int64_t>(0, (iLeitungFreiUS_ - JetztUS() + 999) / 1000);
}

void TkeloCOM::SendReq(const char* szRequest, const uint32_t* piResetStand) { Senden(szRequest, piResetStand, false); }

void TkeloCOM::SendReq_Kopfzeile(const char* szZeile, const uint32_t* piResetStand) {
    Senden(szZeile, piResetStand, true);
}

// Waits for the calling sender's reply on one channel and takes it; a line
// that is gone ends the wait too.
void TkeloCOM::Warten(TkeloCOM_thread& t, bool bMB, int32_t iZeitMS) {
    const char* wer = bMB ? "WaitResp_MB()" : "WaitResp()";
    const buch::Kanal kanal = bMB ? buch::kMB : buch::kNormal;
    t.Melden(ich_, buch::Ereignis::WartenBeginnt, kanal);
    // Nothing is owed to a sender that sent nothing: it only waits out its time.
    platform::Event keins{platform::Event::Mode::ManualReset};
    platform::Event& da = t.Gehoert(ich_, kanal) ? (bMB ? t.hEventRxCompl_MB : t.hEventRxCompl) : keins;
    int64_t iMS = Wartezeit(iZeitMS);
    if (iMS >= 0) iMS += Sendezeit_Rest();
    const int64_t iHoechstens = iMS < 0 ? iMS : iMS + Uebertragungszeit();
    const auto t0 = Clock::now();
    const int64_t iBeginn = TkeloCOM_thread::Jetzt();
    char szAntwort[kPufferGroesse];
    for (;;) {
        const int64_t iRest = Rest(t0, iMS);
        const platform::WaitResult r = Warten_auf(da, t.hEventLeitungWeg, iRest);
        if (r == platform::WaitResult::Signalled && t.Nehmen(ich_, kanal, szAntwort, sizeof szAntwort)) break;
        if (r == platform::WaitResult::TimedOut && Verlaengern(t, t0, iBeginn, iHoechstens, iMS)) continue;
        if (r == platform::WaitResult::Signalled && t.Gehoert(ich_, kanal) && iRest != 0) {
            // The mailbox holds what is not this sender's (another's "@"
            // reply): it is taken soon. The time limit still holds.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        t.Melden(ich_, buch::Ereignis::Aufgegeben, kanal);
        WarteFehler(wer, r == platform::WaitResult::Signalled ? platform::WaitResult::TimedOut : r);
    }
    Antwort_merken(szAntwort);
}

void TkeloCOM::WaitResp(int32_t iZeitMS) {
    auto thread = Thread();
    if (!thread) WarteFehler("WaitResp()", platform::WaitResult::Failed);
    if (iZeitMS == kOhneAntwort) {
        // The request is owed no answer: the normal gate opens at once.
        thread->Melden(ich_, buch::Ereignis::Freigeben, buch::kNormal);
        thread->Melden(ich_, buch::Ereignis::Freigeben, buch::kMB);
        return;
    }
    Warten(*thread, false, iZeitMS);
}

void TkeloCOM::WaitResp_MB(int32_t iZeitMS) {
    auto thread = Thread();
    if (!thread) WarteFehler("WaitResp_MB()", platform::WaitResult::Failed);
    Warten(*thread, true, iZeitMS);
    const char* anfrage = Anfrage();
    const char* antwort = Antwort();
    bool ok = true;
    if (std::memcmp(anfrage, "@R\r", 3) == 0 || std::memcmp(anfrage, "@S\r", 3) == 0) {
        ok = std::memcmp(antwort, "@RS\x06", 4) == 0;
    } else if (std::memcmp(anfrage, "@B\r", 3) == 0) {
        ok = std::memcmp(antwort, "@B\x06", 3) == 0;
    }
    if (!ok) throw COMMUNICATION_ERROR;
    // A job this link did not start (an earlier run's) may still send its
    // final answer just after "@RS": owed to nobody now, it is dropped,
    // where a request sent at once would take it for its own. A job of
    // ours is released with "!" and guarded by the book instead.
    const bool bStopp = std::memcmp(anfrage, "@R\r", 3) == 0 || std::memcmp(anfrage, "@S\r", 3) == 0;
    if (bStopp && !thread->LetzteMitAusruf()) std::this_thread::sleep_for(std::chrono::milliseconds(kNachStoppMS));
}

void TkeloCOM::SendReqWaitResp(const char* szRequest, int32_t iZeitMS, const uint32_t* piResetStand) {
    SendReq(szRequest, piResetStand);
    if (szRequest[0] == '@') {
        WaitResp_MB(iZeitMS);
    } else {
        WaitResp(iZeitMS);
    }
}

bool TkeloCOM::Connect() {
    bool bVerbunden = false;
    int iVersuche = 0;
    const uint64_t iAntwortenVorher = HatPort() && Thread() ? Thread()->LeerzeilenAntworten() : 0;
    const auto tErster = Clock::now();
    auto tLetzter = tErster;
    for (int i = 0; HatPort() && i < kConnectVersuche && !bVerbunden; ++i) {
        tLetzter = Clock::now();
        SendReq("\r");
        ++iVersuche;
        auto thread = Thread();
        // An answer to an earlier attempt proves the controller just as well.
        char szAntwort[kPufferGroesse];
        if (thread->hEventRxCompl.Wait(kConnectMS) == platform::WaitResult::Signalled &&
            thread->Nehmen(ich_, buch::kNormal, szAntwort, sizeof szAntwort)) {
            bVerbunden = std::memcmp(szAntwort, "E1\x07", 3) == 0;
        }
        // Answers still on their way are owed to nobody.
        thread->Melden(ich_, buch::Ereignis::Freigeben, buch::kNormal);
    }
    if (bVerbunden) {
        // The proving answer came at most this long after its own try; the
        // last try's answer takes no longer.
        const auto verzug = Clock::now() - tErster;
        Nachzuegler_abwarten(iVersuche, iAntwortenVorher, tLetzter + verzug);
        return true;
    }
    ShowMessage("Bitte die Schnittstelle überprüfen bzw.    \ndie Steuerung Aus- und Einschalten!", "keloCOM->Connect",
                MessageIcon::Warning);
    throw WAIT_TIMEOUT_ERROR;
}

// A slow controller answers the later tries after the one that proved it:
// those answers must not pass for the first real request's. They are
// nobody's and dropped; waiting for them ends when all have come, or when
// the last try is as long past as the slowest answer took.
void TkeloCOM::Nachzuegler_abwarten(int iVersuche, uint64_t iAntwortenVorher, Clock::time_point bis) {
    auto thread = Thread();
    if (!thread) return;
    bis += std::chrono::milliseconds(kNachzueglerMS);
    while (thread->LeerzeilenAntworten() - iAntwortenVorher < static_cast<uint64_t>(iVersuche) && Clock::now() < bis)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int64_t TkeloCOM::Uebertragungszeit() const {
    // 10 bits a character; the longest reply, and eight "@" replies (status
    // queries) sharing the wire meanwhile.
    constexpr int64_t kAtAntworten = 8 * 33;
    return ((static_cast<int64_t>(kPufferGroesse) + kAtAntworten) * 10 * 1000 + iBaud_ - 1) / iBaud_;
}

// A time limit is for the controller to begin: while bytes still come, the
// wait runs on by as much as the longest reply takes on the wire at the
// link's rate. A pause on the line ends it at its limit, and so does a
// silence since the wait began: bytes before it were no start of a reply.
bool TkeloCOM::Verlaengern(TkeloCOM_thread& t, Clock::time_point t0, int64_t iBeginn, int64_t iHoechstens,
                           int64_t& iMS) {
    if (iMS < 0 || iMS >= iHoechstens) return false;
    const int64_t iLetztes = t.LetztesByte();
    if (iLetztes <= iBeginn || TkeloCOM_thread::Jetzt() - iLetztes > kLueckeMS) return false;
    const auto vergangen = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    iMS = std::min<int64_t>(iHoechstens, vergangen + kLueckeMS);
    return true;
}

void TkeloCOM::Abbrechen(bool bGelungen) {
    // Only a whole answer that the routine judged vouches for the line.
    const char* antwort = Antwort();
    if (auto thread = Thread()) thread->Routine_beendet(ich_, bGelungen && buch::Endform(antwort, std::strlen(antwort)));
}
