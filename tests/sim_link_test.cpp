// The console's assumptions about the controller, checked end to end: the
// real link and command set against the simulated controller.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"
#include "sim/sim_server.h"
#include "support/sim_profil.h"
#include "support/dialog_recorder.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
constexpr char ACK = 0x06, NAK = 0x15;

class SimLink : public ::testing::Test {
protected:
    void SetUp() override {
        Protokolldatei_Ordner_setzen(tmp_.Path());
        sim_.Start();
        ::setenv("PELTO_COM4", sim_.DevicePath().c_str(), 1);
        com_.Init(4, 115200);
        ASSERT_TRUE(com_.Connect());
    }
    void TearDown() override { Protokolldatei_Ordner_setzen(""); }

    std::string Resp() const { return com_.szResp; }
    char Letztes() const { return Resp().empty() ? '\0' : Resp().back(); }
    std::string Position(char achse) {
        char pos[32];
        com_.Position_abfragen(achse, pos, sizeof pos);
        return pos;
    }
    // A normal request answered with NAK, then its final answer.
    void ZweiStufig(const char* anfrage, int32_t ms = 10000) {
        com_.SendReqWaitResp(anfrage, 64);
        ASSERT_EQ(Resp(), std::string(1, NAK)) << anfrage;
        com_.WaitResp(ms);
    }

    TempDir tmp_;
    DialogRecorder dialogs_;
    sim::SimServer sim_{SchnellesProfil()};
    TkeloCOM com_;
};

TEST_F(SimLink, SettingsAndQueries) {
    com_.Ansteuersignale_einstellen(0);
    com_.Halb_Vollschrittbetrieb_einstellen(0, 2);
    com_.Startgeschwindigkeit_einstellen(200);
    com_.Endgeschwindigkeit_einstellen(1, 500);
    com_.Endgeschwindigkeit_einstellen(9, 500);
    com_.Rampenlaenge_einstellen(100);
    com_.E1Verknuepfung(1);
    com_.Ausgangssignal_setzen(1, 1);
    com_.I2C_Ausgangssignal_setzen(3, 1);
    com_.WatchDog_setzen(0);
    com_.Referenzoffset_einstellen('x', 150);
    char version[32], status[7];
    com_.Version_abfragen(version, sizeof version);
    EXPECT_STREQ(version, "Pelto-Sim 1.0");
    com_.Status_abfragen(status, sizeof status);
    EXPECT_EQ(std::string(status).size(), 6u);
    EXPECT_EQ(Position('y'), "0");
    com_.Eingang_abfragen('B');
    EXPECT_EQ(Resp().substr(0, 4), "@IB ");
    com_.Eingang_abfragen('G');
    EXPECT_EQ(Resp().substr(0, 4), "@IG ");
}

TEST_F(SimLink, ControllerErrorsAreReported) {
    com_.SendReqWaitResp("XYZ\r", 64);
    EXPECT_EQ(Resp(), "E1\x07");
    try {
        com_.Startgeschwindigkeit_einstellen(0);
        com_.SendReqWaitResp("#S999999\r", 64);
        EXPECT_EQ(Resp(), "E6\x07");
    } catch (int& e) {
        FAIL() << e;
    }
}

TEST_F(SimLink, WaitAndMoveAreTwoStage) {
    com_.Wartezeit_einfuegen(400);  // 20 ms with the time scale
    com_.WaitResp(2000);
    EXPECT_EQ(Resp(), std::string(1, ACK));
    com_.xyzVektor_fahren(1, 1, 100, 0, -5);
    com_.WaitResp(10000);
    EXPECT_EQ(Resp(), std::string(1, ACK));
    EXPECT_EQ(Position('x'), "100");
    EXPECT_EQ(Position('z'), "-5");
    com_.uVektor_fahren(0, 1, 80);
    com_.WaitResp(10000);
    EXPECT_EQ(Position('u'), "80");
}

TEST_F(SimLink, ResetDuringAMoveReleasesTheWaiterWithBang) {
    sim_.SetTimeScale(1.0);
    com_.Startgeschwindigkeit_einstellen(100);
    com_.Endgeschwindigkeit_einstellen(1, 100);
    com_.xyzVektor_fahren(1, 1, 100000, 0, 0);  // about 1000 s
    const auto fenster = com_.Neuer_Absender();
    auto reset = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(300ms);
        char pos[32];
        fenster->Position_abfragen('x', pos, sizeof pos);
        const long moved = std::atol(pos);
        fenster->Reset_ausfuehren();
        return moved;
    });
    const auto t0 = std::chrono::steady_clock::now();
    com_.WaitResp(300000);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
    EXPECT_EQ(Resp(), "!");
    EXPECT_GT(reset.get(), 0);  // it was moving
    com_.Startgeschwindigkeit_einstellen(200);  // normal requests pass again
}

TEST_F(SimLink, HaltRampsDownThenAnswers) {
    sim_.SetTimeScale(1.0);
    com_.Endgeschwindigkeit_einstellen(1, 200);
    com_.xyzVektor_fahren(1, 1, 0, 100000, 0);
    const auto fenster = com_.Neuer_Absender();
    auto halt = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(200ms);
        fenster->Achsen_anhalten();
    });
    com_.WaitResp(10000);
    EXPECT_EQ(Resp(), std::string(1, ACK));
    halt.get();
}

TEST_F(SimLink, ReferenceRunEndsAtTheOffset) {
    com_.Referenzoffset_einstellen('x', 150);
    com_.Referenzoffset_einstellen('z', -20);
    ZweiStufig("$Hzx\r");
    EXPECT_EQ(Resp(), std::string(1, ACK));
    EXPECT_EQ(Position('x'), "150");
    EXPECT_EQ(Position('z'), "-20");
    com_.SendReqWaitResp("#Hzxyu\r", 3000);
    EXPECT_EQ(Resp(), std::string(1, ACK));
}

// A program as the console writes it: opening request, streamed header,
// end mark, body lines each acknowledged, ETX.
void Schreiben(TkeloCOM& com, const char* oeffnen, const std::vector<std::string>& header,
               const std::vector<std::string>& body) {
    com.SendReqWaitResp(oeffnen, 64);
    // The echo, or (a controller's other reading) ACK alone.
    const std::string echo(oeffnen, std::strlen(oeffnen) - 1);
    const std::string antwort = com.szResp;
    ASSERT_TRUE(antwort.starts_with(echo) || antwort.starts_with(std::string(1, ACK))) << antwort;
    for (const auto& h : header) {
        com.SendReq(h.c_str());
        com.WaitResp(-2);
    }
    com.SendReqWaitResp("\x02", 3000);
    ASSERT_EQ(com.szResp[0], ACK);
    for (const auto& b : body) {
        com.SendReqWaitResp((b + "\r").c_str(), 64);
        ASSERT_EQ(std::string(com.szResp).back(), ACK);
    }
    com.SendReqWaitResp("\x03", 3000);
    ASSERT_EQ(std::string(com.szResp).back(), ACK);
}

TEST_F(SimLink, ProgramWriteReadSizeFatAndErase) {
    const std::vector<std::string> body = {"T1", "A1,1", "#S200", "L1,x300", "W500", "A1,0"};
    Schreiben(com_, "*PW3\r", {"Header ", "3"}, body);
    EXPECT_TRUE(sim_.SlotOccupied(3));

    com_.SendReqWaitResp("*PW3\r", 64);
    EXPECT_EQ(Resp(), "E5\x07");

    com_.SendReqWaitResp("*PR3\r", 512);
    EXPECT_EQ(Resp().substr(0, 4), "*PR3");
    EXPECT_NE(Letztes(), ACK);
    std::vector<std::string> zurueck;
    do {
        com_.WaitResp(64);
        zurueck.push_back(Resp());
    } while (Letztes() != ACK);
    ASSERT_GE(zurueck.size(), body.size() + 1);
    EXPECT_EQ(zurueck.front(), "Header 3\x02");
    for (size_t i = 0; i < body.size(); ++i) EXPECT_EQ(zurueck[i + 1], body[i] + "\r");

    com_.SendReqWaitResp("*PR3H\r", 512);
    EXPECT_EQ(Resp().substr(0, 4), "*PR3");
    EXPECT_NE(Resp().find("Header 3"), std::string::npos);

    Schreiben(com_, "*PS\r", {"Header 3"}, body);
    EXPECT_EQ(Resp().substr(0, 3), "*PS");

    com_.SendReqWaitResp("*FR3\r", 64);
    EXPECT_EQ(Resp().substr(0, 4), "*FR3");
    com_.SendReqWaitResp("*FRa\r", 64);
    EXPECT_EQ(Resp().substr(0, 4), "*FRa");
    for (int i = 0; i < 6; ++i) com_.WaitResp(64);
    EXPECT_EQ(Letztes(), ACK);

    com_.SendReqWaitResp("*PE3\r", 64);
    EXPECT_EQ(Resp(), std::string("*PE3") + NAK);
    com_.WaitResp(3000);
    EXPECT_EQ(Resp(), std::string(1, ACK));
    com_.SendReqWaitResp("*PR3\r", 512);
    EXPECT_EQ(Resp(), "E3\x07");
    com_.SendReqWaitResp("*PE3\r", 64);
    com_.WaitResp(3000);
    EXPECT_EQ(Resp(), "E3\x07");
}

TEST_F(SimLink, EraseAllAnnouncesItsFinalAnswer) {
    Schreiben(com_, "*PW1\r", {"H"}, {"A1,1"});
    Schreiben(com_, "*PW7\r", {"H"}, {"A1,0"});
    com_.SendReqWaitResp("*PEa\r", 64);
    ASSERT_GE(Resp().size(), 5u);
    EXPECT_EQ(Resp()[4], NAK);
    com_.WaitResp(21000);
    EXPECT_FALSE(sim_.SlotOccupied(1) || sim_.SlotOccupied(7));
}

TEST_F(SimLink, HeaderOverTheControllersLimitIsRefused) {
    com_.SendReqWaitResp("*PW2\r", 64);
    for (int i = 0; i < 3; ++i) {
        com_.SendReq(std::string(100, 'h').c_str());
        com_.WaitResp(-2);
    }
    com_.SendReqWaitResp("\x02", 3000);
    EXPECT_EQ(Resp(), "E8\x07");
}

}  // namespace
