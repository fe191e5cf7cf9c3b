// Replies that arrive after their sender gave up waiting: taken by the link
// as stale, never handed to the next request, and the gates reopen.
#include <chrono>
#include <thread>

#include "common/fehler.h"
#include "support/link_fixture.h"

using namespace cc;
using namespace std::chrono_literals;

namespace {

bool Verworfen(const std::vector<std::string>& log, const std::string& text) {
    return std::find(log.begin(), log.end(), "keloCOM_thread->Execute() :: verspätete Antwort verworfen: " + text) !=
           log.end();
}

TEST_F(LinkFixture, LateFinalAnswerIsNotTheNextRequestsReply) {
    Oeffnen();
    peer_->Expect("T1\r", {{200, "E7" + BEL}});
    peer_->Expect("T0\r", {{0, ACK}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("T1\r", 64); }), WAIT_TIMEOUT_ERROR);
    std::this_thread::sleep_for(300ms);
    com_->SendReqWaitResp("T0\r", 500);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    EXPECT_TRUE(Verworfen(Protokoll(), "E7<BEL>"));
}

TEST_F(LinkFixture, NormalRequestsPassOnceTheLateAnswerIsIn) {
    Oeffnen();
    // The gate opens as soon as the late answer arrives, not after 2000 ms.
    peer_->Expect("T1\r", {{300, ACK}});
    peer_->Expect("T0\r", {{0, "E6" + BEL}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("T1\r", 64); }), WAIT_TIMEOUT_ERROR);
    const auto t0 = std::chrono::steady_clock::now();
    com_->SendReqWaitResp("T0\r", 500);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms);
    EXPECT_EQ(std::string(com_->szResp), "E6" + BEL);
}

TEST_F(LinkFixture, LateNakKeepsTheRequestOpenUntilItsFinalAnswer) {
    Oeffnen();
    peer_->Expect("W500\r", {{100, NAK}, {300, ACK}});
    peer_->Expect("@V\r", {{0, "@V 1" + ACK}});
    peer_->Expect("T1\r", {{0, ACK}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("W500\r", 64); }), WAIT_TIMEOUT_ERROR);
    std::this_thread::sleep_for(200ms);  // the NAK is in, the final answer not yet
    com_->SendReqWaitResp("@V\r", 500);  // "@" requests pass meanwhile
    EXPECT_EQ(std::string(com_->szResp), "@V 1" + ACK);
    com_->SendReqWaitResp("T1\r", 1000);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    const auto log = Protokoll();
    EXPECT_TRUE(Verworfen(log, "<NAK>"));
    EXPECT_TRUE(Verworfen(log, "<ACK>"));
}

TEST_F(LinkFixture, StopAfterAGivenUpMoveReopensTheLink) {
    Oeffnen();
    peer_->Expect("L1,x100\r", {{0, NAK}});
    peer_->Expect("@S\r", {{0, "@RS" + ACK}});
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("L1,x100\r", 500);
    EXPECT_EQ(Fehler([&] { com_->WaitResp(100); }), WAIT_TIMEOUT_ERROR);
    EXPECT_EQ(Fehler([&] { com_->SendReq("T1\r"); }), WAIT_TIMEOUT_ERROR);  // the move still holds the line
    com_->SendReqWaitResp("@S\r", 500);
    // The confirmed stop ends what the move was owed; no request was open,
    // so no "!" is made.
    com_->SendReqWaitResp("T1\r", 500);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    EXPECT_FALSE(Verworfen(Protokoll(), "!"));
}

TEST_F(LinkFixture, LateAtReplyIsNotTheNextAtRequestsReply) {
    Oeffnen();
    peer_->Expect("@V\r", {{150, "@V old" + ACK}});
    peer_->Expect("@X\r", {{0, "@X IMMMMM" + ACK}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("@V\r", 64); }), WAIT_TIMEOUT_ERROR);
    std::this_thread::sleep_for(250ms);
    com_->SendReqWaitResp("@X\r", 500);
    EXPECT_EQ(std::string(com_->szResp), "@X IMMMMM" + ACK);
}

TEST_F(LinkFixture, WaitingAgainForTheSameRequestStillGetsItsAnswer) {
    Oeffnen();
    peer_->Expect("W50\r", {{0, NAK}, {200, ACK}});
    com_->SendReqWaitResp("W50\r", 500);
    EXPECT_EQ(Fehler([&] { com_->WaitResp(64); }), WAIT_TIMEOUT_ERROR);
    com_->WaitResp(1000);
    EXPECT_EQ(std::string(com_->szResp), ACK);
}

}  // namespace

namespace {

TEST_F(LinkFixture, NoiseThatLooksLikeAReplyIsNotTheNextRequestsReply) {
    Oeffnen();
    peer_->Send("xq7" + CR);
    std::this_thread::sleep_for(100ms);  // complete and held by now
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("T1\r", 500);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    const auto log = Protokoll();
    EXPECT_NE(std::find(log.begin(), log.end(), "keloCOM_thread->Execute() :: unerwartete Antwort verworfen: xq7<CR>"),
              log.end());
}

TEST_F(LinkFixture, NoiseWithoutAnEndDoesNotSpoilTheNextReply) {
    Oeffnen();
    peer_->Send("xq7");
    std::this_thread::sleep_for(100ms);
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("T1\r", 500);
    EXPECT_EQ(std::string(com_->szResp), ACK);
}

TEST_F(LinkFixture, AGoneLineEndsTheWaitAtOnce) {
    Oeffnen();
    peer_->Expect("L1,x100\r", {{0, NAK}});
    com_->SendReqWaitResp("L1,x100\r", 500);
    peer_->Hangup();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Fehler([&] { com_->WaitResp(300000); }), WAIT_FAILED_ERROR);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    const auto log = Protokoll();
    EXPECT_NE(std::find(log.begin(), log.end(), "keloCOM->WaitResp() :: WAIT_FAILED"), log.end());
}

TEST_F(LinkFixture, ARequestWatchingForResetsIsRefusedAfterOne) {
    Oeffnen();
    peer_->Expect("@R\r", {{0, "@RS" + ACK}});
    peer_->Expect("L1,X1\r", {{0, ACK}});
    const uint32_t stand = com_->iResets;
    com_->SendReqWaitResp("@R\r", 500);
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("L1,X1\r", 500, &stand); }), ACK_ERROR);
    EXPECT_EQ(peer_->Received(), "@R\r");
    com_->SendReqWaitResp("L1,X1\r", 500);  // the gate was handed back
}

TEST_F(LinkFixture, AnAbortedRoutinesOwedAnswerDoesNotBlockTheLink) {
    Oeffnen();
    peer_->Expect("L1,x1\r", {{0, NAK}, {200, ACK}});
    peer_->Expect("T1\r", {{0, "E6" + BEL}});
    com_->SendReqWaitResp("L1,x1\r", 500);  // the caller wanted ACK and gives up
    com_->Abbrechen();
    com_->SendReqWaitResp("T1\r", 1000);  // passes once the owed answer is in
    EXPECT_EQ(std::string(com_->szResp), "E6" + BEL);
}

}  // namespace
