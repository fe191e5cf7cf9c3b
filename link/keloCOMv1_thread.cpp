#include "link/keloCOMv1_thread.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "common/handles.h"
#include "common/protokolldatei.h"
#include "platform/last_error.h"
#include "platform/serial_port.h"

namespace {

constexpr char STX = 0x02, ETX = 0x03, ACK = 0x06, BEL = 0x07, CR = 0x0D, NAK = 0x15;

// After a failed read (an adapter pulled out) the thread rests this long, so
// a dead port neither spins a core nor floods the log.
constexpr int64_t kLesefehlerPauseMS = 200;

bool IstEndezeichen(char c) {
    return c == STX || c == ETX || c == ACK || c == BEL || c == CR || c == NAK;
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

void TkeloCOM_thread::ZeichenVerarbeiten(char c) {
    if (c == '@') {
        iRxStateSaved = iRxState;
        iRxState = RX_FIRST_MB;
    } else if (iRxState == RX_IDLE) {
        iRxState = RX_FIRST;
    }
    switch (iRxState) {
    case RX_FIRST:
        NormalLeeren();
        Speichern(c);
        if (c == ACK) {
            Uebergeben();
            iRxState = RX_IDLE;
        } else if (c == NAK) {
            Uebergeben();
            NormalLeeren();
            iRxState = RX_COLLECT;
            iRxStateSaved = RX_COLLECT;
        } else {
            iRxState = RX_COLLECT;
        }
        break;
    case RX_COLLECT:
        Speichern(c);
        if (IstEndezeichen(c)) {
            Uebergeben();
            iRxState = RX_IDLE;
        }
        break;
    case RX_FIRST_MB:
        iRxCount_MB = 0;
        std::memset(szRxBuffer_MB, 0, sizeof szRxBuffer_MB);
        Speichern_MB(c);
        iRxState = RX_COLLECT_MB;
        break;
    case RX_COLLECT_MB:
        Zeichen_MB_Verarbeiten(c);
        break;
    default:
        break;
    }
}

void TkeloCOM_thread::Zeichen_MB_Verarbeiten(char c) {
    Speichern_MB(c);
    if (c != ACK && c != BEL) return;
    Uebergeben_MB();
    if (std::memcmp(szRxBuffer_MB, "@RS\x06", 4) == 0 && iRxStateSaved == RX_COLLECT) {
        // A reset or stop ended the pending request: release its sender too.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        iRxState = RX_IDLE;
        if (iRxCount < kRxBufferSize - 1) {
            Speichern('!');
        } else {
            szRxBuffer[iRxCount - 1] = '!';
        }
        Uebergeben();
    } else {
        iRxState = iRxStateSaved;
    }
}

// One place is always left for the terminating NUL.
void TkeloCOM_thread::Speichern(char c) {
    if (iRxCount < kRxBufferSize - 1) szRxBuffer[iRxCount++] = c;
}

void TkeloCOM_thread::Speichern_MB(char c) {
    if (iRxCount_MB < kRxBufferSize_MB - 1) szRxBuffer_MB[iRxCount_MB++] = c;
}

void TkeloCOM_thread::NormalLeeren() {
    iRxCount = 0;
    std::memset(szRxBuffer, 0, sizeof szRxBuffer);
}

void TkeloCOM_thread::Uebergeben() {
    hEventRxCompl.Set();
    hEventRxContinue.Wait();
}

void TkeloCOM_thread::Uebergeben_MB() {
    hEventRxCompl_MB.Set();
    hEventRxContinue_MB.Wait();
}
