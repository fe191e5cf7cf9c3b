// Vector moves, reference offset and the immediate controls through the
// real link: composed requests, the request-size limit and reply judgement.
#include <climits>
#include <functional>

#include "common/fehler.h"
#include "support/command_case.h"

using namespace cc;

namespace {

Befehl Xyz(int32_t bRelativ, int8_t i8Index, int32_t x, int32_t y, int32_t z) {
    return [=](TkeloCOM& k) { k.xyzVektor_fahren(bRelativ, i8Index, x, y, z); };
}
Befehl U(int32_t bRelativ, int8_t i8Index, int32_t u) {
    return [=](TkeloCOM& k) { k.uVektor_fahren(bRelativ, i8Index, u); };
}
Befehl O(char cAchse, int32_t iOffset) {
    return [=](TkeloCOM& k) { k.Referenzoffset_einstellen(cAchse, iOffset); };
}
const Befehl Reset = [](TkeloCOM& k) { k.Reset_ausfuehren(); };
const Befehl Stopp = [](TkeloCOM& k) { k.Achsen_stoppen(); };
const Befehl Halt = [](TkeloCOM& k) { k.Achsen_anhalten(); };
const Befehl Pause = [](TkeloCOM& k) { k.Fahrt_unterbrechen(); };
const Befehl Weiter = [](TkeloCOM& k) { k.Pause_beenden(); };


class command_motion : public BefehlsTabelle {};

TEST_P(command_motion, SendsAndJudges) { Pruefen(); }

constexpr int32_t REL = 1, ABS = 0, AUS = 99999;

INSTANTIATE_TEST_SUITE_P(
    Xyz, command_motion,
    ::testing::Values(
        Ok("RelativeLeavesZerosOut", Xyz(REL, 1, 100, 0, -5), "L1,x100,z-5\r", NAK),
        Ok("RelativeOnlyZ", Xyz(REL, 1, 0, 0, 7), "L1,z7\r", NAK),
        Ok("RelativeAllZero", Xyz(REL, 1, 0, 0, 0), "L1,x0,y0,z0\r", NAK),
        Ok("RelativeAnyNonzeroFlag", Xyz(-1, 1, 5, 6, 7), "L1,x5,y6,z7\r", NAK),
        Ok("RelativeKeeps99999", Xyz(REL, 1, AUS, 0, 0), "L1,x99999\r", NAK),
        Ok("AbsoluteLeaves99999Out", Xyz(ABS, 1, AUS, 20, 0), "L1,Y20,Z0\r", NAK),
        Ok("AbsoluteSendsZeros", Xyz(ABS, 1, 0, 0, 7), "L1,X0,Y0,Z7\r", NAK),
        Ok("AbsoluteAllZero", Xyz(ABS, 1, 0, 0, 0), "L1,X0,Y0,Z0\r", NAK),
        Ok("AbsoluteAllLeftOut", Xyz(ABS, 1, AUS, AUS, AUS), "L1\r", NAK),
        Ok("AbsoluteKeeps99998", Xyz(ABS, 1, 99998, -99999, 100000), "L1,X99998,Y-99999,Z100000\r", NAK),
        Ok("ConsoleLongest", Xyz(REL, 1, -999999, -999999, -999999), "L1,x-999999,y-999999,z-999999\r", NAK),
        Ok("FillsTheBuffer", Xyz(REL, 10, -999999, -999999, -999999), "L10,x-999999,y-999999,z-999999\r", NAK),
        Weg("OneCharacterTooLong", Xyz(REL, 100, -999999, -999999, -999999)),
        Weg("ThreeSmallestComponents", Xyz(REL, 1, INT_MIN, INT_MIN, INT_MIN)),
        Ok("OneSmallestComponent", Xyz(ABS, -128, INT_MIN, AUS, AUS), "L-128,X-2147483648\r", NAK),
        Falsch("AnsweredWithAck", Xyz(REL, 1, 100, 0, 0), "L1,x100\r", ACK, NAK_ERROR),
        Falsch("AnsweredWithError", Xyz(REL, 1, 100, 0, 0), "L1,x100\r", "E7" + BEL, NAK_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    U, command_motion,
    ::testing::Values(
        Ok("Relative", U(REL, 1, 80), "L1,u80\r", NAK),
        Ok("RelativeZero", U(REL, 1, 0), "L1,u0\r", NAK),
        Ok("AbsoluteZero", U(ABS, 1, 0), "L1,U0\r", NAK),
        Ok("AbsoluteNeverLeftOut", U(ABS, 1, AUS), "L1,U99999\r", NAK),
        Ok("Longest", U(REL, -128, INT_MIN), "L-128,u-2147483648\r", NAK),
        Falsch("AnsweredWithAck", U(REL, 1, 80), "L1,u80\r", ACK, NAK_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Referenzoffset, command_motion,
    ::testing::Values(
        Ok("X", O('x', 150), "#Ox,150\r", ACK),
        Ok("UNegative", O('u', -20), "#Ou,-20\r", ACK),
        Ok("Smallest", O('z', INT_MIN), "#Oz,-2147483648\r", ACK),
        Weg("NulAxis", O('\0', 5)),
        Falsch("AnsweredWithNak", O('x', 150), "#Ox,150\r", NAK, ACK_ERROR),
        Falsch("AnsweredWithError", O('x', 150), "#Ox,150\r", "E1" + BEL, ACK_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Sofort, command_motion,
    ::testing::Values(
        Ok("Reset", Reset, "@R\r", "@RS" + ACK),
        Falsch("ResetAnsweredAsHalt", Reset, "@R\r", "@B" + ACK, WAIT_TIMEOUT_ERROR),
        Falsch("ResetAnsweredWithBel", Reset, "@R\r", "@RS" + BEL, COMMUNICATION_ERROR),
        Ok("Stop", Stopp, "@S\r", "@RS" + ACK),
        Falsch("StopAnsweredAsHalt", Stopp, "@S\r", "@B" + ACK, WAIT_TIMEOUT_ERROR),
        Ok("Halt", Halt, "@B\r", "@B" + ACK),
        Falsch("HaltAnsweredAsReset", Halt, "@B\r", "@RS" + ACK, WAIT_TIMEOUT_ERROR),
        Ok("Interrupt", Pause, "@A\r", "@A" + ACK),
        Ok("InterruptWithBel", Pause, "@A\r", "@A" + BEL),
        Falsch("InterruptAnsweredAsResume", Pause, "@A\r", "@C" + ACK, WAIT_TIMEOUT_ERROR),
        Falsch("InterruptAnsweredAsReset", Pause, "@A\r", "@RS" + ACK, WAIT_TIMEOUT_ERROR),
        Ok("ResumeAnsweredAsInterrupt", Weiter, "@C\r", "@A" + ACK),
        Falsch("ResumeAnsweredAsResume", Weiter, "@C\r", "@C" + ACK, WAIT_TIMEOUT_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

class command_motion_exchange : public LinkFixture {};

// The move returns after its NAK; "@" controls still pass while the final
// answer is due, and the caller fetches that answer itself.
TEST_F(command_motion_exchange, MoveLeavesTheFinalAnswerToTheCaller) {
    Oeffnen();
    peer_->Expect("L1,x100\r", {{0, NAK}});
    peer_->Expect("@B\r", {{0, "@B" + ACK}});
    com_->xyzVektor_fahren(1, 1, 100, 0, 0);
    EXPECT_EQ(std::string(com_->szResp), NAK);
    com_->Achsen_anhalten();
    peer_->Send(ACK);
    com_->WaitResp(2000);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    EXPECT_EQ(peer_->Received(), "L1,x100\r@B\r");
}

// A move refused with ACK leaves no final answer outstanding.
TEST_F(command_motion_exchange, RefusedMoveLeavesTheLinkFree) {
    Oeffnen();
    peer_->Expect("L1,U5\r", {{0, ACK}});
    peer_->Expect("#Oy,1\r", {{0, ACK}});
    EXPECT_EQ(Fehler([&] { com_->uVektor_fahren(0, 1, 5); }), NAK_ERROR);
    com_->Referenzoffset_einstellen('y', 1);
    EXPECT_EQ(peer_->Received(), "L1,U5\r#Oy,1\r");
}

}  // namespace
