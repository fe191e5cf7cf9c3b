#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "common/fehler.h"
#include "support/link_fixture.h"

// One row of a command table: call a command of the link, expect exactly
// these bytes on the wire, answer them, expect this error code.
using Befehl = std::function<void(TkeloCOM&)>;

struct Fall {
    const char* name;
    Befehl befehl;
    std::string anfrage;  // empty: refused, nothing may reach the line
    std::string antwort;
    int fehler;
};

// Failures name the row, not its bytes.
inline void PrintTo(const Fall& f, std::ostream* os) { *os << f.name; }

inline Fall Ok(const char* n, Befehl b, std::string anfrage, std::string antwort = cc::ACK) {
    return {n, std::move(b), std::move(anfrage), std::move(antwort), 0};
}
inline Fall Falsch(const char* n, Befehl b, std::string anfrage, std::string antwort, int fehler) {
    return {n, std::move(b), std::move(anfrage), std::move(antwort), fehler};
}
inline Fall Weg(const char* n, Befehl b, int fehler = OUT_OF_RANGE) { return {n, std::move(b), "", "", fehler}; }

class BefehlsTabelle : public LinkFixture, public ::testing::WithParamInterface<Fall> {
protected:
    void Pruefen() {
        const Fall& f = GetParam();
        Oeffnen();
        if (!f.anfrage.empty()) peer_->Expect(f.anfrage, {{0, f.antwort}});
        EXPECT_EQ(Fehler([&] { f.befehl(*com_); }), f.fehler);
        EXPECT_EQ(peer_->Received(), f.anfrage);
        // SendReq copies before it writes: an empty szReq proves nothing was sent.
        if (f.anfrage.empty()) {
            EXPECT_STREQ(com_->szReq, "");
        }
    }
};
