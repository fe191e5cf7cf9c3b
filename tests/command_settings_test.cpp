// Setting commands through the real link: limits, the exact request on the
// wire, and how each reply is judged.
#include <functional>

#include "common/fehler.h"
#include "support/command_case.h"

using namespace cc;

namespace {

// Binds a command and its arguments; values are converted as a caller's
// would be, so -1 handed to an unsigned parameter arrives as 4294967295.
template <typename... P, typename... A>
Befehl Ruf(void (TkeloCOM::*f)(P...), A... a) {
    return [=](TkeloCOM& k) { (k.*f)(static_cast<P>(a)...); };
}


class command_settings : public BefehlsTabelle {};

TEST_P(command_settings, SendsAndJudges) { Pruefen(); }

using K = TkeloCOM;
const std::string E1 = "E1" + BEL;

INSTANTIATE_TEST_SUITE_P(
    Antrieb, command_settings,
    ::testing::Values(
        Ok("T0", Ruf(&K::Ansteuersignale_einstellen, 0), "T0\r"),
        Ok("T1", Ruf(&K::Ansteuersignale_einstellen, 1), "T1\r"),
        Weg("T2", Ruf(&K::Ansteuersignale_einstellen, 2)),
        Weg("TMinus1", Ruf(&K::Ansteuersignale_einstellen, -1)),
        Falsch("TUnknownCommand", Ruf(&K::Ansteuersignale_einstellen, 1), "T1\r", E1, 1021),
        Falsch("TOtherControllerError", Ruf(&K::Ansteuersignale_einstellen, 1), "T1\r", "E5" + BEL, ACK_ERROR),
        Falsch("TNak", Ruf(&K::Ansteuersignale_einstellen, 1), "T1\r", NAK, ACK_ERROR),
        Ok("FH0", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 0, 0), "FH0\r"),
        Ok("FH2", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 0, 1), "FH2\r"),
        Ok("FV6", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 1, 2), "FV6\r"),
        Ok("FV0", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 1, 0), "FV0\r"),
        Weg("FStepMode2", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 2, 0)),
        Weg("FStepModeMinus1", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, -1, 0)),
        Weg("FCurrent3", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 0, 3)),
        Weg("FCurrentMinus1", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 0, -1)),
        Falsch("FUnknownCommand", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 0, 0), "FH0\r", E1, 1021),
        Falsch("FNak", Ruf(&K::Halb_Vollschrittbetrieb_einstellen, 0, 0), "FH0\r", NAK, ACK_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Geschwindigkeit, command_settings,
    ::testing::Values(
        Ok("S0", Ruf(&K::Startgeschwindigkeit_einstellen, 0), "#S0\r"),
        Ok("S200", Ruf(&K::Startgeschwindigkeit_einstellen, 200), "#S200\r"),
        Ok("S128000", Ruf(&K::Startgeschwindigkeit_einstellen, 128000), "#S128000\r"),
        Weg("S128001", Ruf(&K::Startgeschwindigkeit_einstellen, 128001)),
        Weg("SNegative", Ruf(&K::Startgeschwindigkeit_einstellen, -1)),
        Falsch("SControllerErrorIsNoAck", Ruf(&K::Startgeschwindigkeit_einstellen, 200), "#S200\r", "E5" + BEL, ACK_ERROR),
        Falsch("SNak", Ruf(&K::Startgeschwindigkeit_einstellen, 200), "#S200\r", NAK, ACK_ERROR),
        Ok("E1_500", Ruf(&K::Endgeschwindigkeit_einstellen, 1, 500), "#E1,500\r"),
        Ok("E9_500", Ruf(&K::Endgeschwindigkeit_einstellen, 9, 500), "#E9,500\r"),
        Ok("E10_128000", Ruf(&K::Endgeschwindigkeit_einstellen, 10, 128000), "#E10,128000\r"),
        Ok("E0_0", Ruf(&K::Endgeschwindigkeit_einstellen, 0, 0), "#E0,0\r"),
        // The index has only an upper limit and is compared signed.
        Ok("EIndexMinus128", Ruf(&K::Endgeschwindigkeit_einstellen, -128, 0), "#E-128,0\r"),
        Weg("EIndex11", Ruf(&K::Endgeschwindigkeit_einstellen, 11, 500)),
        Weg("ESpeed128001", Ruf(&K::Endgeschwindigkeit_einstellen, 10, 128001)),
        Weg("ESpeedNegative", Ruf(&K::Endgeschwindigkeit_einstellen, 1, -1)),
        Weg("EBothBad", Ruf(&K::Endgeschwindigkeit_einstellen, 11, 128001)),
        Falsch("ENak", Ruf(&K::Endgeschwindigkeit_einstellen, 1, 500), "#E1,500\r", NAK, ACK_ERROR),
        Ok("R0", Ruf(&K::Rampenlaenge_einstellen, 0), "#R0\r"),
        Ok("R100", Ruf(&K::Rampenlaenge_einstellen, 100), "#R100\r"),
        Ok("R60000", Ruf(&K::Rampenlaenge_einstellen, 60000), "#R60000\r"),
        Weg("R60001", Ruf(&K::Rampenlaenge_einstellen, 60001)),
        Weg("R65535", Ruf(&K::Rampenlaenge_einstellen, 65535)),
        Falsch("RUnknownCommandIsNoAck", Ruf(&K::Rampenlaenge_einstellen, 100), "#R100\r", E1, ACK_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Wartezeit, command_settings,
    ::testing::Values(
        Ok("W0", Ruf(&K::Wartezeit_einfuegen, 0), "W0\r", NAK),
        Ok("W250", Ruf(&K::Wartezeit_einfuegen, 250), "W250\r", NAK),
        Ok("W3600000", Ruf(&K::Wartezeit_einfuegen, 3600000), "W3600000\r", NAK),
        Weg("W3600001", Ruf(&K::Wartezeit_einfuegen, 3600001)),
        Weg("WNegative", Ruf(&K::Wartezeit_einfuegen, -1)),
        Falsch("WAck", Ruf(&K::Wartezeit_einfuegen, 250), "W250\r", ACK, NAK_ERROR),
        Falsch("WControllerError", Ruf(&K::Wartezeit_einfuegen, 250), "W250\r", E1, NAK_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Schalten, command_settings,
    ::testing::Values(
        Ok("E1Off", Ruf(&K::E1Verknuepfung, 0), "&E1,0\r"),
        Ok("E1On", Ruf(&K::E1Verknuepfung, 1), "&E1,1\r"),
        Weg("E1Action2", Ruf(&K::E1Verknuepfung, 2)),
        Weg("E1ActionMinus1", Ruf(&K::E1Verknuepfung, -1)),
        Falsch("E1UnknownCommandIsNoAck", Ruf(&K::E1Verknuepfung, 1), "&E1,1\r", E1, ACK_ERROR),
        Ok("A1", Ruf(&K::Ausgangssignal_setzen, 1, 1), "A1,1\r"),
        Ok("A12IsA1", Ruf(&K::Ausgangssignal_setzen, 12, 1), "A1,1\r"),
        Ok("A2", Ruf(&K::Ausgangssignal_setzen, 2, 0), "A2,0\r"),
        Ok("A13IsA2", Ruf(&K::Ausgangssignal_setzen, 13, 0), "A2,0\r"),
        Ok("A3", Ruf(&K::Ausgangssignal_setzen, 3, 1), "A3,1\r"),
        Ok("A4", Ruf(&K::Ausgangssignal_setzen, 4, 0), "A4,0\r"),
        Ok("A5", Ruf(&K::Ausgangssignal_setzen, 5, 1), "A5,1\r"),
        Ok("A6", Ruf(&K::Ausgangssignal_setzen, 6, 0), "A6,0\r"),
        Ok("A7", Ruf(&K::Ausgangssignal_setzen, 7, 1), "A7,1\r"),
        Ok("A8", Ruf(&K::Ausgangssignal_setzen, 8, 0), "A8,0\r"),
        Ok("AL", Ruf(&K::Ausgangssignal_setzen, 76, 1), "AL,1\r"),
        Ok("AR", Ruf(&K::Ausgangssignal_setzen, 82, 0), "AR,0\r"),
        Weg("A0", Ruf(&K::Ausgangssignal_setzen, 0, 1)),
        Weg("AMinus1", Ruf(&K::Ausgangssignal_setzen, -1, 1)),
        Weg("A9", Ruf(&K::Ausgangssignal_setzen, 9, 1)),
        Weg("A11", Ruf(&K::Ausgangssignal_setzen, 11, 1)),
        Weg("A14", Ruf(&K::Ausgangssignal_setzen, 14, 1)),
        Weg("A75", Ruf(&K::Ausgangssignal_setzen, 75, 1)),
        Weg("A77", Ruf(&K::Ausgangssignal_setzen, 77, 1)),
        Weg("A81", Ruf(&K::Ausgangssignal_setzen, 81, 1)),
        Weg("A83", Ruf(&K::Ausgangssignal_setzen, 83, 1)),
        Weg("AMode2", Ruf(&K::Ausgangssignal_setzen, 3, 2)),
        Weg("AModeMinus1", Ruf(&K::Ausgangssignal_setzen, 3, -1)),
        Falsch("ANak", Ruf(&K::Ausgangssignal_setzen, 1, 1), "A1,1\r", NAK, ACK_ERROR),
        Ok("I2C1", Ruf(&K::I2C_Ausgangssignal_setzen, 1, 0), "I2C-A1,0\r"),
        Ok("I2C2", Ruf(&K::I2C_Ausgangssignal_setzen, 2, 1), "I2C-A2,1\r"),
        Ok("I2C3", Ruf(&K::I2C_Ausgangssignal_setzen, 3, 1), "I2C-A3,1\r"),
        Ok("I2C4", Ruf(&K::I2C_Ausgangssignal_setzen, 4, 0), "I2C-A4,0\r"),
        Weg("I2C0", Ruf(&K::I2C_Ausgangssignal_setzen, 0, 1)),
        Weg("I2C5", Ruf(&K::I2C_Ausgangssignal_setzen, 5, 1)),
        Weg("I2CMinus1", Ruf(&K::I2C_Ausgangssignal_setzen, -1, 1)),
        Weg("I2CMode2", Ruf(&K::I2C_Ausgangssignal_setzen, 1, 2)),
        Falsch("I2CNak", Ruf(&K::I2C_Ausgangssignal_setzen, 3, 1), "I2C-A3,1\r", NAK, ACK_ERROR),
        Ok("WDOff", Ruf(&K::WatchDog_setzen, 0), "WD,0\r"),
        Ok("WDOn", Ruf(&K::WatchDog_setzen, 1), "WD,1\r"),
        Weg("WD2", Ruf(&K::WatchDog_setzen, 2)),
        Weg("WDMinus1", Ruf(&K::WatchDog_setzen, -1)),
        Falsch("WDUnknownCommandIsNoAck", Ruf(&K::WatchDog_setzen, 0), "WD,0\r", E1, ACK_ERROR)),
    [](const auto& info) { return std::string(info.param.name); });

class command_settings_exchange : public LinkFixture {};

TEST_F(command_settings_exchange, RefusedArgumentKeepsThePreviousExchange) {
    Oeffnen();
    peer_->Expect("#S200\r", {{0, ACK}});
    com_->Startgeschwindigkeit_einstellen(200);
    EXPECT_EQ(Fehler([&] { com_->Rampenlaenge_einstellen(60001); }), OUT_OF_RANGE);
    EXPECT_STREQ(com_->szReq, "#S200\r");
    EXPECT_EQ(std::string(com_->szResp), ACK);
    EXPECT_EQ(peer_->Received(), "#S200\r");
}

TEST_F(command_settings_exchange, WaitReturnsAfterNakAndLeavesTheFinalAnswer) {
    Oeffnen();
    peer_->Expect("W250\r", {{0, NAK}, {50, ACK}});
    com_->Wartezeit_einfuegen(250);
    EXPECT_EQ(std::string(com_->szResp), NAK);
    com_->WaitResp(2000);
    EXPECT_EQ(std::string(com_->szResp), ACK);
    peer_->Expect("WD,1\r", {{0, ACK}});
    com_->WatchDog_setzen(1);
    EXPECT_EQ(peer_->Received(), "W250\rWD,1\r");
}

}  // namespace
