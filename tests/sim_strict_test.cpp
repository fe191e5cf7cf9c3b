// The strict readings of the simulated controller, each on its own: raw
// request bytes go down the pseudo-terminal and every byte the controller
// writes back is compared, once under the strict reading and once under the
// friendly default, which must stay as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "sim/raw_serial_client.h"
#include "sim/sim_server.h"

namespace {

using namespace std::chrono_literals;
using sim::StrictProfile;

const std::string kStx = "\x02";
const std::string kEtx = "\x03";
const std::string kAck = "\x06";
const std::string kBel = "\x07";
const std::string kCr = "\r";
const std::string kNak = "\x15";
const std::string kVersion = "@V " + std::string(sim::PeltoController::kVersionText) + kAck;

// Bytes to send, then how long to let the controller work before the next.
struct Step {
    std::string bytes;
    std::chrono::milliseconds then = 60ms;
};

struct Row {
    const char* name;
    void (*reading)(StrictProfile&);
    std::vector<Step> steps;
    std::string strict;    // all bytes written back under the reading
    std::string friendly;  // the same under the default profile
    double timeScale = 1.0;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

void OpaqueText(StrictProfile& p) { p.opaqueText = true; }
void PlainAcks(StrictProfile& p) { p.plainAcks = true; }
void StrictErrors(StrictProfile& p) { p.strictErrors = true; }
void StoppedBefore(StrictProfile& p) { p.stoppedFinal = StrictProfile::StoppedFinal::Before; }
void StoppedAfter(StrictProfile& p) { p.stoppedFinal = StrictProfile::StoppedFinal::After; }
void BusyError(StrictProfile& p) { p.busy = StrictProfile::Busy::Error; }
void BusyDrop(StrictProfile& p) { p.busy = StrictProfile::Busy::Drop; }

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        // opaqueText
        {"HeaderKeepsAtRequestAndControlBytes", OpaqueText,
         {{"*PW1\r"}, {"a@V\rb"}, {kStx}, {"x\x01y\x04z\x07" + kCr}, {kEtx}, {"*PR1H\r"}, {"*PR1\r"}},
         "*PW1" + kAck + kAck + kAck + kAck + "*PR1H a@V\rb" + kAck + "*PR1" + kCr + "a@V\rb" + kStx +
             "x\x01y\x04z\x07" + kCr + kEtx + kAck,
         "*PW1" + kAck + kVersion + kAck + kAck + kAck + "*PR1H ab" + kAck + "*PR1" + kCr + "ab" + kStx +
             "x?y?z?" + kCr + kEtx + kAck},
        {"BodyLineWithAtIsStored", OpaqueText,
         {{"*PW1\r"}, {"h" + kStx}, {"@V\r"}, {kEtx}, {"*PR1\r"}},
         "*PW1" + kAck + kAck + kAck + kAck + "*PR1" + kCr + "h" + kStx + "@V" + kCr + kEtx + kAck,
         "*PW1" + kAck + kAck + kVersion + kAck + "*PR1" + kCr + "h" + kStx + kEtx + kAck},
        {"EmptyHeaderReadsBackBare", OpaqueText,
         {{"*PW1\r"}, {kStx}, {"A1,1\r"}, {kEtx}, {"*PR1H\r"}, {"*PR1\r"}},
         "*PW1" + kAck + kAck + kAck + kAck + "*PR1H " + kAck + "*PR1" + kCr + kStx + "A1,1" + kCr + kEtx + kAck,
         "*PW1" + kAck + kAck + kAck + kAck + "*PR1H " + kAck + "*PR1" + kCr + " " + kStx + "A1,1" + kCr + kEtx +
             kAck},
        // plainAcks
        {"PauseAndContinueAckAlone", PlainAcks, {{"@A\r"}, {"@C\r"}, {"@S\r"}, {"@B\r"}},
         kAck + kAck + "@RS" + kAck + "@B" + kAck,
         "@A" + kAck + "@A" + kAck + "@RS" + kAck + "@B" + kAck},
        {"TransferOpeningsAckAlone", PlainAcks, {{"*PW1\r"}, {kStx}, {"A1,1\r"}, {kEtx}, {"*PS\r"}, {kStx + kEtx}},
         kAck + kAck + kAck + kAck + kAck + kAck + "*PS 0" + kAck,
         "*PW1" + kAck + kAck + kAck + kAck + "*PS" + kAck + kAck + "*PS 0" + kAck},
        {"ProgramReadKeepsItsEcho", PlainAcks, {{"*PR1\r"}, {"*FR1\r"}, {"*PE1\r"}},
         "E3" + kBel + "*FR1 0,0,0,0" + kAck + "*PE1" + kNak + "E3" + kBel,
         "E3" + kBel + "*FR1 0,0,0,0" + kAck + "*PE1" + kNak + "E3" + kBel},
        // strictErrors
        {"SloppyNumbersRefused", StrictErrors, {{"#S0200\r"}, {"#R-0\r"}, {"A1,01\r"}, {"*PW01\r"}, {"#S200\r"}},
         "E1" + kBel + "E1" + kBel + "E1" + kBel + "E1" + kBel + kAck,
         kAck + kAck + kAck + "*PW1" + kAck},  // the last is header text there
        {"AxisOrderAndCaseChecked", StrictErrors,
         {{"#Hxz\r"}, {"#Hzxyu\r"}, {"$Hxu\r"}, {"L1,y5,x5\r"}, {"L1,x5,Y5\r"}, {"L1,x1,u1\r"}, {"L1,z0\r", 200ms}},
         "E1" + kBel + kAck + "E1" + kBel + "E1" + kBel + "E1" + kBel + "E1" + kBel + kNak + kAck,
         kAck + kAck + kNak + kAck + kNak + kAck + kNak + kAck + kNak + kAck + kNak + kAck},
        // 128 bytes with the CR are too long; 127 are only a number too big.
        {"LongRequestGetsE8", StrictErrors,
         {{"W" + std::string(126, '1') + "\r"}, {"W" + std::string(125, '1') + "\r"}},
         "E8" + kBel + "E6" + kBel, "E6" + kBel + "E6" + kBel},
        {"LongBodyLineGetsE8", StrictErrors, {{"*PW1\r"}, {kStx}, {std::string(127, 'A') + "\r"}},
         "*PW1" + kAck + kAck + "E8" + kBel, "*PW1" + kAck + kAck + kAck},
        {"BitSevenStrippedNulEndsRequest", StrictErrors, {{"\xD4" "1\r"}, {"T0" + std::string(1, '\0') + "xx\r"}},
         kAck + kAck, "E1" + kBel + "E1" + kBel},
        {"UnknownAtRequestsErrOnNormalChannel", StrictErrors, {{"@Q\r"}, {"@Lq\r"}, {"@Vx\r"}},
         "E1" + kBel + "E6" + kBel + "E1" + kBel, "@E1" + kBel + "@E6" + kBel + "@E1" + kBel},
        // 10^8 steps at 128 kHz run 781 s of device time, 78 ms here.
        {"MoveBeyondTheTravelEndsWithE7", StrictErrors,
         {{"#E1,128000\r"}, {"L1,X100000000\r", 600ms}, {"@Lx\r"}},
         kAck + kNak + "E7" + kBel + "@Lx 99999999" + kAck, kAck + "E7" + kBel + "@Lx 0" + kAck, 1e-4},
        // stoppedFinal
        {"StoppedWaitAnswersBefore", StoppedBefore, {{"W60000\r"}, {"@S\r"}, {"#S200\r"}},
         kNak + kAck + "@RS" + kAck + kAck, kNak + "@RS" + kAck + kAck},
        {"StoppedMoveAnswersAfter", StoppedAfter, {{"L1,x100000\r"}, {"@R\r"}, {"#S200\r"}},
         kNak + "@RS" + kAck + kAck + kAck, kNak + "@RS" + kAck + kAck},
        {"StoppedIdleAnswersOnlyRs", StoppedAfter, {{"@S\r"}}, "@RS" + kAck, "@RS" + kAck},
        // busy
        {"BusyAnswersE1", BusyError, {{"W300\r"}, {"#S300\r"}, {"@V\r", 500ms}},
         kNak + "E1" + kBel + kVersion + kAck, kNak + kVersion + kAck + kAck},
        {"BusyDrops", BusyDrop, {{"W300\r"}, {"#S300\r", 500ms}, {"#S400\r"}},
         kNak + kAck + kAck, kNak + kAck + kAck + kAck},
    };
    return rows;
}

// Runs the row's steps against a fresh controller and returns every byte it
// wrote, once `expected` many have come and nothing more followed.
std::string Exchange(const Row& row, const StrictProfile& profile, std::size_t expected) {
    sim::SimOptions options;
    options.strict = profile;
    options.timeScale = row.timeScale;
    sim::SimServer server(options);
    server.Start();
    sim::RawSerialClient client(server.DevicePath());
    for (const Step& step : row.steps) {
        client.Send(step.bytes);
        std::this_thread::sleep_for(step.then);
    }
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (server.Written().size() < expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(150ms);  // anything beyond the expected
    return server.Written();
}

class SimStrict : public ::testing::TestWithParam<Row> {};

TEST_P(SimStrict, ReadingAnswersAsRequired) {
    StrictProfile profile;
    GetParam().reading(profile);
    EXPECT_EQ(Exchange(GetParam(), profile, GetParam().strict.size()), GetParam().strict);
}

TEST_P(SimStrict, DefaultAnswersAsBefore) {
    EXPECT_EQ(Exchange(GetParam(), {}, GetParam().friendly.size()), GetParam().friendly);
}

INSTANTIATE_TEST_SUITE_P(Rows, SimStrict, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
