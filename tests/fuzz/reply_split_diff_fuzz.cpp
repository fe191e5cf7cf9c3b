// Two readings of where the controller's replies end: the link's reply
// assembly and the simulator's client-side splitter, written apart on
// purpose. Fed the same bytes, they must hand over the same replies, in the
// same order, on the same channel.
//
// Compared only where both are meant to agree:
// - no NUL: the link keeps replies as C strings, the splitter as bytes;
// - replies that fit the link's buffers (261 and 32 characters); it cuts
//   longer ones, the splitter does not;
// - "@" always begins an "@" reply, and "@RS" ACK makes the "!" exactly when
//   a normal reply is unfinished: the link asks its book for both, which
//   the splitter has not.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/keloCOMv1_empfang.h"
#include "sim/reply_splitter.h"

namespace {

using Piece = sim::ReplySplitter::Piece;

class Assembly : public TEmpfang {
public:
    void Feed(char c) { ZeichenVerarbeiten(c); }
    // Room for the next byte and a "!" in either buffer.
    bool Room() const { return iRxCount < kRxBufferSize - 3 && iRxCount_MB < kRxBufferSize_MB - 3; }
    std::vector<Piece> pieces;

private:
    void Uebergeben() override { pieces.push_back({std::string(szRxBuffer, strnlen(szRxBuffer, kRxBufferSize)), false}); }
    bool Uebergeben_MB() override {
        pieces.push_back({std::string(szRxBuffer_MB, strnlen(szRxBuffer_MB, kRxBufferSize_MB)), true});
        return std::memcmp(szRxBuffer_MB, "@RS\x06", 4) == 0 && iRxStateSaved == RX_COLLECT;
    }
    void Uebergeben_Ausruf() override { Uebergeben(); }
    void ResetPause() override {}
};

std::string Shown(const std::vector<Piece>& pieces) {
    std::string text;
    for (const Piece& p : pieces) {
        text += p.immediate ? "  @ " : "  n ";
        for (const unsigned char c : p.text) {
            char hex[8];
            std::snprintf(hex, sizeof hex, c < 0x20 || c > 0x7e ? "<%02x>" : "%c", c);
            text += hex;
        }
        text += "\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (std::memchr(data, 0, size)) return 0;
    Assembly link;
    sim::ReplySplitter splitter;
    for (size_t i = 0; i < size && link.Room(); ++i) {
        const char c = static_cast<char>(data[i]);
        link.Feed(c);
        splitter.Feed(std::string_view(&c, 1));
    }
    const std::vector<Piece> split = splitter.Take();
    if (split == link.pieces) return 0;
    std::fprintf(stderr, "reply_split_diff_fuzz: the readings disagree\nlink:\n%ssimulator:\n%s",
                 Shown(link.pieces).c_str(), Shown(split).c_str());
    std::abort();
}
