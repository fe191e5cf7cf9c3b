// Program memory of the simulated controller: write, read back, header,
// size, erase and allocation table, each exchange as the console makes it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/raw_serial_client.h"
#include "sim/sim_server.h"

namespace {

using namespace std::chrono_literals;
using sim::RawSerialClient;
using sim::SimServer;

const std::string kAck = "\x06";
const std::string kNak = "\x15";
const std::string kBel = "\x07";
const std::string kStx = "\x02";
const std::string kEtx = "\x03";

// The default program of a slot, without its comment lines, after the drive
// settings the console puts first.
std::vector<std::string> DefaultBody(int k) {
    return {"T0", "FH0", "A1,1", "#S200", "#E1,500", "#R250", "L1,x" + std::to_string(k) + "00",
            "W500", "#E2,500", "#R250", "L2,y" + std::to_string(2 * k) + "00", "A1,0"};
}

class SimProgramMemory : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Start();
        client_ = std::make_unique<RawSerialClient>(server_.DevicePath());
    }

    std::string Ask(const std::string& request) {
        return client_->Ask(request).value_or("<no reply>");
    }

    // Header lines are streamed without replies; only the end mark is answered.
    void Write(const std::string& open, const std::vector<std::string>& headerLines,
               const std::vector<std::string>& body, const std::string& endReply = kAck) {
        ASSERT_EQ(Ask(open + "\r"), open + kAck);
        for (const std::string& line : headerLines) {
            client_->Send(line);
        }
        ASSERT_EQ(Ask(kStx), kAck);
        for (const std::string& line : body) {
            ASSERT_EQ(Ask(line + "\r"), kAck) << line;
        }
        ASSERT_EQ(Ask(kEtx), endReply);
    }

    std::vector<std::string> ReadUntilAck() {
        std::vector<std::string> replies;
        while (auto reply = client_->NextNormal(500ms)) {
            replies.push_back(*reply);
            if (reply->back() == kAck[0]) {
                break;
            }
        }
        return replies;
    }

    SimServer server_;
    std::unique_ptr<RawSerialClient> client_;
};

TEST_F(SimProgramMemory, WritesAProgramIntoASlotAndReadsItBack) {
    Write("*PW3", {"Header ", "3"}, DefaultBody(3));
    ASSERT_TRUE(server_.SlotOccupied(3));
    EXPECT_EQ(server_.Slot(3).header, "Header 3");
    EXPECT_EQ(server_.Slot(3).body, DefaultBody(3));

    const std::string first = Ask("*PR3\r");
    EXPECT_EQ(first.substr(0, 4), "*PR3");
    EXPECT_NE(first.back(), kAck[0]) << "the console waits for more after the first reply";
    std::vector<std::string> expected = {"Header 3" + kStx};
    for (const std::string& line : DefaultBody(3)) {
        expected.push_back(line + "\r");
    }
    expected.push_back(kEtx + kAck);
    EXPECT_EQ(ReadUntilAck(), expected);
    EXPECT_FALSE(client_->Next(200ms)) << "nothing stale is left on the line";
}

TEST_F(SimProgramMemory, HeaderReadIsOneReply) {
    Write("*PW5", {"Header 5"}, DefaultBody(5));
    EXPECT_EQ(Ask("*PR5H\r"), "*PR5H Header 5" + kAck);
    EXPECT_FALSE(client_->Next(200ms));
}

TEST_F(SimProgramMemory, OccupiedSlotIsRefusedWithE5) {
    Write("*PW1", {"Header 1"}, {"A1,1"});
    EXPECT_EQ(Ask("*PW1\r"), "E5" + kBel);
    EXPECT_EQ(Ask("#S200\r"), kAck) << "still taking commands, not a header";
}

TEST_F(SimProgramMemory, EmptySlotAnswersE3) {
    EXPECT_EQ(Ask("*PR4\r"), "E3" + kBel);
    EXPECT_EQ(Ask("*PR4H\r"), "E3" + kBel);
    EXPECT_EQ(Ask("*PE4\r"), "*PE4" + kNak);
    EXPECT_EQ(client_->NextNormal(1s), "E3" + kBel);
}

TEST_F(SimProgramMemory, HeaderOver256BytesIsRefusedWithE8) {
    ASSERT_EQ(Ask("*PW2\r"), "*PW2" + kAck);
    client_->Send(std::string(200, 'h'));
    client_->Send(std::string(57, 'h'));
    EXPECT_EQ(Ask(kStx), "E8" + kBel);
    EXPECT_EQ(Ask("#S200\r"), kAck);
    EXPECT_FALSE(server_.SlotOccupied(2));
}

TEST_F(SimProgramMemory, ShortenedHeaderKeepsItsMark) {
    Write("*PW6", {std::string(251, 'k'), "..."}, {"A1,1"});
    EXPECT_EQ(server_.Slot(6).header, std::string(251, 'k') + "...");
}

TEST_F(SimProgramMemory, EmptyHeaderAndBodyReadBackAsFourReplies) {
    Write("*PW7", {}, {});
    EXPECT_EQ(Ask("*PR7\r"), "*PR7\r");
    EXPECT_EQ(ReadUntilAck(), (std::vector<std::string>{" " + kStx, kEtx + kAck}));
}

TEST_F(SimProgramMemory, SizeCountStoresNothing) {
    Write("*PS", {"Header 1"}, DefaultBody(1), "*PS 80" + kAck);
    for (int n = 1; n <= 7; ++n) {
        EXPECT_FALSE(server_.SlotOccupied(n));
    }
}

TEST_F(SimProgramMemory, EraseAnswersNakThenAckAfterTheEraseTime) {
    Write("*PW3", {"Header 3"}, {"A1,1"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Ask("*PE3\r"), "*PE3" + kNak);
    EXPECT_EQ(client_->NextNormal(3s), kAck);  // the console waits 3000 ms
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_FALSE(server_.SlotOccupied(3));
    EXPECT_EQ(Ask("*PR3\r"), "E3" + kBel);
}

TEST_F(SimProgramMemory, EraseAllEmptiesEverySlot) {
    Write("*PW1", {"Header 1"}, {"A1,1"});
    Write("*PW7", {"Header 7"}, {"A1,0"});
    const std::string echo = Ask("*PEa\r");
    ASSERT_EQ(echo.size(), 5u);
    EXPECT_EQ(echo[4], kNak[0]) << "the fifth character announces the final reply";
    EXPECT_EQ(client_->NextNormal(21s), kAck);
    EXPECT_FALSE(server_.SlotOccupied(1));
    EXPECT_FALSE(server_.SlotOccupied(7));
}

TEST_F(SimProgramMemory, AllocationTableForOneSlotAndForAll) {
    Write("*PW2", {"Header 2"}, {"A1,1", "W500"});
    EXPECT_EQ(Ask("*FR2\r"), "*FR2 1,8,10,2" + kAck);
    EXPECT_EQ(Ask("*FR3\r"), "*FR3 0,0,0,0" + kAck);
    client_->Send("*FRa\r");
    std::vector<std::string> table;
    for (int i = 0; i < 7; ++i) {
        table.push_back(client_->NextNormal(500ms).value_or("<missing>"));
    }
    EXPECT_EQ(table.front().substr(0, 4), "*FRa");
    EXPECT_EQ(table[0], "*FRa 1=0,0,0,0" + kAck);
    EXPECT_EQ(table[1], "2=1,8,10,2" + kAck);
    EXPECT_EQ(table[6], "7=0,0,0,0" + kAck);
    EXPECT_FALSE(client_->Next(200ms)) << "exactly seven replies";
}

TEST_F(SimProgramMemory, ImmediateRequestDuringABodyIsAnsweredNotStored) {
    ASSERT_EQ(Ask("*PW4\r"), "*PW4" + kAck);
    client_->Send("Header 4");
    ASSERT_EQ(Ask(kStx), kAck);
    EXPECT_EQ(Ask("@X\r"), "@X I-B000" + kAck);
    ASSERT_EQ(Ask("A1,1\r"), kAck);
    ASSERT_EQ(Ask(kEtx), kAck);
    EXPECT_EQ(server_.Slot(4).body, (std::vector<std::string>{"A1,1"}));
}

TEST_F(SimProgramMemory, StoredControlCharactersAndAtSignsReadBackHarmless) {
    Write("*PW1", {"a@b"}, {"A1,1\tx"});
    EXPECT_EQ(Ask("*PR1H\r"), "*PR1H a?b" + kAck);
    EXPECT_EQ(Ask("*PR1\r"), "*PR1\r");
    EXPECT_EQ(ReadUntilAck(), (std::vector<std::string>{"a?b" + kStx, "A1,1?x\r", kEtx + kAck}));
}

TEST_F(SimProgramMemory, LargeTestProgramIsWrittenLineByLine) {
    ASSERT_EQ(Ask("*PW1\r"), "*PW1" + kAck);
    client_->Send("eine_65kByte_grosse_Testdatei_in_30_Sekunden_schreiben");
    ASSERT_EQ(Ask(kStx), kAck);
    char line[16];
    for (int i = 0; i < 6553; ++i) {
        std::snprintf(line, sizeof line, "L1,X%05d\r", i);
        ASSERT_EQ(Ask(line), kAck) << line;
    }
    ASSERT_EQ(Ask(kEtx), kAck);
    EXPECT_EQ(server_.Slot(1).body.size(), 6553u);
    EXPECT_EQ(server_.Slot(1).body.back(), "L1,X06552");
}

}  // namespace
