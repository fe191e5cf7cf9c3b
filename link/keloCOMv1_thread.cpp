#include "link/keloCOMv1_thread.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "common/handles.h"
#include "common/protokolldatei.h"
#include "common/steuerzeichen.h"
#include "platform/last_error.h"
#include "platform/serial_port.h"

namespace {

// After a failed read (an adapter pulled out) the thread rests this long, so
// a dead port neither spins a core nor floods the log.
constexpr int64_t kLesefehlerPauseMS = 200;

bool EndetMitNAK(const char* text) {
    const size_t len = std::strlen(text);
    return len > 0 && text[len - 1] == zeichen::NAK;
}

}  // namespace

TkeloCOM_thread::TkeloCOM_thread(bool CreateSuspended, std::shared_ptr<platform::SerialPort> hCom)
    : platform::TThread(true), hCom_(std::move(hCom)) {
    if (!CreateSuspended) Resume();
}

TkeloCOM_thread::~TkeloCOM_thread() {
    Beenden();
    WaitFor();
}

void TkeloCOM_thread::Beenden() {
    Terminate();
    iRxState = RX_IDLE;
    hEventRead.Set();
    // A reply may be waiting for a consumer that gave up; let it go.
    hEventRxContinue.Set();
    hEventRxContinue_MB.Set();
}

void TkeloCOM_thread::Execute() {
    iRxState = RX_IDLE;
    iRxStateSaved = RX_IDLE;
    hEventThreadRun.Set();
    hEventRxSend.Set();
    hEventRxSend_MB.Set();
    while (!Terminated()) {
        unsigned char c = 0;
        if (ZeichenLesen(c)) ZeichenVerarbeiten(static_cast<char>(c));
    }
    platform::Event* events[] = {&hEventThreadRun, &hEventRxSend, &hEventRxSend_MB, &hEventRxCompl,
                                 &hEventRxCompl_MB, &hEventRxContinue, &hEventRxContinue_MB};
    for (platform::Event* e : events) keloCloseHandle(e);
    hEventThreadEnd.Set();
}

bool TkeloCOM_thread::ZeichenLesen(unsigned char& c) {
    switch (hCom_->ReadByte(hEventRead, c)) {
    case platform::SerialPort::ReadResult::Byte:
        bLesefehlerGemeldet_ = false;
        return true;
    case platform::SerialPort::ReadResult::Cancelled:
        return false;
    case platform::SerialPort::ReadResult::Failed:
        break;
    }
    if (!bLesefehlerGemeldet_) {
        bLesefehlerGemeldet_ = true;
        const std::string line =
            "keloCOM_thread->Execute() :: ReadFile GetLastError()=" + std::to_string(platform::LastError());
        Protokolldatei_schreiben(line.c_str());
    }
    hEventRead.Wait(kLesefehlerPauseMS);
    return false;
}

void TkeloCOM_thread::Uebergeben() { Uebergabe(false); }

void TkeloCOM_thread::Uebergeben_MB() { Uebergabe(true); }

void TkeloCOM_thread::ResetPause() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

void TkeloCOM_thread::Uebergabe(bool bMB) {
    {
        std::lock_guard lock(hUebergabe_);
        if (bAufgegeben_[bMB]) {
            Verwerfen(bMB);
            return;
        }
        (bMB ? hEventRxCompl_MB : hEventRxCompl).Set();
    }
    (bMB ? hEventRxContinue_MB : hEventRxContinue).Wait();
}

// Under hUebergabe_.
void TkeloCOM_thread::Verwerfen(bool bMB) {
    const char* text = bMB ? szRxBuffer_MB : szRxBuffer;
    Protokolldatei_schreiben(("keloCOM_thread->Execute() :: verspätete Antwort verworfen: " + std::string(text)).c_str());
    // After a NAK the final answer follows, and it is stale as well.
    if (bMB || !EndetMitNAK(text)) bAufgegeben_[bMB] = false;
    GatesOeffnen(bMB, text);
}

void TkeloCOM_thread::GatesOeffnen(bool bMB, const char* text) {
    if (!bMB) bNormalOffen_ = EndetMitNAK(text);
    if (!bNormalOffen_) hEventRxSend.Set();
    hEventRxSend_MB.Set();
}

void TkeloCOM_thread::Genommen(bool bMB) {
    std::lock_guard lock(hUebergabe_);
    GatesOeffnen(bMB, bMB ? szRxBuffer_MB : szRxBuffer);
}

void TkeloCOM_thread::Warten_beginnt(bool bMB) {
    std::lock_guard lock(hUebergabe_);
    bAufgegeben_[bMB] = false;
}

void TkeloCOM_thread::Aufgeben(bool bMB) {
    std::lock_guard lock(hUebergabe_);
    bAufgegeben_[bMB] = true;
    // Handed over at the very moment the wait ended: stale all the same.
    if ((bMB ? hEventRxCompl_MB : hEventRxCompl).Wait(0) == platform::WaitResult::Signalled) {
        Verwerfen(bMB);
        (bMB ? hEventRxContinue_MB : hEventRxContinue).Set();
        return;
    }
    // The other channel has its own buffer: a late reply here cannot reach it.
    if (bMB) {
        if (!bNormalOffen_) hEventRxSend.Set();
    } else {
        bNormalOffen_ = true;
        hEventRxSend_MB.Set();
    }
}
