#pragma once

#include <atomic>
#include <cstdint>

// Receive states between characters.
enum : int16_t {
    RX_IDLE = 10,
    RX_FIRST = 20,
    RX_COLLECT = 30,
    RX_FIRST_MB = 50,
    RX_COLLECT_MB = 60,
};

// Cuts the controller's byte stream into replies: normal replies in one
// buffer, "@" replies in the other, each handed over when complete. How a
// reply is handed over is the deriving class's business.
class TEmpfang {
public:
    // The longest reply of what the console itself stores, whole: a header
    // read of 254 characters after its echo, with its ACK (261), and the
    // terminator.
    static constexpr int kRxBufferSize = 262;
    // 32 characters of an "@" reply and its terminator.
    static constexpr int kRxBufferSize_MB = 33;

    virtual ~TEmpfang() = default;

    void ZeichenVerarbeiten(char c);
    // A normal request goes out: bytes without an end collected before it are
    // noise, and so is an "@" reply begun that nothing owed can begin like
    // (`bMBErwartet` false). Drops them and returns what was dropped (nullptr:
    // nothing).
    const char* Teil_verwerfen(bool bMBErwartet);
    // Bytes of a normal reply have come, its end not yet (an "@" reply amid it aside).
    bool NormalBegonnen() const;

    // Both always hold a terminated text: one place is kept for the NUL.
    char szRxBuffer[kRxBufferSize] = {};
    char szRxBuffer_MB[kRxBufferSize_MB] = {};
    int32_t iRxCount = 0;
    int32_t iRxCount_MB = 0;
    std::atomic<int16_t> iRxState{RX_IDLE};
    int16_t iRxStateSaved = RX_IDLE;

protected:
    // Hand a complete reply on; the buffer is free again on return.
    virtual void Uebergeben() = 0;
    // True when the "@" reply confirmed a reset or stop of ours that ends an
    // open normal request: its "!" follows through Uebergeben_Ausruf().
    virtual bool Uebergeben_MB() = 0;
    virtual void Uebergeben_Ausruf() = 0;
    // The pause between handing over "@RS" and the "!" it makes.
    virtual void ResetPause() = 0;
    // Whether an "@" begins an "@" reply now, `bMitten` amid a normal reply;
    // otherwise it is text (a stored program line may hold one).
    virtual bool AtBeginnt(bool /*bMitten*/) { return true; }

private:
    void Zeichen_MB_Verarbeiten(char c);
    void Speichern(char c);
    void Speichern_MB(char c);
    void NormalLeeren();
};
