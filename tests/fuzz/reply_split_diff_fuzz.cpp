// Feeds the same bytes to the simulator's reply splitter and to the link's
// reply assembly and aborts when they cut the stream differently: which
// replies, on which channel, ending at which byte, holding which bytes, and
// at the end which bytes of a normal reply are still waiting for their end.
//
// Compared only where both readings are meant to agree:
// - every "@" begins an "@" reply: the link is played as owing an "@" answer
//   all the time, so no "@" counts as text of a stored line;
// - "@RS" ACK is a reset of ours exactly when a normal reply is being
//   collected, which is all the splitter can know without the requests;
// - no request goes out amid the stream, so nothing is dropped as noise.
// The link keeps at most 261 bytes of a normal reply and 32 of an "@" reply;
// past that, only the kept bytes but the last (where a "!" may sit) are
// compared with the splitter's.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "link/keloCOMv1_empfang.h"
#include "sim/reply_splitter.h"

namespace {

struct Stueck {
    bool immediate = false;
    std::string text;
    std::size_t ende = 0;  // index of the byte that completed it
};

// The link's assembly with the hooks of a console that owns every request.
class Montage : public TEmpfang {
public:
    std::vector<Stueck> stuecke;
    std::size_t pos = 0;

    std::string Offen() const {
        const bool offen = iRxState == RX_COLLECT || (iRxState == RX_COLLECT_MB && iRxStateSaved == RX_COLLECT);
        return offen ? std::string(szRxBuffer, static_cast<std::size_t>(iRxCount)) : std::string();
    }

private:
    void Uebergeben() override {
        stuecke.push_back({false, std::string(szRxBuffer, static_cast<std::size_t>(iRxCount)), pos});
    }
    bool Uebergeben_MB() override {
        stuecke.push_back({true, std::string(szRxBuffer_MB, static_cast<std::size_t>(iRxCount_MB)), pos});
        return iRxCount_MB >= 4 && std::memcmp(szRxBuffer_MB, "@RS\x06", 4) == 0 && iRxStateSaved == RX_COLLECT;
    }
    void Uebergeben_Ausruf() override { Uebergeben(); }
    void ResetPause() override {}
};

std::string Hex(const std::string& s) {
    std::string out;
    char b[4];
    for (const unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += (out.empty() ? "" : " ") + std::string(b);
    }
    return out.empty() ? "(none)" : out;
}

// The link's text against the splitter's, allowing for the link's buffer.
bool Gleich(const std::string& sim, const std::string& link, std::size_t groesse) {
    if (sim.size() < groesse) return sim == link;
    return link.size() == groesse - 1 && link.compare(0, groesse - 2, sim, 0, groesse - 2) == 0;
}

bool Gleich(const Stueck& sim, const Stueck& link) {
    const std::size_t groesse = sim.immediate ? TEmpfang::kRxBufferSize_MB : TEmpfang::kRxBufferSize;
    return sim.immediate == link.immediate && sim.ende == link.ende && Gleich(sim.text, link.text, groesse);
}

[[noreturn]] void Abbrechen(const std::string& was) {
    std::fprintf(stderr, "reply_split_diff_fuzz: %s\n", was.c_str());
    std::abort();
}

std::string Liste(const std::vector<Stueck>& stuecke) {
    std::string out;
    for (const Stueck& s : stuecke)
        out += "\n    " + std::string(s.immediate ? "@" : "normal") + " ending at byte " + std::to_string(s.ende) +
               ": " + Hex(s.text);
    return out;
}

void Melden(const char* was, const std::vector<Stueck>& sim, const std::vector<Stueck>& link) {
    Abbrechen(std::string(was) + "\n  simulator:" + Liste(sim) + "\n  link:" + Liste(link));
}

// Checks the replies from `ab` on; returns how many are checked.
std::size_t Vergleichen(const std::vector<Stueck>& sim, const std::vector<Stueck>& link, std::size_t ab) {
    if (sim.size() != link.size()) Melden("not the same number of replies", sim, link);
    for (std::size_t i = ab; i < sim.size(); ++i)
        if (!Gleich(sim[i], link[i])) Melden("replies differ", sim, link);
    return sim.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    sim::ReplySplitter splitter;
    Montage montage;
    std::vector<Stueck> sim;
    std::size_t geprueft = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        montage.pos = i;
        montage.ZeichenVerarbeiten(c);
        splitter.Feed(std::string_view(&c, 1));
        for (auto& piece : splitter.Take()) sim.push_back({piece.immediate, std::move(piece.text), i});
        geprueft = Vergleichen(sim, montage.stuecke, geprueft);
    }
    if (!Gleich(splitter.Partial(), montage.Offen(), TEmpfang::kRxBufferSize))
        Abbrechen("unfinished normal reply differs: simulator " + Hex(splitter.Partial()) + ", link " +
                  Hex(montage.Offen()));
    return 0;
}
