#include "link/keloCOMv1_thread.h"

#include <chrono>
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
        if (!ZeichenLesen(c)) continue;
        if (bTeilVerwerfen_.exchange(false)) TeilVerwerfen();
        ZeichenVerarbeiten(static_cast<char>(c));
    }
    platform::Event* events[] = {&hEventThreadRun, &hEventRxSend, &hEventRxSend_MB, &hEventRxCompl,
                                 &hEventRxCompl_MB, &hEventRxContinue, &hEventRxContinue_MB};
    for (platform::Event* e : events) keloCloseHandle(e);
    hEventThreadEnd.Set();
}

bool TkeloCOM_thread::ZeichenLesen(unsigned char& c) {
    switch (hCom_->ReadByte(hEventRead, c)) {
    case platform::SerialPort::ReadResult::Byte:
        if (bLesefehlerGemeldet_) hEventLeitungWeg.Reset();
        bLesefehlerGemeldet_ = false;
        return true;
    case platform::SerialPort::ReadResult::Cancelled:
        return false;
    case platform::SerialPort::ReadResult::Failed:
        break;
    }
    if (!bLesefehlerGemeldet_) {
        bLesefehlerGemeldet_ = true;
        hEventLeitungWeg.Set();
        const std::string line =
            "keloCOM_thread->Execute() :: ReadFile GetLastError()=" + std::to_string(platform::LastError());
        Protokolldatei_schreiben(line.c_str());
    }
    hEventRead.Wait(kLesefehlerPauseMS);
    return false;
}

// Bytes without an end that came before the request: the reply starts anew.
// So does an "@" reply begun while no "@" request is owed: noise with an "@".
void TkeloCOM_thread::TeilVerwerfen() {
    const char* teil = nullptr;
    if (iRxState == RX_COLLECT_MB && !AtAusstehend()) {
        teil = szRxBuffer_MB;
    } else if (iRxState == RX_COLLECT || (iRxState == RX_COLLECT_MB && iRxStateSaved == RX_COLLECT)) {
        teil = szRxBuffer;
    }
    if (!teil) return;
    Protokolldatei_schreiben(
        ("keloCOM_thread->Execute() :: unvollständige Antwort verworfen: " + std::string(teil)).c_str());
    if (iRxState == RX_COLLECT_MB && teil == szRxBuffer) {
        iRxStateSaved = RX_IDLE;
    } else {
        iRxState = RX_IDLE;
    }
}

void TkeloCOM_thread::Uebergeben() { Uebergabe(false); }

void TkeloCOM_thread::Uebergeben_MB() { Uebergabe(true); }

void TkeloCOM_thread::ResetPause() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }
