// How the receive thread cuts the byte stream into replies, seen through
// the real port: each row feeds bytes and lists the replies handed over.
#include <cstring>

#include "support/link_fixture.h"

using namespace cc;

namespace {

// One reply handed over: on the "@" channel or the normal one.
struct Uebergabe {
    bool at;
    std::string text;
};

struct ReplyCase {
    const char* name;
    std::string input;
    std::vector<Uebergabe> replies;  // in the order the thread hands them over
};

Uebergabe N(const std::string& text) { return {false, text}; }
Uebergabe A(const std::string& text) { return {true, text}; }

class ReplyAssembly : public LinkFixture, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyAssembly, HandsOverTheExpectedReplies) {
    const ReplyCase& c = GetParam();
    Oeffnen();
    peer_->Expect("X\r", {{0, c.input}});
    com_->SendReq("X\r");
    for (const Uebergabe& u : c.replies) {
        if (u.at) {
            com_->WaitResp_MB(1000);
        } else {
            com_->WaitResp(1000);
        }
        EXPECT_EQ(std::string(com_->szResp), u.text);
    }
    EXPECT_TRUE(peer_->Mismatches().empty());
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
        ReplyCase{"OverlongIsCutAndTerminated", k300 + CR, {N(std::string(259, 'A'))}}),
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

TEST_F(LinkFixture, OverlongAtReplyStaysInsideItsBuffer) {
    Oeffnen();
    peer_->Expect("@V\r", {{0, "@V " + std::string(60, 'v') + ACK}});
    com_->SendReqWaitResp("@V\r", 1000);
    EXPECT_EQ(std::strlen(com_->szResp), 31u);
    EXPECT_EQ(std::string(com_->szResp, 3), "@V ");
}

TEST_F(LinkFixture, FullReplyStillEndsWithBangOnReset) {
    Oeffnen();
    peer_->Expect("L1\r", {{0, std::string(270, 'B')}, {50, "@RS" + ACK}});
    com_->SendReq("L1\r");
    com_->WaitResp_MB(2000);
    com_->WaitResp(2000);
    const std::string resp = com_->szResp;
    ASSERT_EQ(resp.size(), 259u);
    EXPECT_EQ(resp.back(), '!');
}

}  // namespace
