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

void TkeloCOM::SendReq(const char* szRequest) {
    auto port = Port();
    auto thread = Thread();
    if (!port || !thread) throw HANDLE_COM_PORT_ERROR;
    const size_t len = szRequest ? std::strlen(szRequest) : 0;
    // Longer requests would overrun the transmit buffer of the controller.
    if (len == 0 || len > kMaxAnfrageLaenge) throw SEND_REQ_ERROR;

    platform::Event& gate = szRequest[0] == '@' ? thread->hEventRxSend_MB : thread->hEventRxSend;
    const auto r = gate.Wait(kGateMS);
    if (r != platform::WaitResult::Signalled) WarteFehler("SendReq()", r);
    thread->hEventRxSend.Reset();
    thread->hEventRxSend_MB.Reset();

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

void TkeloCOM::WaitResp(int32_t iZeitMS) {
    auto thread = Thread();
    if (!thread) WarteFehler("WaitResp()", platform::WaitResult::Failed);
    if (iZeitMS == -2) {
        thread->hEventRxSend.Set();
        return;
    }
    thread->Warten_beginnt(false);
    const auto r = thread->hEventRxCompl.Wait(Wartezeit(iZeitMS));
    if (r == platform::WaitResult::TimedOut) thread->Aufgeben(false);
    if (r != platform::WaitResult::Signalled) WarteFehler("WaitResp()", r);
    Antwort_uebernehmen(thread->szRxBuffer);
    thread->Genommen(false);
    thread->hEventRxContinue.Set();
}

void TkeloCOM::WaitResp_MB(int32_t iZeitMS) {
    auto thread = Thread();
    if (!thread) WarteFehler("WaitResp_MB()", platform::WaitResult::Failed);
    thread->Warten_beginnt(true);
    const auto r = thread->hEventRxCompl_MB.Wait(Wartezeit(iZeitMS));
    if (r == platform::WaitResult::TimedOut) thread->Aufgeben(true);
    if (r != platform::WaitResult::Signalled) WarteFehler("WaitResp_MB()", r);
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

void TkeloCOM::SendReqWaitResp(const char* szRequest, int32_t iZeitMS) {
    SendReq(szRequest);
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
        const bool bAntwort = thread->hEventRxCompl.Wait(kConnectMS) == platform::WaitResult::Signalled;
        // Read before releasing the thread, which may then overwrite it.
        bVerbunden = bAntwort && std::memcmp(thread->szRxBuffer, "E1\x07", 3) == 0;
        thread->hEventRxContinue.Set();
        thread->hEventRxSend.Set();
        thread->hEventRxSend_MB.Set();
    }
    if (bVerbunden) return true;
    ShowMessage("Bitte die Schnittstelle überprüfen bzw.    \ndie Steuerung Aus- und Einschalten!", "keloCOM->Connect",
                MessageIcon::Warning);
    throw WAIT_TIMEOUT_ERROR;
}
