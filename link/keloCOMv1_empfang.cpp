#include "link/keloCOMv1_empfang.h"

#include <cstring>

#include "common/steuerzeichen.h"

namespace {

using namespace zeichen;

bool IstEndezeichen(char c) {
    return c == STX || c == ETX || c == ACK || c == BEL || c == CR || c == NAK;
}

}  // namespace

void TEmpfang::ZeichenVerarbeiten(char c) {
    if (c == '@' && (iRxState == RX_COLLECT_MB || AtBeginnt(iRxState == RX_COLLECT && iRxCount > 0))) {
        // An "@" reply cut off by a new "@" is dropped; keeping the state it
        // interrupted, the receiver cannot get stuck in the "@" channel.
        if (iRxState != RX_COLLECT_MB) iRxStateSaved = iRxState;
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
            // The request stays open: its final answer follows as a reply of its own.
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

void TEmpfang::Zeichen_MB_Verarbeiten(char c) {
    Speichern_MB(c);
    if (c != ACK && c != BEL) return;
    iRxState = iRxStateSaved;
    if (!Uebergeben_MB()) return;
    // A reset or stop of ours ended the open request: release its sender too,
    // with what it has of its reply.
    ResetPause();
    if (iRxStateSaved != RX_COLLECT) NormalLeeren();
    iRxState = RX_IDLE;
    iRxStateSaved = RX_IDLE;
    if (iRxCount < kRxBufferSize - 1) {
        Speichern('!');
    } else {
        szRxBuffer[iRxCount - 1] = '!';
    }
    Uebergeben_Ausruf();
}

const char* TEmpfang::Teil_verwerfen(bool bMBErwartet) {
    const char* teil = nullptr;
    if (iRxState == RX_COLLECT_MB && !bMBErwartet) {
        teil = szRxBuffer_MB;
    } else if (iRxState == RX_COLLECT || (iRxState == RX_COLLECT_MB && iRxStateSaved == RX_COLLECT)) {
        teil = szRxBuffer;
    }
    if (!teil) return nullptr;
    if (iRxState == RX_COLLECT_MB && teil == szRxBuffer) {
        iRxStateSaved = RX_IDLE;
    } else {
        iRxState = RX_IDLE;
    }
    return teil;
}

bool TEmpfang::NormalBegonnen() const {
    const int16_t z = iRxState == RX_COLLECT_MB || iRxState == RX_FIRST_MB ? iRxStateSaved : iRxState.load();
    return z == RX_COLLECT && iRxCount > 0;
}

void TEmpfang::Speichern(char c) {
    if (iRxCount < kRxBufferSize - 1) szRxBuffer[iRxCount++] = c;
}

void TEmpfang::Speichern_MB(char c) {
    if (iRxCount_MB < kRxBufferSize_MB - 1) szRxBuffer_MB[iRxCount_MB++] = c;
}

void TEmpfang::NormalLeeren() {
    iRxCount = 0;
    std::memset(szRxBuffer, 0, sizeof szRxBuffer);
}
