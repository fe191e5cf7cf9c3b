// The transaction: gates, time-outs, judged "@" replies and Connect.
#include <chrono>
#include <future>

#include "common/fehler.h"
#include "support/link_fixture.h"

using namespace cc;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

bool Enthaelt(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(LinkFixture, RequestGoesOutByteForByte) {
    Oeffnen();
    peer_->Expect("#S200\r", {{0, ACK}});
    com_->SendReqWaitResp("#S200\r", 500);
    EXPECT_EQ(peer_->Received(), "#S200\r");
    EXPECT_STREQ(com_->szReq, "#S200\r");
    EXPECT_EQ(std::string(com_->szResp), ACK);
}

TEST_F(LinkFixture, RefusedRequestsSendNothing) {
    EXPECT_EQ(Fehler([&] { com_->SendReq("T1\r"); }), HANDLE_COM_PORT_ERROR);
    Oeffnen();
    EXPECT_EQ(Fehler([&] { com_->SendReq(""); }), SEND_REQ_ERROR);
    const std::string longReq = std::string(127, 'a') + "\r";
    EXPECT_EQ(Fehler([&] { com_->SendReq(longReq.c_str()); }), SEND_REQ_ERROR);
    // 127 characters with the CR is the longest request there is.
    peer_->Expect(std::string(126, 'b') + "\r", {{0, ACK}});
    com_->SendReqWaitResp((std::string(126, 'b') + "\r").c_str(), 500);
    EXPECT_EQ(peer_->Received(), std::string(126, 'b') + "\r");
}

TEST_F(LinkFixture, SecondNormalRequestWaitsForTheGate) {
    Oeffnen();
    com_->SendReq("T1\r");
    const auto t0 = Clock::now();
    EXPECT_EQ(Fehler([&] { com_->SendReq("T0\r"); }), WAIT_TIMEOUT_ERROR);
    EXPECT_GE(MsSince(t0), 1900);
    EXPECT_TRUE(Enthaelt(Protokoll(), "keloCOM->SendReq() :: WAIT_TIMEOUT"));
    EXPECT_EQ(peer_->Received(), "T1\r");
}

TEST_F(LinkFixture, NakLeavesOnlyTheAtGateOpen) {
    Oeffnen();
    peer_->Expect("W500\r", {{0, NAK}});
    peer_->Expect("@V\r", {{0, "@V 1.0" + ACK}});
    com_->SendReqWaitResp("W500\r", 500);
    EXPECT_EQ(std::string(com_->szResp), NAK);
    EXPECT_EQ(Fehler([&] { com_->SendReq("T1\r"); }), WAIT_TIMEOUT_ERROR);
    com_->SendReqWaitResp("@V\r", 500);
    EXPECT_EQ(std::string(com_->szResp), "@V 1.0" + ACK);
    // Still open: a normal request now would be handed the final answer.
    EXPECT_EQ(Fehler([&] { com_->SendReq("T1\r"); }), WAIT_TIMEOUT_ERROR);
    peer_->Send(ACK);
    com_->WaitResp(1000);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("T1\r", 500);
    EXPECT_EQ(std::string(com_->szResp), ACK);
}

TEST_F(LinkFixture, WaitRespMinusTwoOnlyOpensTheGate) {
    Oeffnen();
    peer_->Expect("*PW1\r", {{0, "*PW1" + ACK}});
    com_->SendReqWaitResp("*PW1\r", 500);
    com_->SendReq("Header 1");
    const auto t0 = Clock::now();
    com_->WaitResp(-2);
    EXPECT_LT(MsSince(t0), 50);
    EXPECT_EQ(std::string(com_->szResp), "*PW1" + ACK);
    com_->SendReq("more");  // passes at once
    EXPECT_LT(MsSince(t0), 1000);
}

TEST_F(LinkFixture, TimeOutKeepsThePreviousReply) {
    Oeffnen();
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("T1\r", 500);
    com_->SendReq("T0\r");
    const auto t0 = Clock::now();
    EXPECT_EQ(Fehler([&] { com_->WaitResp(0); }), WAIT_TIMEOUT_ERROR);
    const auto waited = MsSince(t0);
    EXPECT_GE(waited, 60);
    EXPECT_LT(waited, 1000);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    EXPECT_STREQ(com_->szReq, "T0\r");
    EXPECT_TRUE(Enthaelt(Protokoll(), "keloCOM->WaitResp() :: WAIT_TIMEOUT"));
}

TEST_F(LinkFixture, ResetAndHaltAnswersAreJudged) {
    Oeffnen();
    peer_->Expect("@R\r", {{0, "@RS" + ACK}});
    com_->SendReqWaitResp("@R\r", 500);
    // An answer that begins like the request's own is judged...
    peer_->Expect("@R\r", {{0, "@RS" + BEL}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("@R\r", 500); }), COMMUNICATION_ERROR);
    EXPECT_EQ(std::string(com_->szResp), "@RS" + BEL);
    peer_->Expect("@B\r", {{0, "@B" + BEL}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("@B\r", 500); }), COMMUNICATION_ERROR);
    // ...one that begins otherwise answers another request: it is not taken.
    peer_->Expect("@R\r", {{0, "@B" + ACK}});
    EXPECT_EQ(Fehler([&] { com_->SendReqWaitResp("@R\r", 200); }), WAIT_TIMEOUT_ERROR);
    // After a wrong answer the link is released: both channels still work.
    peer_->Expect("@V\r", {{0, "@V anything" + BEL}});
    com_->SendReqWaitResp("@V\r", 500);
    EXPECT_EQ(std::string(com_->szResp), "@V anything" + BEL);
    peer_->Expect("T1\r", {{0, ACK}});
    com_->SendReqWaitResp("T1\r", 500);
}

TEST_F(LinkFixture, StopFromAnotherThreadReleasesTheLongWait) {
    Oeffnen();
    peer_->Expect("L1,x100\r", {{0, NAK}});
    peer_->Expect("@S\r", {{0, "@RS" + ACK}});
    com_->SendReqWaitResp("L1,x100\r", 500);
    const auto fenster = com_->Neuer_Absender();
    auto stopper = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        fenster->SendReqWaitResp("@S\r", 500);
    });
    const auto t0 = Clock::now();
    com_->WaitResp(300000);
    EXPECT_LT(MsSince(t0), 3000);
    EXPECT_EQ(std::string(com_->szResp), "!");
    stopper.get();
}

TEST_F(LinkFixture, ConnectSucceedsAtTheFirstAnswer) {
    Oeffnen();
    peer_->SetResponder([](const std::string& r) {
        return r == "\r" ? std::vector<ScriptedPeer::Reply>{{0, "E1" + BEL}} : std::vector<ScriptedPeer::Reply>{};
    });
    EXPECT_TRUE(com_->Connect());
    EXPECT_EQ(peer_->Requests().size(), 1u);
    EXPECT_TRUE(dialogs_.Boxes().empty());
}

TEST_F(LinkFixture, ConnectToASilentControllerTriesElevenTimes) {
    Oeffnen();
    EXPECT_EQ(Fehler([&] { com_->Connect(); }), WAIT_TIMEOUT_ERROR);
    EXPECT_EQ(peer_->Requests(), std::vector<std::string>(11, "\r"));
    ASSERT_EQ(dialogs_.Boxes().size(), 1u);
    const auto box = dialogs_.Boxes()[0];
    EXPECT_EQ(box.caption, "keloCOM->Connect");
    EXPECT_EQ(box.text, "Bitte die Schnittstelle überprüfen bzw.    \ndie Steuerung Aus- und Einschalten!");
    EXPECT_EQ(box.icon, MessageIcon::Warning);
}

TEST_F(LinkFixture, ConnectWithoutPortShowsTheBox) {
    EXPECT_EQ(Fehler([&] { com_->Connect(); }), WAIT_TIMEOUT_ERROR);
    EXPECT_EQ(dialogs_.Boxes().size(), 1u);
}

}  // namespace
