#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/event.h"
#include "platform/thread.h"

namespace platform {
class SerialPort;
}

// Receive states between characters.
enum : int16_t {
    RX_IDLE = 10,
    RX_FIRST = 20,
    RX_COLLECT = 30,
    RX_FIRST_MB = 50,
    RX_COLLECT_MB = 60,
};

// The link's only reader of the port. Assembles normal replies and "@"
// replies in two buffers and hands each one over through events; also owns
// the two send gates.
class TkeloCOM_thread : public platform::TThread {
public:
    static constexpr int kRxBufferSize = 260;
    static constexpr int kRxBufferSize_MB = 32;

    TkeloCOM_thread(bool CreateSuspended, std::shared_ptr<platform::SerialPort> hCom);
    ~TkeloCOM_thread() override;

    // Asks the thread to end and releases every wait it may be in.
    void Beenden();

    char szRxBuffer[kRxBufferSize] = {};
    char szRxBuffer_MB[kRxBufferSize_MB] = {};
    int32_t iRxCount = 0;
    int32_t iRxCount_MB = 0;
    std::atomic<int16_t> iRxState{RX_IDLE};
    int16_t iRxStateSaved = RX_IDLE;

    // Manual reset: ends the pending read.
    platform::Event hEventRead{platform::Event::Mode::ManualReset};

    platform::Event hEventThreadRun{platform::Event::Mode::AutoReset};
    platform::Event hEventRxSend{platform::Event::Mode::AutoReset};
    platform::Event hEventRxSend_MB{platform::Event::Mode::AutoReset};
    platform::Event hEventRxCompl{platform::Event::Mode::AutoReset};
    platform::Event hEventRxCompl_MB{platform::Event::Mode::AutoReset};
    platform::Event hEventRxContinue{platform::Event::Mode::AutoReset};
    platform::Event hEventRxContinue_MB{platform::Event::Mode::AutoReset};
    platform::Event hEventThreadEnd{platform::Event::Mode::AutoReset};

protected:
    void Execute() override;

private:
    bool ZeichenLesen(unsigned char& c);
    void ZeichenVerarbeiten(char c);
    void Zeichen_MB_Verarbeiten(char c);
    void Speichern(char c);
    void Speichern_MB(char c);
    void NormalLeeren();
    void Uebergeben();
    void Uebergeben_MB();

    std::shared_ptr<platform::SerialPort> hCom_;
    bool bLesefehlerGemeldet_ = false;
};
