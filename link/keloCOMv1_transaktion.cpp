#include <cstring>

#include "common/dialog.h"
#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"
#include "link/keloCOMv1_thread.h"
#include "platform/serial_port.h"

namespace {

constexpr int64_t kGateMS = 2000;
constexpr int32_t kStandardMS = 64;
constexpr int kConnectVersuche = 11;
constexpr int64_t kConnectMS = 50;

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

}  // namespace

void TkeloCOM::SendReq(const char* szRequest, const uint32_t* piResetStand) {
    auto port = Port();
    auto thread = Thread();
    if (!port || !thread) throw HANDLE_COM_PORT_ERROR;
    const size_t len = szRequest ? std::strlen(szRequest) : 0;
    // Longer requests would overrun the transmit buffer of the controller.
    if (len == 0 || len > kMaxAnfrageLaenge) throw SEND_REQ_ERROR;

    const bool bMB = szRequest[0] == '@';
    const auto r = (bMB ? thread->hEventRxSend_MB : thread->hEventRxSend).Wait(kGateMS);
    if (r != platform::WaitResult::Signalled) WarteFehler("SendReq()", r);
    std::lock_guard senden(hSenden_);
    if (piResetStand && iResets != *piResetStand) {
        (bMB ? thread->hEventRxSend_MB : thread->hEventRxSend).Set();  // passed, but not sent
        throw ACK_ERROR;
    }
    if (std::strcmp(szRequest, "@R\r") == 0 || std::strcmp(szRequest, "@S\r") == 0) ++iResets;
    thread->Gesendet(bMB, szRequest);

    std::memset(szReq, 0, sizeof szReq);
    std::memcpy(szReq, szRequest, len);
    port->PurgeReceive();
    char txBuffer[128] = {};
    std::memcpy(txBuffer, szRequest, len);
    // A failed write shows later as a missing reply.
    port->Write(txBuffer, len);
}

void TkeloCOM::Antwort_uebernehmen(const char* szQuelle) {
    std::memset(szResp, 0, sizeof szResp);
    std::memcpy(szResp, szQuelle, strnlen(szQuelle, sizeof szResp - 1));
}

// Waits for the reply of one channel; a line that is gone ends the wait too.
void TkeloCOM::Warten(TkeloCOM_thread& t, bool bMB, int32_t iZeitMS) {
    const char* wer = bMB ? "WaitResp_MB()" : "WaitResp()";
    t.Warten_beginnt(bMB);
    platform::WaitResult r = platform::WaitResult::Signalled;
    const int i = platform::Event::WaitAny({bMB ? &t.hEventRxCompl_MB : &t.hEventRxCompl, &t.hEventLeitungWeg},
                                           Wartezeit(iZeitMS), &r);
    if (i == 0) return;
    t.Aufgeben(bMB);
    WarteFehler(wer, i == 1 ? platform::WaitResult::Failed : r);
}

void TkeloCOM::WaitResp(int32_t iZeitMS) {
    auto thread = Thread();
    if (!thread) WarteFehler("WaitResp()", platform::WaitResult::Failed);
    if (iZeitMS == -2) {
        thread->KeineAntwort();
        return;
    }
    Warten(*thread, false, iZeitMS);
    Antwort_uebernehmen(thread->szRxBuffer);
    thread->Genommen(false);
    thread->hEventRxContinue.Set();
}

void TkeloCOM::WaitResp_MB(int32_t iZeitMS) {
    auto thread = Thread();
    if (!thread) WarteFehler("WaitResp_MB()", platform::WaitResult::Failed);
    Warten(*thread, true, iZeitMS);
    Antwort_uebernehmen(thread->szRxBuffer_MB);
    bool ok = true;
    if (std::memcmp(szReq, "@R\r", 3) == 0 || std::memcmp(szReq, "@S\r", 3) == 0) {
        ok = std::memcmp(szResp, "@RS\x06", 4) == 0;
    } else if (std::memcmp(szReq, "@B\r", 3) == 0) {
        ok = std::memcmp(szResp, "@B\x06", 3) == 0;
    }
    // Released even on a wrong answer, or the link would stay blocked.
    thread->Genommen(true);
    thread->hEventRxContinue_MB.Set();
    if (!ok) throw COMMUNICATION_ERROR;
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
    for (int i = 0; HatPort() && i < kConnectVersuche && !bVerbunden; ++i) {
        SendReq("\r");
        auto thread = Thread();
        // An answer to an earlier attempt proves the controller just as well.
        if (thread->hEventRxCompl.Wait(kConnectMS) == platform::WaitResult::Signalled) {
            bVerbunden = std::memcmp(thread->szRxBuffer, "E1\x07", 3) == 0;
            thread->Genommen(false);
            thread->hEventRxContinue.Set();
        }
        thread->hEventRxSend.Set();
        thread->hEventRxSend_MB.Set();
    }
    // Answers to the attempts still on their way are owed to nobody.
    if (auto thread = Thread()) thread->KeineAntwort();
    if (bVerbunden) return true;
    ShowMessage("Bitte die Schnittstelle überprüfen bzw.    \ndie Steuerung Aus- und Einschalten!", "keloCOM->Connect",
                MessageIcon::Warning);
    throw WAIT_TIMEOUT_ERROR;
}

void TkeloCOM::Abbrechen() {
    if (auto thread = Thread()) thread->Abbrechen();
}
