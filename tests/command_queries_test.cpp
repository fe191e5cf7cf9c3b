// The "@" queries through the real link: requests, prefix checks and the
// result cut to the caller's buffer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "common/fehler.h"
#include "support/link_fixture.h"

using namespace cc;
using Clock = std::chrono::steady_clock;

namespace {

using Abfrage = std::function<void(TkeloCOM&, char*, size_t)>;

struct Fall {
    const char* name;
    Abfrage abfrage;
    size_t groesse;       // the caller's buffer
    std::string anfrage;  // empty: refused, nothing may reach the line
    std::string antwort;
    int fehler;
    std::string ergebnis;  // on an error the buffer must stay untouched
};

// Failures name the row, not its bytes.
void PrintTo(const Fall& f, std::ostream* os) { *os << f.name; }

const Abfrage V = [](TkeloCOM& k, char* b, size_t n) { k.Version_abfragen(b, n); };
const Abfrage X = [](TkeloCOM& k, char* b, size_t n) { k.Status_abfragen(b, n); };
Abfrage L(char c) {
    return [c](TkeloCOM& k, char* b, size_t n) { k.Position_abfragen(c, b, n); };
}
// The input query has no result of its own; the reply stays in szResp.
Abfrage I(char c) {
    return [c](TkeloCOM& k, char* b, size_t n) {
        k.Eingang_abfragen(c);
        std::snprintf(b, n, "%s", k.szResp);
    };
}

Fall Ok(const char* n, Abfrage a, size_t g, std::string anfrage, std::string antwort, std::string ergebnis) {
    return {n, std::move(a), g, std::move(anfrage), std::move(antwort), 0, std::move(ergebnis)};
}
Fall Falsch(const char* n, Abfrage a, std::string anfrage, std::string antwort, int fehler = COMMUNICATION_ERROR) {
    return {n, std::move(a), 32, std::move(anfrage), std::move(antwort), fehler, ""};
}
// The answer to another query is not taken: the query gets none.
Fall Fremd(const char* n, Abfrage a, std::string anfrage, std::string antwort) {
    return Falsch(n, std::move(a), std::move(anfrage), std::move(antwort), WAIT_TIMEOUT_ERROR);
}
Fall Weg(const char* n, Abfrage a, size_t g = 32) { return {n, std::move(a), g, "", "", OUT_OF_RANGE, ""}; }

constexpr char kUnberuehrt = '#';
constexpr size_t kWache = 8;

class command_queries : public LinkFixture, public ::testing::WithParamInterface<Fall> {};

TEST_P(command_queries, SendsJudgesAndExtracts) {
    const Fall& f = GetParam();
    Oeffnen();
    if (!f.anfrage.empty()) peer_->Expect(f.anfrage, {{0, f.antwort}});
    std::string puffer(f.groesse + kWache, kUnberuehrt);
    EXPECT_EQ(Fehler([&] { f.abfrage(*com_, puffer.data(), f.groesse); }), f.fehler);
    EXPECT_EQ(peer_->Received(), f.anfrage);
    if (f.fehler == 0) {
        EXPECT_EQ(std::string(puffer.c_str()), f.ergebnis);
        EXPECT_EQ(puffer.substr(f.groesse), std::string(kWache, kUnberuehrt));
    } else {
        EXPECT_EQ(puffer, std::string(f.groesse + kWache, kUnberuehrt));
    }
    if (f.anfrage.empty()) {
        EXPECT_STREQ(com_->szReq, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Version, command_queries,
    ::testing::Values(
        Ok("Text", V, 32, "@V\r", "@V ABC" + ACK, "ABC"),
        Ok("EndedByBel", V, 32, "@V\r", "@V 2.1" + BEL, "2.1"),
        Ok("PrefixAndBelOnly", V, 32, "@V\r", "@V " + BEL, ""),
        Ok("PrefixAndAckOnly", V, 32, "@V\r", "@V " + ACK, ""),
        Ok("BufferJustFits", V, 4, "@V\r", "@V ABC" + ACK, "ABC"),
        Ok("BufferOneShort", V, 3, "@V\r", "@V ABC" + ACK, "AB"),
        Ok("BufferOfOne", V, 1, "@V\r", "@V ABC" + ACK, ""),
        Ok("LongestAtReply", V, 32, "@V\r", "@V " + std::string(27, 'v') + ACK, std::string(27, 'v')),
        Falsch("NoBlank", V, "@V\r", "@VABC" + ACK),
        Fremd("OtherQuery", V, "@V\r", "@X ABC" + ACK),
        Weg("BufferOfZero", V, 0),
        Weg("NoBuffer", [](TkeloCOM& k, char*, size_t n) { k.Version_abfragen(nullptr, n); })),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Status, command_queries,
    ::testing::Values(
        Ok("SixCharacters", X, 7, "@X\r", "@X 012345" + ACK, "012345"),
        Ok("SevenCutToTheBuffer", X, 7, "@X\r", "@X 0123456" + ACK, "012345"),
        Ok("PrefixAndBelOnly", X, 7, "@X\r", "@X " + BEL, ""),
        Falsch("NoBlank", X, "@X\r", "@X012345" + ACK),
        Fremd("VersionReply", X, "@X\r", "@V 012345" + ACK),
        Weg("BufferOfZero", X, 0)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Position, command_queries,
    ::testing::Values(
        Ok("X", L('x'), 32, "@Lx\r", "@Lx 150" + ACK, "150"),
        Ok("Y", L('y'), 32, "@Ly\r", "@Ly 100" + ACK, "100"),
        Ok("Z", L('z'), 32, "@Lz\r", "@Lz 0" + BEL, "0"),
        Ok("U", L('u'), 32, "@Lu\r", "@Lu -20" + ACK, "-20"),
        Ok("PrefixAndBelOnly", L('y'), 32, "@Ly\r", "@Ly " + BEL, ""),
        Ok("CutToTheBuffer", L('x'), 4, "@Lx\r", "@Lx -12345" + ACK, "-12"),
        Fremd("WrongAxis", L('y'), "@Ly\r", "@Lx 100" + ACK),
        Falsch("NoBlank", L('y'), "@Ly\r", "@Ly100" + ACK),
        Weg("NulAxis", L('\0')),
        Weg("BufferOfZero", L('x'), 0)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Eingang, command_queries,
    ::testing::Values(
        Ok("IoTestLetter", I('G'), 32, "@IG\r", "@IG 1" + ACK, "@IG 1" + ACK),
        Ok("Digit", I('3'), 32, "@I3\r", "@I3 0" + ACK, "@I3 0" + ACK),
        Ok("HexLetter", I('F'), 32, "@IF\r", "@IF " + BEL, "@IF " + BEL),
        Fremd("WrongInput", I('G'), "@IG\r", "@I3 1" + ACK),
        Falsch("NoBlank", I('G'), "@IG\r", "@IG1" + ACK),
        Weg("NulInput", I('\0'))),
    [](const auto& info) { return std::string(info.param.name); });

// A silent controller: each query gives up after its own reply time.
struct Zeit {
    const char* name;
    Abfrage abfrage;
    std::string anfrage;
    long long ms;
};

void PrintTo(const Zeit& z, std::ostream* os) { *os << z.name; }

class command_query_times : public LinkFixture, public ::testing::WithParamInterface<Zeit> {};

TEST_P(command_query_times, TimesOutAfterItsReplyTime) {
    const Zeit& z = GetParam();
    Oeffnen();
    char puffer[32] = "unchanged";
    const auto t0 = Clock::now();
    EXPECT_EQ(Fehler([&] { z.abfrage(*com_, puffer, sizeof puffer); }), WAIT_TIMEOUT_ERROR);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(ms, z.ms - 1);
    EXPECT_LT(ms, z.ms + 500);
    EXPECT_EQ(peer_->Received(), z.anfrage);
    EXPECT_STREQ(puffer, "unchanged");
}

INSTANTIATE_TEST_SUITE_P(Silent, command_query_times,
                         ::testing::Values(Zeit{"Version", V, "@V\r", 64}, Zeit{"Status", X, "@X\r", 20},
                                           Zeit{"Position", L('z'), "@Lz\r", 40},
                                           Zeit{"Eingang", I('5'), "@I5\r", 128}),
                         [](const auto& info) { return std::string(info.param.name); });

class command_version_log : public LinkFixture {
protected:
    static constexpr const char* kZeile = "keloCOM->Version_abfragen()";
    size_t Position(const std::string& zeile) const {
        const auto z = Protokoll();
        return static_cast<size_t>(std::find(z.begin(), z.end(), zeile) - z.begin());
    }
};

TEST_F(command_version_log, LineIsWrittenBeforeTheTransactionFails) {
    Oeffnen();
    char puffer[32];
    EXPECT_EQ(Fehler([&] { com_->Version_abfragen(puffer, sizeof puffer); }), WAIT_TIMEOUT_ERROR);
    EXPECT_LT(Position(kZeile), Position("keloCOM->WaitResp_MB() :: WAIT_TIMEOUT"));
    EXPECT_LT(Position("keloCOM->WaitResp_MB() :: WAIT_TIMEOUT"), Protokoll().size());
}

TEST_F(command_version_log, LineIsWrittenEvenWithoutAPort) {
    char puffer[32];
    EXPECT_EQ(Fehler([&] { com_->Version_abfragen(puffer, sizeof puffer); }), HANDLE_COM_PORT_ERROR);
    EXPECT_LT(Position(kZeile), Protokoll().size());
}

TEST_F(command_version_log, OnlyTheVersionQueryWritesALine) {
    Oeffnen();
    peer_->Expect("@X\r", {{0, "@X 012345" + ACK}});
    peer_->Expect("@Lx\r", {{0, "@Lx 1" + ACK}});
    peer_->Expect("@I0\r", {{0, "@I0 1" + ACK}});
    peer_->Expect("@V\r", {{0, "@V 1.0" + ACK}});
    char puffer[32];
    const size_t vorher = Protokoll().size();
    com_->Status_abfragen(puffer, sizeof puffer);
    com_->Position_abfragen('x', puffer, sizeof puffer);
    com_->Eingang_abfragen('0');
    EXPECT_EQ(Protokoll().size(), vorher);
    com_->Version_abfragen(puffer, sizeof puffer);
    EXPECT_EQ(Protokoll().size(), vorher + 1);
    EXPECT_EQ(Protokoll().back(), kZeile);
}

}  // namespace
