#include "link/keloCOMv1_thread.h"

#include <chrono>
#include <string>
#include <thread>

#include "common/handles.h"
#include "common/protokolldatei.h"
#include "link/leitungsbeobachter.h"
#include "platform/last_error.h"
#include "platform/serial_port.h"

namespace {

// After a failed read (an adapter pulled out) the thread rests this long, so
// a dead port neither spins a core nor floods the log.
constexpr int64_t kLesefehlerPauseMS = 200;

}  // namespace

TkeloCOM_thread::TkeloCOM_thread(bool CreateSuspended, std::shared_ptr<platform::SerialPort> hCom,
                                 TLeitungsbeobachter* beobachter)
    : hCom_(std::move(hCom)), beobachter_(beobachter) {
    if (!CreateSuspended) Resume();
}

TkeloCOM_thread::~TkeloCOM_thread() { Stoppen(); }

void TkeloCOM_thread::Wecken() { hEventRead.Set(); }

void TkeloCOM_thread::Execute() {
    iRxState = RX_IDLE;
    iRxStateSaved = RX_IDLE;
    {
        std::lock_guard lock(hBuch_);
        GatesNachfuehren();
    }
    hEventThreadRun.Set();
    while (!Terminated()) {
        unsigned char c = 0;
        if (!ZeichenLesen(c)) continue;
        iLetztesByte_ = Jetzt();
        if (bTeilVerwerfen_.exchange(false)) TeilVerwerfen();
        ZeichenVerarbeiten(static_cast<char>(c));
        bNormalBegonnen_ = NormalBegonnen();
    }
    verwurf_.Abschliessen();
    platform::Event* events[] = {&hEventThreadRun, &hEventRxSend, &hEventRxSend_MB, &hEventRxCompl, &hEventRxCompl_MB};
    for (platform::Event* e : events) keloCloseHandle(e);
    hEventThreadEnd.Set();
}

bool TkeloCOM_thread::ZeichenLesen(unsigned char& c) {
    switch (hCom_->ReadByte(hEventRead, c)) {
    case platform::SerialPort::ReadResult::Byte:
        if (beobachter_) beobachter_->Empfangen(c);
        Leitung(false);
        return true;
    case platform::SerialPort::ReadResult::Idle:
        // The port waits without error: a single failed read is over.
        Leitung(false);
        return false;
    case platform::SerialPort::ReadResult::Cancelled:
        return false;
    case platform::SerialPort::ReadResult::Failed:
        break;
    }
    if (!bLesefehler_) {
        const std::string line =
            "keloCOM_thread->Execute() :: ReadFile GetLastError()=" + std::to_string(platform::LastError());
        Protokolldatei_schreiben(line.c_str());
        Leitung(true);
    }
    hEventRead.Wait(kLesefehlerPauseMS);
    return false;
}

// Logged once per run of failed reads.
void TkeloCOM_thread::Leitung(bool bWeg) {
    if (bWeg == bLesefehler_) return;
    bLesefehler_ = bWeg;
    if (beobachter_) beobachter_->Leitung(bWeg);
    Melden(buch::kKeiner, bWeg ? buch::Ereignis::LeitungWeg : buch::Ereignis::LeitungWieder, buch::kNormal);
    if (bWeg) {
        hEventLeitungWeg.Set();
    } else {
        hEventLeitungWeg.Reset();
    }
}

void TkeloCOM_thread::TeilVerwerfen() {
    bool bMBErwartet = false;
    {
        std::lock_guard lock(hBuch_);
        bMBErwartet = buch_.MB_TeilErwartet(szRxBuffer_MB);
    }
    if (const char* teil = Teil_verwerfen(bMBErwartet))
        verwurf_.Schreiben("keloCOM_thread->Execute() :: unvollständige Antwort verworfen: " + std::string(teil));
}

// The pause counts from when the "@RS" was taken, so that its sender shows
// it before the "!" it released; a sender that gave up takes nothing, hence
// the bound.
void TkeloCOM_thread::ResetPause() {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAbholungMS);
    while (std::chrono::steady_clock::now() < ende) {
        {
            std::lock_guard lock(hBuch_);
            if (postfach_MB_.empty()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}
