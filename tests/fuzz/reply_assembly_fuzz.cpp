// Feeds arbitrary bytes from the line into the reply assembly and checks
// what the senders rely on. The hooks play the consumer: each copies the
// reply as the link does and returns, i.e. takes it at once.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/zeichen.h"
#include "link/keloCOMv1_empfang.h"

namespace {

using zeichen::ACK, zeichen::BEL, zeichen::NAK;

void Pruefen(bool ok, const char* was) {
    if (ok) return;
    std::fprintf(stderr, "reply_assembly_fuzz: %s\n", was);
    std::abort();
}

bool BeendetNormal(char c) {
    return c == 0x02 || c == 0x03 || c == ACK || c == BEL || c == 0x0D || c == NAK;
}

bool BeendetMB(char c) { return c == ACK || c == BEL; }

bool IstZwischenzustand(int16_t s) { return s == RX_IDLE || s == RX_COLLECT || s == RX_COLLECT_MB; }

// What the consumer copies: the text up to the first NUL, at most size - 1.
std::string Kopie(const char* puffer, std::size_t groesse) {
    Pruefen(std::memchr(puffer, 0, groesse) != nullptr, "reply not terminated inside its buffer");
    return std::string(puffer, strnlen(puffer, groesse - 1));
}

class Pruefling : public TEmpfang {
public:
    void Zeichen(char c);
    // Whatever came before, the controller's next short answers must bring
    // the receiver back to idle with the normal gate open; otherwise normal
    // senders would be shut out until "Ini".
    void Ausklingen();

private:
    void Uebergeben() override;
    bool Uebergeben_MB() override;
    void Uebergeben_Ausruf() override { Uebergeben(); }
    void ResetPause() override;
    void ErwartungPruefen(char c, int16_t vorher, int16_t gemerktVorher) const;

    char c_ = 0;
    int normal_ = 0;       // hand-overs during the current character
    int mb_ = 0;
    bool rsQuittung_ = false;  // the last "@" reply was "@RS" ACK
    bool resetOffen_ = false;  // ResetPause seen, "!" reply still to come
    bool normalOffen_ = true;  // the normal gate as the consumer leaves it
};

void Pruefling::Zeichen(char c) {
    const int16_t vorher = iRxState;
    const int16_t gemerktVorher = iRxStateSaved;
    c_ = c;
    normal_ = mb_ = 0;
    ZeichenVerarbeiten(c);
    Pruefen(IstZwischenzustand(iRxState), "state between characters not 10, 30 or 60");
    Pruefen(!resetOffen_, "reset pause without the \"!\" reply after it");
    Pruefen(iRxCount >= 0 && iRxCount < kRxBufferSize, "iRxCount outside the buffer");
    Pruefen(iRxCount_MB >= 0 && iRxCount_MB < kRxBufferSize_MB, "iRxCount_MB outside the buffer");
    ErwartungPruefen(c, vorher, gemerktVorher);
}

// How many replies one character may complete, by the state it met.
void Pruefling::ErwartungPruefen(char c, int16_t vorher, int16_t gemerktVorher) const {
    int normal = 0, mb = 0;
    if (c == '@') {
        Pruefen(iRxState == RX_COLLECT_MB, "\"@\" did not start an \"@\" reply");
    } else if (vorher == RX_IDLE) {
        normal = (c == ACK || c == NAK) ? 1 : 0;
    } else if (vorher == RX_COLLECT) {
        normal = BeendetNormal(c) ? 1 : 0;
    } else {
        mb = BeendetMB(c) ? 1 : 0;
        normal = (mb && rsQuittung_ && gemerktVorher == RX_COLLECT) ? 1 : 0;
    }
    Pruefen(normal_ == normal, "wrong number of normal replies handed over");
    Pruefen(mb_ == mb, "wrong number of \"@\" replies handed over");
}

void Pruefling::Uebergeben() {
    Pruefen(normal_ == 0, "two normal replies for one character");
    ++normal_;
    const std::string text = Kopie(szRxBuffer, sizeof szRxBuffer);
    Pruefen(iRxCount >= 1, "empty normal reply handed over");
    Pruefen(std::memchr(szRxBuffer, '@', static_cast<std::size_t>(iRxCount)) == nullptr,
            "\"@\" in the normal buffer");
    const char letztes = szRxBuffer[iRxCount - 1];
    if (resetOffen_) {
        Pruefen(letztes == '!', "reply released by \"@RS\" does not end in \"!\"");
        resetOffen_ = false;
    } else {
        // A full buffer drops the terminator but still ends on it.
        if (iRxCount < kRxBufferSize - 1) Pruefen(letztes == c_, "normal reply does not end on its terminator");
        Pruefen(BeendetNormal(c_), "normal reply handed over without a terminator");
    }
    normalOffen_ = text.empty() || text.back() != NAK;
}

// As the book decides for a stop of ours: "@RS" ACK while a normal reply is
// being collected ends that request with "!".
bool Pruefling::Uebergeben_MB() {
    Pruefen(mb_ == 0 && normal_ == 0, "\"@\" reply not alone");
    ++mb_;
    Kopie(szRxBuffer_MB, sizeof szRxBuffer_MB);
    Pruefen(iRxCount_MB >= 2 && szRxBuffer_MB[0] == '@', "\"@\" reply does not begin with \"@\"");
    Pruefen(BeendetMB(c_), "\"@\" reply handed over without ACK or BEL");
    if (iRxCount_MB < kRxBufferSize_MB - 1)
        Pruefen(szRxBuffer_MB[iRxCount_MB - 1] == c_, "\"@\" reply does not end on its terminator");
    rsQuittung_ = std::memcmp(szRxBuffer_MB, "@RS\x06", 4) == 0;
    return rsQuittung_ && iRxStateSaved == RX_COLLECT;
}

void Pruefling::ResetPause() {
    Pruefen(mb_ == 1 && rsQuittung_, "\"!\" completion without \"@RS\" ACK before it");
    Pruefen(normal_ == 0 && !resetOffen_, "reset pause twice");
    resetOffen_ = true;
}

void Pruefling::Ausklingen() {
    for (int i = 0; i < 3 && !(iRxState == RX_IDLE && normalOffen_); ++i) Zeichen(ACK);
    Pruefen(iRxState == RX_IDLE, "receiver stuck: ACKs no longer bring it back to idle");
    Pruefen(normalOffen_, "normal gate left shut after the line went quiet");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Pruefling pruefling;
    for (std::size_t i = 0; i < size; ++i) pruefling.Zeichen(static_cast<char>(data[i]));
    pruefling.Ausklingen();
    return 0;
}
