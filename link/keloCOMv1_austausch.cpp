// The receive thread's book of exchanges: which reply is owed to whom, and
// what happens to one that nobody is owed any more.
#include <chrono>
#include <cstring>
#include <string>

#include "common/protokolldatei.h"
#include "common/steuerzeichen.h"
#include "link/keloCOMv1_thread.h"

namespace {

// Further replies of an answer are taken within milliseconds; one held this
// long has nobody coming for it.
constexpr auto kUnabgeholt = std::chrono::milliseconds(50);

bool EndetMitNAK(const char* text) {
    const size_t len = std::strlen(text);
    return len > 0 && text[len - 1] == zeichen::NAK;
}

// How the controller begins its answer to an "@" request.
void ErwarteterAnfang(const char* szRequest, char* ziel) {
    std::memset(ziel, 0, 4);
    if (std::strncmp(szRequest, "@R", 2) == 0 || std::strncmp(szRequest, "@S", 2) == 0) {
        std::memcpy(ziel, "@RS", 3);
    } else if (std::strncmp(szRequest, "@C", 2) == 0) {
        std::memcpy(ziel, "@A", 2);
    } else {
        std::memcpy(ziel, szRequest, strnlen(szRequest, 2));
    }
}

}  // namespace

void TkeloCOM_thread::Uebergabe(bool bMB) {
    {
        std::lock_guard lock(hUebergabe_);
        Austausch& a = austausch_[bMB];
        // After an "@" wait gave up, its late answer is told apart by how it begins.
        if (a.bAufgegeben && (!bMB || !a.bWartet || !GehoertZurAnfrage(szRxBuffer_MB))) {
            Verwerfen(bMB, "verspätete");
            return;
        }
        if (!bMB) tGehalten_ = std::chrono::steady_clock::now();
        (bMB ? hEventRxCompl_MB : hEventRxCompl).Set();
    }
    (bMB ? hEventRxContinue_MB : hEventRxContinue).Wait();
}

bool TkeloCOM_thread::AtAusstehend() {
    std::lock_guard lock(hUebergabe_);
    return austausch_[true].bAusstehend;
}

// Under hUebergabe_. A reply that no routine has come for is dropped, so that
// the thread reads on: an "@" reply may be waiting behind it.
void TkeloCOM_thread::Gehaltene_verwerfen(bool bMB, bool bNurUnabgeholte) {
    if (bNurUnabgeholte && (austausch_[bMB].bWartet || std::chrono::steady_clock::now() - tGehalten_ < kUnabgeholt))
        return;
    if ((bMB ? hEventRxCompl_MB : hEventRxCompl).Wait(0) != platform::WaitResult::Signalled) return;
    Protokollieren(bMB, "unerwartete");
    (bMB ? hEventRxContinue_MB : hEventRxContinue).Set();
}

bool TkeloCOM_thread::GehoertZurAnfrage(const char* szAntwort) const {
    return std::strncmp(szAntwort, szErwartet_MB_, std::strlen(szErwartet_MB_)) == 0;
}

void TkeloCOM_thread::Protokollieren(bool bMB, const char* szWarum) {
    const char* text = bMB ? szRxBuffer_MB : szRxBuffer;
    Protokolldatei_schreiben(
        ("keloCOM_thread->Execute() :: " + std::string(szWarum) + " Antwort verworfen: " + text).c_str());
}

// Under hUebergabe_.
void TkeloCOM_thread::Verwerfen(bool bMB, const char* szWarum) {
    Protokollieren(bMB, szWarum);
    const char* text = bMB ? szRxBuffer_MB : szRxBuffer;
    Austausch& a = austausch_[bMB];
    if (a.bAufgegeben && (bMB || !EndetMitNAK(text))) {
        // The answer its sender gave up on has come: nothing is owed any more,
        // unless a newer "@" request is waiting for its own.
        a.bAufgegeben = false;
        if (!a.bWartet) a.bAusstehend = false;
    }
    GatesOeffnen();
}

// Under hUebergabe_. Normal requests wait while one is owed its answer.
void TkeloCOM_thread::GatesOeffnen() {
    if (!austausch_[false].bAusstehend) hEventRxSend.Set();
    if (!austausch_[true].bAusstehend || austausch_[true].bAufgegeben) hEventRxSend_MB.Set();
}

void TkeloCOM_thread::Gesendet(bool bMB, const char* szRequest) {
    std::lock_guard lock(hUebergabe_);
    // Passing either gate closes both.
    hEventRxSend.Reset();
    hEventRxSend_MB.Reset();
    // A reply the thread holds now cannot answer a request not yet written:
    // it is noise, or owed to a caller long gone.
    Gehaltene_verwerfen(bMB, false);
    if (bMB) Gehaltene_verwerfen(false, true);
    if (!bMB) bTeilVerwerfen_ = true;
    Austausch& a = austausch_[bMB];
    a.bAusstehend = true;
    a.sender = std::this_thread::get_id();
    if (bMB) {
        ErwarteterAnfang(szRequest, szErwartet_MB_);
    } else {
        a.bAufgegeben = false;
    }
}

void TkeloCOM_thread::Warten_beginnt(bool bMB) {
    std::lock_guard lock(hUebergabe_);
    austausch_[bMB].bWartet = true;
    // Normal requests wait at the gate while one is owed: this is its answer.
    if (!bMB) austausch_[bMB].bAufgegeben = false;
}

void TkeloCOM_thread::Genommen(bool bMB) {
    std::lock_guard lock(hUebergabe_);
    Austausch& a = austausch_[bMB];
    a.bWartet = false;
    a.bAufgegeben = false;
    a.bAusstehend = !bMB && EndetMitNAK(szRxBuffer);
    GatesOeffnen();
}

void TkeloCOM_thread::KeineAntwort() {
    std::lock_guard lock(hUebergabe_);
    austausch_[false].bAusstehend = false;
    Gehaltene_verwerfen(false, false);  // already handed over to nobody
    hEventRxSend.Set();
}

void TkeloCOM_thread::Aufgeben(bool bMB) {
    std::lock_guard lock(hUebergabe_);
    AufgebenGesperrt(bMB);
}

void TkeloCOM_thread::AufgebenGesperrt(bool bMB) {
    Austausch& a = austausch_[bMB];
    a.bWartet = false;
    a.bAufgegeben = true;
    // Handed over at the very moment the wait ended: stale all the same.
    if ((bMB ? hEventRxCompl_MB : hEventRxCompl).Wait(0) == platform::WaitResult::Signalled) {
        Verwerfen(bMB, "verspätete");
        (bMB ? hEventRxContinue_MB : hEventRxContinue).Set();
        return;
    }
    GatesOeffnen();
}

void TkeloCOM_thread::Abbrechen() {
    std::lock_guard lock(hUebergabe_);
    for (bool bMB : {false, true}) {
        const Austausch& a = austausch_[bMB];
        if (a.bAusstehend && !a.bWartet && !a.bAufgegeben && a.sender == std::this_thread::get_id())
            AufgebenGesperrt(bMB);
    }
}
