#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/controller_settings.h"
#include "sim/motion_profile.h"
#include "sim/program_memory.h"
#include "sim/reply.h"
#include "sim/request_reader.h"
#include "sim/sim_time.h"
#include "sim/strict_profile.h"

namespace sim {

// The Pelto controller as seen from its serial line. Request bytes go in
// through Receive(); replies come out of TakeReplies(). Moves, waits and
// erasing take device time measured on the clock it is given; Poll() at
// NextEvent() sends their final answers. Not thread-safe: one owner drives it.
//
// Requests end with CR; errors are "E" n BEL (E1 unknown or malformed, E2 bad
// program number, E3 empty slot, E4 memory full, E5 slot occupied, E6 value
// out of range, E7 target outside the travel, E8 header or line over 256
// bytes). Settings ("T", "F", "#S", "#E", "#R", "&E1,", "A", "I2C-A", "WD,",
// "#O", "#H", "c,") answer ACK. "W<ms>", "L<i>,..." and "$H<axes>" answer NAK
// at once and ACK when done. A normal request that arrives while one of them
// runs is held and served after its final answer.
//
// "@" requests are served at once, also while a command runs, and are always
// answered on the "@" channel ("@", text, ACK or BEL); one it does not know is
// answered "@E1" BEL, a bad axis or input letter "@E6" BEL.
//   "@V"      -> "@V " version text (kVersionText) ACK
//   "@X"      -> "@X " six status characters ACK:
//                1 activity: I idle, M moving, R reference run, W waiting,
//                  E erasing program memory, H halting (ramping down)
//                2 P paused ("@A"), - running or idle
//                3 program transfer: - none, H receiving header, B body
//                4 referenced axes, hex digit: x 1, y 2, z 4, u 8
//                5 outputs A1 to A4, hex digit: A1 1, A2 2, A3 4, A4 8
//                6 hex digit: watchdog 1, E1 link 2
//   "@L<a>"   -> "@L" a " " position in decimal ACK (a = x, y, z, u)
//   "@I<c>"   -> "@I" c " " 0 or 1 ACK for the inputs 0 to F;
//                "@IG " four hex digits ACK for all sixteen inputs at once,
//                input F in the top bit, input 0 in the lowest.
//   "@R", "@S" -> "@RS" ACK; a running move, reference run or wait ends at
//                once without a final answer. "@R" also restores the
//                power-on settings and abandons a program transfer.
//   "@B"      -> "@B" ACK; a move ramps down and then answers ACK; a wait
//                answers ACK at once.
//   "@A"      -> "@A" ACK, the move or wait pauses; "@C" -> "@A" ACK, resumes.
//
// Program memory, slots 1 to 7 (an erase is never cut short by "@R"/"@S"):
//   "*PW<n>"  -> "E5" BEL if occupied, else "*PW<n>" ACK; then header bytes
//                without replies up to STX (or "..." STX): ACK, or "E8" BEL
//                over 256 bytes; each body line: ACK; lone ETX: ACK. An "@"
//                request (with its CR) is served, not stored, even amid
//                the header; "@R" abandons the transfer.
//   "*PS"     -> the same exchange, nothing stored; ETX is answered
//                "*PS " size ACK (header bytes plus each line with its CR).
//   "*PR<n>"  -> "E3" BEL if empty; else "*PR<n>" CR, then the header with
//                STX, each body line with CR, and ETX ACK.
//   "*PR<n>H" -> "*PR<n>H " header ACK.
//   "*PE<n>"  -> "*PE<n>" NAK, then ACK after the erase time ("E3" BEL at
//                once for an empty slot); "*PEa" -> "*PEa" NAK, then ACK.
//   "*FR<n>"  -> "*FR<n> " entry ACK; "*FRa" -> "*FRa 1=" entry ACK, then
//                "<k>=" entry ACK for k = 2 to 7. An entry is
//                "<used 0/1>,<header bytes>,<body bytes>,<lines>".
// RefuseEndMark() makes it answer the next header end mark (STX) or body end
// mark (ETX) with other bytes and drop the transfer, as a controller that
// refuses the program: nothing is stored.
// Stored text is sent back with control characters and "@" shown as "?",
// so that it cannot end a reply early or open the "@" channel; an empty
// header reads back as one blank.
//
// Strict readings (StrictProfile), each on its own; all off by default:
//   opaqueText   header text is text up to STX: no "@" request is taken
//                from it; a body line beginning with "@" is stored and
//                answered ACK; stored bytes are read back as they are
//                (control bytes and "@" included); an empty header reads
//                back as a bare STX and as "*PR<n>H " ACK.
//   plainAcks    ACK alone where the console accepts it: "@A" and "@C"
//                get ACK, "*PW<n>" and "*PS" get ACK without the echo.
//                ("@S", "@B" keep "@RS", "@B": the link insists on them;
//                the ETX of "*PS" keeps its size.)
//   strictErrors bit 7 of every byte received is cleared; a NUL ends a
//                request (the rest up to CR is ignored); a request of more
//                than 127 bytes with its CR, or a body line of more than
//                126, gets "E8" BEL; numbers with leading zeros or "-0",
//                "#H"/"$H" axes not in the order z, x, y (u), "L" axes
//                not x, y, z in order and of one case or u alone: "E1" BEL;
//                an unknown or malformed "@" request gets "E1" BEL (bad
//                axis or input letter "E6" BEL) on the normal channel and
//                nothing on the "@" channel; a move whose target lies
//                beyond the travel answers NAK, runs to the limit and
//                answers "E7" BEL there (a halt before it answers ACK).
//   stoppedFinal a move, reference run or wait stopped by "@R"/"@S" still
//                answers ACK, just before or just after the "@RS" ACK.
//   busy         a normal request that arrives while a move, reference
//                run, wait or erase runs is answered "E1" BEL at once
//                (Error) or dropped without an answer (Drop).
//   atLimit      each reply carries the console's time limit for it
//                (Reply::limitMs; the server delays it by that share);
//                erasing takes the share of 3000 ms a slot, 21000 all.
//   deafAfterReset  after "@R" every byte is lost for that long.
// PowerCycle() starts afresh but for the program memory.
class PeltoController {
public:
    static constexpr std::string_view kVersionText = "Pelto-Sim 1.0";
    static constexpr int kInputs = 16;
    static constexpr int64_t kTravel = 99'999'999;  // steps either side of 0
    static constexpr double kEraseMsPerSlot = 400;

    explicit PeltoController(SimClock clock, double timeScale = 1.0, StrictProfile strict = {});

    void Receive(std::string_view bytes);
    void Poll();
    std::optional<SimTime> NextEvent() const;
    std::vector<Reply> TakeReplies();
    // The line went down: half-received requests are lost.
    void ForgetPartialInput();
    // Off and on again: everything but the program memory starts afresh.
    void PowerCycle();
    // Device time runs `scale` times as long in real time (0.1: ten times faster).
    void SetTimeScale(double scale);
    // The next end mark `mark` (STX or ETX) of a transfer gets `reply`
    // instead of its answer, and the transfer is dropped.
    void RefuseEndMark(char mark, std::string reply);

    int64_t Position(char axis) const;
    const ControllerSettings& Settings() const { return settings_; }
    const ProgramMemory& Memory() const { return memory_; }
    const std::deque<std::string>& Requests() const { return requests_; }
    // How many requests were recorded since the start, including those the
    // record no longer holds.
    uint64_t RecordedTotal() const { return recordedTotal_; }
    void SetStrict(const StrictProfile& strict) { strict_ = strict; }
    // When each recorded request was complete, in the same order.
    const std::deque<SimTime>& RequestTimes() const { return requestTimes_; }
    std::string StatusText() const;
    bool Busy() const { return job_.has_value(); }
    void SetInput(int n, bool on);

private:
    enum class Mode { Commands, Header, Body };
    enum class JobKind { Move, Reference, Wait, Erase };
    struct Job {
        JobKind kind = JobKind::Wait;
        SimTime origin{};
        SimTime::duration pausedFor{};
        std::optional<SimTime> pausedSince;
        double fixedMs = 0;  // waits and erasing
        MotionProfile profile;
        double steps = 0;    // longest distance of a move
        std::array<int64_t, ControllerSettings::kAxes> from{};
        std::array<int64_t, ControllerSettings::kAxes> delta{};
        uint8_t referenceAxes = 0;  // bit per axis, x lowest
        int eraseSlot = 0;   // 0: all slots
        bool halting = false;
        int finalError = 0;  // the final answer's error number; 0: ACK
    };
    struct Transfer {
        int slot = 0;  // 0: size only ("*PS")
        StoredProgram program;
    };
    using Handler = void (PeltoController::*)(RequestReader&);

    // Input
    void Advance();
    bool TakeRequest();
    bool ServeOneImmediate();
    bool TakeRequestWhileBusy();
    bool TakeImmediateFromHeader(std::size_t headerEnd);
    void HandleLine(const std::string& received);
    void HandleCommand(std::string_view text);
    void HandleImmediate(std::string_view text);
    void Record(std::string request);

    // Settings
    void SetDriveSignal(RequestReader& r);
    void SetStepMode(RequestReader& r);
    void SetStartSpeed(RequestReader& r);
    void SetEndSpeed(RequestReader& r);
    void SetRampLength(RequestReader& r);
    void SetE1Link(RequestReader& r);
    void SetOutput(RequestReader& r);
    void SetI2cOutput(RequestReader& r);
    void SetWatchdog(RequestReader& r);
    void SetReferenceOffset(RequestReader& r);
    void RequestReference(RequestReader& r);
    void SetEncoder(RequestReader& r);

    // Moves and waits
    void StartWait(RequestReader& r);
    void StartVectorMove(RequestReader& r);
    void StartReferenceRun(RequestReader& r);
    void StartMotion(Job job, int speedIndex, const std::array<int64_t, 4>& target);

    // Immediate requests
    void ReportPosition(RequestReader& r);
    void ReportInput(RequestReader& r);
    void StopMotion(bool reset);
    void HaltMotion();
    void PauseMotion(bool pause);

    // Program memory
    void OpenProgramWrite(RequestReader& r);
    void OpenSizeCount(RequestReader& r);
    void ReadProgram(RequestReader& r);
    void EraseProgram(RequestReader& r);
    void ReadTable(RequestReader& r);
    void EndHeader(std::string header);
    void StoreBodyLine(const std::string& line);
    void EndTransfer();
    void AbandonTransfer(int error);
    void DropTransfer();
    bool TakeRefusal(char mark);

    // Jobs
    Job NewJob(JobKind kind) const;
    void StartJob(Job job);
    double ElapsedMs(const Job& job) const;
    double DurationMs(const Job& job) const;
    SimTime EndTime(const Job& job) const;
    bool JobDue() const;
    void FinishJob();
    void FreezePositions();
    std::array<int64_t, 4> PositionsNow() const;

    // Replies
    void Send(std::string bytes);
    void SendImmediate(std::string bytes);
    // A further line of a read, due within the line limit of the one before.
    void SendLine(std::string bytes);
    void SendError(int number);
    std::string Echo(std::string text) const;
    std::string Shown(std::string_view stored) const;
    static int ReadSlot(RequestReader& r);

    static const std::vector<std::pair<std::string_view, Handler>>& Commands();

    SimClock clock_;
    double timeScale_;
    StrictProfile strict_;
    ControllerSettings settings_;
    ProgramMemory memory_;
    std::array<int64_t, ControllerSettings::kAxes> positions_{};
    uint8_t referencedAxes_ = 0;
    std::array<bool, kInputs> inputs_{};
    std::optional<Job> job_;
    Mode mode_ = Mode::Commands;
    Transfer transfer_;
    std::string input_;
    std::deque<std::string> requests_;
    std::deque<SimTime> requestTimes_;
    uint64_t recordedTotal_ = 0;
    std::vector<Reply> replies_;
    double replyLimitMs_ = 0;  // the limit of the replies being sent
    std::optional<SimTime> deafUntil_;
    std::map<char, std::string> refusals_;  // by end mark: the reply instead
};

}  // namespace sim
