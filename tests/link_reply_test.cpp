// How the receive thread cuts the byte stream into replies: each row feeds
// bytes and lists the replies handed over, on either channel, in order.
#include <cstring>

#include "link/keloCOMv1_empfang.h"
#include "support/link_fixture.h"

using namespace cc;

namespace {

// One reply handed over: on the "@" channel or the normal one.
struct Uebergabe {
    bool at;
    std::string text;
    bool operator==(const Uebergabe&) const = default;
};

// The assembly alone, taking every reply as it is handed over; every
// "@RS" ACK counts as our own stop ending an open request.
class Mitschrift : public TEmpfang {
public:
    std::vector<Uebergabe> replies;

private:
    void Uebergeben() override { replies.push_back({false, szRxBuffer}); }
    bool Uebergeben_MB() override {
        replies.push_back({true, szRxBuffer_MB});
        return std::memcmp(szRxBuffer_MB, "@RS\x06", 4) == 0;
    }
    void Uebergeben_Ausruf() override { Uebergeben(); }
    void ResetPause() override {}
};

struct ReplyCase {
    const char* name;
    std::string input;
    std::vector<Uebergabe> replies;  // in the order the thread hands them over
};

Uebergabe N(const std::string& text) { return {false, text}; }
Uebergabe A(const std::string& text) { return {true, text}; }

class ReplyAssembly : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyAssembly, HandsOverTheExpectedReplies) {
    const ReplyCase& c = GetParam();
    Mitschrift m;
    for (char ch : c.input) m.ZeichenVerarbeiten(ch);
    ASSERT_EQ(m.replies.size(), c.replies.size());
    for (size_t i = 0; i < c.replies.size(); ++i) {
        EXPECT_EQ(m.replies[i].at, c.replies[i].at) << i;
        EXPECT_EQ(m.replies[i].text, c.replies[i].text) << i;
    }
}

const std::string k300(300, 'A');

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyAssembly,
    ::testing::Values(
        ReplyCase{"ControllerError", "E1" + BEL, {N("E1" + BEL)}},
        ReplyCase{"LoneAck", ACK, {N(ACK)}},
        ReplyCase{"NakThenFinal", NAK + "E7" + BEL, {N(NAK), N("E7" + BEL)}},
        ReplyCase{"EchoEndingInNak", "*PE3" + NAK + ACK, {N("*PE3" + NAK), N(ACK)}},
        ReplyCase{"StartsWithCr", CR + "OK" + CR, {N(CR + "OK" + CR)}},
        ReplyCase{"AtReplyInsideNormal", "V1@X 1" + ACK + ".0" + ETX, {A("@X 1" + ACK), N("V1.0" + ETX)}},
        ReplyCase{"ResetCompletesPending", "V1.0@RS" + ACK, {A("@RS" + ACK), N("V1.0!")}},
        ReplyCase{"ResetAfterNakGivesBang", NAK + "@RS" + ACK, {N(NAK), A("@RS" + ACK), N("!")}},
        ReplyCase{"HaltDoesNotCompletePending", "V1@B" + ACK + "x" + CR, {A("@B" + ACK), N("V1x" + CR)}},
        ReplyCase{"AtInsideAtReplyStartsAgain", "@@" + ACK + "E1" + BEL, {A("@" + ACK), N("E1" + BEL)}},
        ReplyCase{"ResetAfterACutAtReplyStillCompletes", "P1@X@RS" + ACK, {A("@RS" + ACK), N("P1!")}},
        ReplyCase{"OverlongIsCutAndTerminated", k300 + CR, {N(std::string(261, 'A'))}},
        ReplyCase{"FullReplyStillEndsWithBangOnReset", std::string(270, 'B') + "@RS" + ACK,
                  {A("@RS" + ACK), N(std::string(260, 'B') + "!")}},
        ReplyCase{"AtReplyOf32CharactersKeepsItsEnd", "@V " + std::string(28, 'v') + ACK,
                  {A("@V " + std::string(28, 'v') + ACK)}},
        ReplyCase{"OverlongAtReplyIsCut", "@V " + std::string(60, 'v') + ACK, {A("@V " + std::string(29, 'v'))}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkFixture, AtReplyWhileIdleReturnsToIdle) {
    Oeffnen();
    peer_->Expect("@B\r", {{0, "@B" + ACK}});
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("@B\r", 1000);
    EXPECT_EQ(std::string(com_->szResp), "@B" + ACK);
    com_->SendReqWaitResp("T1\r", 1000);
    EXPECT_EQ(std::string(com_->szResp), ACK);
}

}  // namespace
