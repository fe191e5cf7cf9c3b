#include "sim/pelto_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "common/zeichen.h"
#include "sim/strict_request_check.h"

namespace sim {

namespace {

constexpr std::size_t kMaxRecorded = 20000;
constexpr std::size_t kMaxHeldInput = 64 * 1024;
constexpr std::size_t kMaxTextBytes = 256;  // one header or one body line
constexpr int kReferenceSpeedIndex = 9;
constexpr uint32_t kMaxHz = 128000;
constexpr std::string_view kAxisLetters = "xyzu";
// What a strict controller answers to a normal request while a job runs.
constexpr int kBusyError = kUnknownCommand;
// The console's time limits per reply, in ms (see Reply::limitMs).
constexpr double kLimitMs = 64;
constexpr double kReadLimitMs = 512;
constexpr double kEndMarkLimitMs = 3000;  // header end, body end, "#H", erasing a slot
constexpr double kEraseAllLimitMs = 21000;

// The "@" queries answer within their own limits.
double ImmediateLimitMs(char letter) {
    switch (letter) {
    case 'X': return 20;
    case 'L': return 40;
    case 'I': return 128;
    default: return kLimitMs;
    }
}

std::optional<int> AxisIndex(char letter) {
    const char lower = (letter >= 'A' && letter <= 'Z') ? char(letter - 'A' + 'a') : letter;
    const auto at = kAxisLetters.find(lower);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    return int(at);
}

int RequireAxis(char letter) {
    const auto axis = AxisIndex(letter);
    if (!axis || letter < 'a') {
        throw DeviceError{kBadParameter};
    }
    return *axis;
}

bool TakeOnOff(RequestReader& r) {
    const bool on = r.TakeNumber(0, 1) == 1;
    r.ExpectEnd();
    return on;
}

char HexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

std::string Ack(std::string text) {
    return text + zeichen::ACK;
}

}  // namespace

PeltoController::PeltoController(SimClock clock, double timeScale, StrictProfile strict)
    : clock_(std::move(clock)), timeScale_(timeScale), strict_(std::move(strict)) {
    SetTimeScale(timeScale);
}

void PeltoController::SetTimeScale(double scale) {
    if (!(scale > 0) || !std::isfinite(scale)) {
        throw std::invalid_argument("time scale must be a positive number");
    }
    timeScale_ = scale;
}

// ---- Input ---------------------------------------------------------------

void PeltoController::Receive(std::string_view bytes) {
    if (deafUntil_ && clock_() < *deafUntil_) {
        return;  // still starting up after a reset
    }
    const std::size_t from = input_.size();
    input_.append(bytes);
    if (strict_.strictErrors) {
        for (std::size_t i = from; i < input_.size(); ++i) {
            input_[i] = char(input_[i] & 0x7F);  // seven data bits are all it reads
        }
    }
    if (input_.size() > kMaxHeldInput) {
        input_.clear();  // a flood without line ends: nothing sensible to keep
    }
    Advance();
}

void PeltoController::Poll() {
    Advance();
}

void PeltoController::PowerCycle() {
    ProgramMemory kept = std::move(memory_);
    auto requests = std::move(requests_);
    auto times = std::move(requestTimes_);
    const uint64_t total = recordedTotal_;
    *this = PeltoController(clock_, timeScale_, strict_);
    recordedTotal_ = total;
    memory_ = std::move(kept);
    requests_ = std::move(requests);  // what came down the line stays on record
    requestTimes_ = std::move(times);
}

void PeltoController::ForgetPartialInput() {
    input_.clear();
    DropTransfer();
}

// Serves requests in order. While a command runs, only "@" requests are
// taken; the rest waits in the input until the final answer has gone out.
void PeltoController::Advance() {
    for (;;) {
        if (job_) {
            if (JobDue()) {
                FinishJob();
                continue;
            }
            const bool hold = strict_.busy == StrictProfile::Busy::Hold;
            const bool served = hold ? ServeOneImmediate() : TakeRequestWhileBusy();
            if (!served) {
                return;
            }
            continue;
        }
        if (!TakeRequest()) {
            return;
        }
    }
}

bool PeltoController::TakeRequest() {
    if (mode_ == Mode::Header) {
        const auto stx = input_.find(zeichen::STX);
        if (!strict_.opaqueText && TakeImmediateFromHeader(stx)) {
            return true;
        }
        if (stx == std::string::npos) {
            return false;
        }
        std::string header = input_.substr(0, stx);
        input_.erase(0, stx + 1);
        Record(header + zeichen::STX);
        replyLimitMs_ = kEndMarkLimitMs;
        if (!TakeRefusal(zeichen::STX)) EndHeader(std::move(header));
        return true;
    }
    if (mode_ == Mode::Body && !input_.empty() && input_.front() == zeichen::ETX) {
        input_.erase(0, 1);
        Record(std::string(1, zeichen::ETX));
        replyLimitMs_ = kEndMarkLimitMs;
        if (!TakeRefusal(zeichen::ETX)) EndTransfer();
        return true;
    }
    const auto cr = input_.find(zeichen::CR);
    if (cr == std::string::npos) {
        return false;
    }
    const std::string line = input_.substr(0, cr);
    input_.erase(0, cr + 1);
    HandleLine(line);
    return true;
}

// Header lines carry no CR, so a CR in a streamed header ends an "@" request
// that the console sent in between (a reset, say); it is served, not stored.
bool PeltoController::TakeImmediateFromHeader(std::size_t headerEnd) {
    std::size_t from = 0;
    for (auto cr = input_.find(zeichen::CR); cr != std::string::npos && cr < headerEnd; cr = input_.find(zeichen::CR, from)) {
        const auto at = input_.rfind('@', cr);
        if (at != std::string::npos && at >= from) {
            const std::string line = input_.substr(at, cr - at);
            input_.erase(at, cr - at + 1);
            HandleLine(line);
            return true;
        }
        from = cr + 1;
    }
    return false;
}

// Finds the first complete "@" request that starts a line in the held input.
bool PeltoController::ServeOneImmediate() {
    std::size_t start = 0;
    while (start < input_.size()) {
        const auto cr = input_.find(zeichen::CR, start);
        if (cr == std::string::npos) {
            return false;
        }
        if (input_[start] == '@') {
            const std::string line = input_.substr(start, cr - start);
            input_.erase(start, cr - start + 1);
            HandleLine(line);
            return true;
        }
        start = cr + 1;
    }
    return false;
}

// A strict controller refuses the next complete request at once, unless it
// is an "@" request, instead of holding it until the job is done.
bool PeltoController::TakeRequestWhileBusy() {
    const auto cr = input_.find(zeichen::CR);
    if (cr == std::string::npos) {
        return false;
    }
    const std::string line = input_.substr(0, cr);
    input_.erase(0, cr + 1);
    if (!line.empty() && line.front() == '@') {
        HandleLine(line);
        return true;
    }
    Record(line + zeichen::CR);
    if (strict_.busy == StrictProfile::Busy::Error) {
        SendError(kBusyError);
    }
    return true;
}

void PeltoController::HandleLine(const std::string& received) {
    Record(received + zeichen::CR);
    replyLimitMs_ = !received.empty() && received.front() == '@' && received.size() > 1
                        ? ImmediateLimitMs(received[1])
                        : kLimitMs;
    // A strict controller reads a request as a C string: a NUL ends it.
    const std::string line = strict_.strictErrors ? received.substr(0, received.find('\0')) : received;
    const bool immediate = !line.empty() && line.front() == '@';
    if (mode_ == Mode::Body && (!immediate || strict_.opaqueText)) {
        StoreBodyLine(line);
    } else if (immediate) {
        HandleImmediate(line);
    } else {
        HandleCommand(line);
    }
}

void PeltoController::Record(std::string request) {
    if (requests_.size() == kMaxRecorded) {
        requests_.pop_front();
        requestTimes_.pop_front();
    }
    requests_.push_back(std::move(request));
    requestTimes_.push_back(clock_());
    ++recordedTotal_;
}

const std::vector<std::pair<std::string_view, PeltoController::Handler>>&
PeltoController::Commands() {
    // First match wins, so longer prefixes stand before their beginnings.
    static const std::vector<std::pair<std::string_view, Handler>> table = {
        {"T", &PeltoController::SetDriveSignal},
        {"F", &PeltoController::SetStepMode},
        {"#S", &PeltoController::SetStartSpeed},
        {"#E", &PeltoController::SetEndSpeed},
        {"#R", &PeltoController::SetRampLength},
        {"#O", &PeltoController::SetReferenceOffset},
        {"#H", &PeltoController::RequestReference},
        {"&E1,", &PeltoController::SetE1Link},
        {"I2C-A", &PeltoController::SetI2cOutput},
        {"A", &PeltoController::SetOutput},
        {"WD,", &PeltoController::SetWatchdog},
        {"W", &PeltoController::StartWait},
        {"c,", &PeltoController::SetEncoder},
        {"L", &PeltoController::StartVectorMove},
        {"$H", &PeltoController::StartReferenceRun},
        {"*PW", &PeltoController::OpenProgramWrite},
        {"*PS", &PeltoController::OpenSizeCount},
        {"*PR", &PeltoController::ReadProgram},
        {"*PE", &PeltoController::EraseProgram},
        {"*FR", &PeltoController::ReadTable},
    };
    return table;
}

void PeltoController::HandleCommand(std::string_view text) {
    try {
        if (strict_.strictErrors) {
            if (const auto error = StrictRequestError(text)) {
                throw DeviceError{*error};
            }
        }
        RequestReader r(text);
        for (const auto& [prefix, handler] : Commands()) {
            if (r.Skip(prefix)) {
                (this->*handler)(r);
                return;
            }
        }
        throw DeviceError{kUnknownCommand};
    } catch (const DeviceError& e) {
        SendError(e.number);
    }
}

void PeltoController::HandleImmediate(std::string_view text) {
    RequestReader r(text.substr(1));
    try {
        const char letter = r.TakeChar();
        switch (letter) {
        case 'V': r.ExpectEnd(); SendImmediate(Ack("@V " + std::string(kVersionText))); return;
        case 'X': r.ExpectEnd(); SendImmediate(Ack("@X " + StatusText())); return;
        case 'L': ReportPosition(r); return;
        case 'I': ReportInput(r); return;
        case 'R': r.ExpectEnd(); StopMotion(true); return;
        case 'S': r.ExpectEnd(); StopMotion(false); return;
        case 'B': r.ExpectEnd(); HaltMotion(); return;
        case 'A': r.ExpectEnd(); PauseMotion(true); return;
        case 'C': r.ExpectEnd(); PauseMotion(false); return;
        default: throw DeviceError{kUnknownCommand};
        }
    } catch (const DeviceError& e) {
        // Strict: the only error reply the protocol knows, on the normal channel.
        strict_.strictErrors ? SendError(e.number) : SendImmediate("@E" + std::to_string(e.number) + zeichen::BEL);
    }
}

// ---- Settings ------------------------------------------------------------

void PeltoController::SetDriveSignal(RequestReader& r) {
    const auto mode = r.TakeNumber(0, 1);
    r.ExpectEnd();
    settings_.driveSignal = int(mode);
    Send(Ack(""));
}

void PeltoController::SetStepMode(RequestReader& r) {
    const char step = r.TakeChar();
    const char current = r.TakeChar();
    r.ExpectEnd();
    if ((step != 'H' && step != 'V') || (current != '0' && current != '2' && current != '6')) {
        throw DeviceError{kBadParameter};
    }
    settings_.stepMode = step;
    settings_.holdingCurrent = current - '0';
    Send(Ack(""));
}

void PeltoController::SetStartSpeed(RequestReader& r) {
    const auto hz = r.TakeNumber(0, kMaxHz);
    r.ExpectEnd();
    settings_.startHz = uint32_t(hz);
    Send(Ack(""));
}

void PeltoController::SetEndSpeed(RequestReader& r) {
    const auto index = r.TakeNumber(0, ControllerSettings::kSpeedIndices - 1);
    r.Expect(",");
    const auto hz = r.TakeNumber(0, kMaxHz);
    r.ExpectEnd();
    settings_.endHz[index] = uint32_t(hz);
    Send(Ack(""));
}

void PeltoController::SetRampLength(RequestReader& r) {
    const auto ms = r.TakeNumber(0, 60000);
    r.ExpectEnd();
    settings_.rampMs = uint32_t(ms);
    Send(Ack(""));
}

void PeltoController::SetE1Link(RequestReader& r) {
    settings_.e1Link = TakeOnOff(r);
    Send(Ack(""));
}

void PeltoController::SetOutput(RequestReader& r) {
    const char which = r.TakeChar();
    r.Expect(",");
    const bool on = TakeOnOff(r);
    if (which >= '1' && which <= '8') {
        settings_.outputs[which - '1'] = on;
    } else if (which == 'L') {
        settings_.outputL = on;
    } else if (which == 'R') {
        settings_.outputR = on;
    } else {
        throw DeviceError{kBadParameter};
    }
    Send(Ack(""));
}

void PeltoController::SetI2cOutput(RequestReader& r) {
    const auto n = r.TakeNumber(1, 4);
    r.Expect(",");
    settings_.i2cOutputs[n - 1] = TakeOnOff(r);
    Send(Ack(""));
}

void PeltoController::SetWatchdog(RequestReader& r) {
    settings_.watchdog = TakeOnOff(r);
    Send(Ack(""));
}

void PeltoController::SetReferenceOffset(RequestReader& r) {
    const int axis = RequireAxis(r.TakeChar());
    r.Expect(",");
    const auto offset = r.TakeNumber(-kTravel, kTravel);
    r.ExpectEnd();
    settings_.referenceOffset[axis] = int32_t(offset);
    Send(Ack(""));
}

void PeltoController::RequestReference(RequestReader& r) {
    std::string axes;
    while (!r.AtEnd()) {
        const char letter = r.TakeChar();
        RequireAxis(letter);
        axes += letter;
    }
    if (axes.empty()) {
        throw DeviceError{kUnknownCommand};
    }
    settings_.referenceRequest = axes;
    replyLimitMs_ = kEndMarkLimitMs;
    Send(Ack(""));
}

void PeltoController::SetEncoder(RequestReader& r) {
    const int axis = RequireAxis(r.TakeChar());
    const auto value = r.TakeNumber(-kTravel, kTravel);
    r.ExpectEnd();
    settings_.encoderSetting[axis] = int32_t(value);
    Send(Ack(""));
}

// ---- Moves and waits -----------------------------------------------------

void PeltoController::StartWait(RequestReader& r) {
    const auto ms = r.TakeNumber(0, 3'600'000);
    r.ExpectEnd();
    Job job = NewJob(JobKind::Wait);
    job.fixedMs = double(ms);
    Send(std::string(1, zeichen::NAK));
    StartJob(job);
}

// "L<i>" and any number of ",<axis><value>"; lower case relative.
void PeltoController::StartVectorMove(RequestReader& r) {
    const auto index = r.TakeNumber(0, ControllerSettings::kSpeedIndices - 1);
    std::array<int64_t, 4> target = positions_;
    while (r.Skip(",")) {
        const char letter = r.TakeChar();
        const auto axis = AxisIndex(letter);
        if (!axis) {
            throw DeviceError{kUnknownCommand};
        }
        const auto value = r.TakeNumber(-2 * kTravel, 2 * kTravel);
        target[*axis] = (letter >= 'a') ? positions_[*axis] + value : value;
    }
    r.ExpectEnd();
    Job job = NewJob(JobKind::Move);
    for (int64_t& t : target) {
        if (std::llabs(t) > kTravel) {
            if (!strict_.strictErrors) {
                throw DeviceError{kOutOfTravel};
            }
            // Strict: the move starts and ends at the limit with E7.
            t = std::clamp(t, -kTravel, kTravel);
            job.finalError = kOutOfTravel;
        }
    }
    StartMotion(job, int(index), target);
}

void PeltoController::StartReferenceRun(RequestReader& r) {
    std::array<int64_t, 4> target = positions_;
    Job job = NewJob(JobKind::Reference);
    while (!r.AtEnd()) {
        const int axis = RequireAxis(r.TakeChar());
        target[axis] = settings_.referenceOffset[axis];
        job.referenceAxes |= uint8_t(1u << axis);
    }
    if (job.referenceAxes == 0) {
        throw DeviceError{kUnknownCommand};
    }
    StartMotion(job, kReferenceSpeedIndex, target);
}

void PeltoController::StartMotion(Job job, int speedIndex, const std::array<int64_t, 4>& target) {
    for (int a = 0; a < ControllerSettings::kAxes; ++a) {
        job.from[a] = positions_[a];
        job.delta[a] = target[a] - positions_[a];
        job.steps = std::max(job.steps, double(std::llabs(job.delta[a])));
    }
    const double startHz = settings_.startHz;
    const double endHz = settings_.endHz[speedIndex];
    if (job.steps > 0 && std::max(startHz, endHz) <= 0) {
        throw DeviceError{kBadParameter};  // would never arrive
    }
    job.profile = MotionProfile(startHz, endHz, settings_.rampMs, job.steps);
    Send(std::string(1, zeichen::NAK));
    StartJob(job);
}

// ---- Immediate requests ----------------------------------------------------

void PeltoController::ReportPosition(RequestReader& r) {
    const char letter = r.TakeChar();
    r.ExpectEnd();
    const int axis = RequireAxis(letter);
    SendImmediate(Ack("@L" + std::string(1, letter) + " " + std::to_string(PositionsNow()[axis])));
}

void PeltoController::ReportInput(RequestReader& r) {
    const char letter = r.TakeChar();
    r.ExpectEnd();
    if (letter == 'G') {
        unsigned bits = 0;
        for (int n = 0; n < kInputs; ++n) {
            bits |= unsigned(inputs_[n]) << n;
        }
        std::string hex = {HexDigit(bits >> 12), HexDigit(bits >> 8), HexDigit(bits >> 4), HexDigit(bits)};
        SendImmediate(Ack("@IG " + hex));
        return;
    }
    const auto at = std::string_view("0123456789ABCDEF").find(letter);
    if (at == std::string_view::npos) {
        throw DeviceError{kBadParameter};
    }
    SendImmediate(Ack("@I" + std::string(1, letter) + (inputs_[at] ? " 1" : " 0")));
}

void PeltoController::StopMotion(bool reset) {
    using Final = StrictProfile::StoppedFinal;
    const bool stops = job_ && job_->kind != JobKind::Erase;
    const Final final = stops ? strict_.stoppedFinal : Final::None;
    if (final == Final::Before) {
        // Both on the normal queue, so that "@RS" cannot overtake the answer.
        Send(Ack(""));
        Send(Ack("@RS"));
    } else {
        SendImmediate(Ack("@RS"));
    }
    if (final == Final::After) {
        Send(Ack(""));
    }
    if (stops) {
        FreezePositions();
        job_.reset();
    }
    if (reset) {
        settings_ = ControllerSettings{};
        if (mode_ != Mode::Commands) {
            ForgetPartialInput();  // the rest of the header or line is void
        }
        if (strict_.deafAfterReset.count() > 0) {
            input_.clear();
            deafUntil_ = clock_() + strict_.deafAfterReset;
        }
    }
}

void PeltoController::HaltMotion() {
    SendImmediate(Ack("@B"));
    if (!job_ || job_->kind == JobKind::Erase) {
        return;
    }
    const double now = ElapsedMs(*job_);
    if (job_->kind == JobKind::Wait) {
        job_->fixedMs = std::min(job_->fixedMs, now);
    } else {
        job_->profile.HaltAt(now);
    }
    job_->halting = true;
    job_->finalError = 0;  // it ramps down before the limit
}

void PeltoController::PauseMotion(bool pause) {
    SendImmediate(Ack(Echo("@A")));
    if (!job_ || job_->kind == JobKind::Erase) {
        return;
    }
    const SimTime now = clock_();
    if (pause && !job_->pausedSince) {
        job_->pausedSince = now;
    } else if (!pause && job_->pausedSince) {
        job_->pausedFor += now - *job_->pausedSince;
        job_->pausedSince.reset();
    }
}

std::string PeltoController::StatusText() const {
    char activity = 'I';
    if (job_) {
        switch (job_->kind) {
        case JobKind::Move: activity = 'M'; break;
        case JobKind::Reference: activity = 'R'; break;
        case JobKind::Wait: activity = 'W'; break;
        case JobKind::Erase: activity = 'E'; break;
        }
        activity = job_->halting ? 'H' : activity;
    }
    const char paused = (job_ && job_->pausedSince) ? 'P' : '-';
    const char transfer = mode_ == Mode::Header ? 'H' : mode_ == Mode::Body ? 'B' : '-';
    unsigned outputs = 0;
    for (int n = 0; n < 4; ++n) {
        outputs |= unsigned(settings_.outputs[n]) << n;
    }
    const unsigned flags = unsigned(settings_.watchdog) | unsigned(settings_.e1Link) << 1;
    return {activity, paused, transfer, HexDigit(referencedAxes_), HexDigit(outputs), HexDigit(flags)};
}

void PeltoController::SetInput(int n, bool on) {
    inputs_.at(n) = on;
}

// ---- Program memory --------------------------------------------------------

int PeltoController::ReadSlot(RequestReader& r) {
    const auto n = r.TakeNumber(-99, 99);
    if (!ProgramMemory::IsSlot(int(n))) {
        throw DeviceError{kBadProgramNumber};
    }
    return int(n);
}

void PeltoController::OpenProgramWrite(RequestReader& r) {
    const int n = ReadSlot(r);
    r.ExpectEnd();
    if (memory_.Occupied(n)) {
        throw DeviceError{kProgramExists};
    }
    transfer_ = Transfer{n, {}};
    mode_ = Mode::Header;
    Send(Ack(Echo("*PW" + std::to_string(n))));
}

void PeltoController::OpenSizeCount(RequestReader& r) {
    r.ExpectEnd();
    transfer_ = Transfer{0, {}};
    mode_ = Mode::Header;
    Send(Ack(Echo("*PS")));
}

void PeltoController::EndHeader(std::string header) {
    if (header.size() > kMaxTextBytes) {
        AbandonTransfer(kTooLong);
        return;
    }
    transfer_.program.header = std::move(header);
    mode_ = Mode::Body;
    Send(Ack(""));
}

void PeltoController::StoreBodyLine(const std::string& line) {
    if (line.empty()) {
        AbandonTransfer(kUnknownCommand);
        return;
    }
    if (line.size() > (strict_.strictErrors ? kMaxRequestBytes - 1 : kMaxTextBytes)) {
        AbandonTransfer(kTooLong);
        return;
    }
    const std::size_t inUse = transfer_.slot ? memory_.UsedBytes() : 0;
    if (inUse + transfer_.program.Size() + line.size() + 1 > ProgramMemory::kCapacity) {
        AbandonTransfer(kMemoryFull);
        return;
    }
    transfer_.program.body.push_back(line);
    Send(Ack(""));
}

void PeltoController::EndTransfer() {
    mode_ = Mode::Commands;
    if (transfer_.slot) {
        memory_.Store(transfer_.slot, std::move(transfer_.program));
        Send(Ack(""));
    } else {
        Send(Ack("*PS " + std::to_string(transfer_.program.Size())));
    }
    transfer_ = {};
}

void PeltoController::AbandonTransfer(int error) {
    DropTransfer();
    SendError(error);
}

void PeltoController::DropTransfer() {
    mode_ = Mode::Commands;
    transfer_ = {};
}

void PeltoController::RefuseEndMark(char mark, std::string reply) {
    refusals_[mark] = std::move(reply);
}

// A refused end mark: its reply goes out and the transfer is over.
bool PeltoController::TakeRefusal(char mark) {
    const auto refusal = refusals_.find(mark);
    if (refusal == refusals_.end()) return false;
    DropTransfer();
    Send(std::move(refusal->second));
    refusals_.erase(refusal);
    return true;
}

void PeltoController::ReadProgram(RequestReader& r) {
    replyLimitMs_ = kReadLimitMs;  // its errors too
    const int n = ReadSlot(r);
    const bool headerOnly = r.Skip("H");
    r.ExpectEnd();
    if (!memory_.Occupied(n)) {
        throw DeviceError{kNoSuchProgram};
    }
    const StoredProgram& p = memory_.Program(n);
    const std::string echo = "*PR" + std::to_string(n);
    if (headerOnly) {
        Send(Ack(echo + "H " + Shown(p.header)));
        return;
    }
    Send(echo + zeichen::CR);
    SendLine((p.header.empty() && !strict_.opaqueText ? std::string(" ") : Shown(p.header)) + zeichen::STX);
    for (const std::string& line : p.body) {
        SendLine(Shown(line) + zeichen::CR);
    }
    SendLine(Ack(std::string(1, zeichen::ETX)));
}

void PeltoController::EraseProgram(RequestReader& r) {
    Job job = NewJob(JobKind::Erase);
    std::string echo = "*PEa";
    int occupied = 0;
    if (!r.Skip("a")) {
        job.eraseSlot = ReadSlot(r);
        echo = "*PE" + std::to_string(job.eraseSlot);
        occupied = memory_.Occupied(job.eraseSlot) ? 1 : 0;
    } else {
        for (int n = 1; n <= ProgramMemory::kSlots; ++n) {
            occupied += memory_.Occupied(n) ? 1 : 0;
        }
    }
    r.ExpectEnd();
    Send(echo + zeichen::NAK);
    if (job.eraseSlot && !occupied) {
        SendError(kNoSuchProgram);
        return;
    }
    job.fixedMs = kEraseMsPerSlot * occupied;
    if (strict_.atLimit > 0) {
        job.fixedMs = strict_.atLimit * (job.eraseSlot ? kEndMarkLimitMs : kEraseAllLimitMs);
    }
    StartJob(job);
}

void PeltoController::ReadTable(RequestReader& r) {
    if (r.Skip("a")) {
        r.ExpectEnd();
        for (int n = 1; n <= ProgramMemory::kSlots; ++n) {
            const std::string entry = std::to_string(n) + "=" + memory_.TableEntry(n);
            n == 1 ? Send(Ack("*FRa " + entry)) : SendLine(Ack(entry));
        }
        return;
    }
    const int n = ReadSlot(r);
    r.ExpectEnd();
    Send(Ack("*FR" + std::to_string(n) + " " + memory_.TableEntry(n)));
}

// ---- Jobs ------------------------------------------------------------------

PeltoController::Job PeltoController::NewJob(JobKind kind) const {
    Job job;
    job.kind = kind;
    job.origin = clock_();
    return job;
}

void PeltoController::StartJob(Job job) {
    job_ = std::move(job);
}

double PeltoController::ElapsedMs(const Job& job) const {
    const SimTime until = job.pausedSince ? *job.pausedSince : clock_();
    return DeviceMs(until - job.origin - job.pausedFor).count() / timeScale_;
}

double PeltoController::DurationMs(const Job& job) const {
    const bool motion = job.kind == JobKind::Move || job.kind == JobKind::Reference;
    return motion ? job.profile.DurationMs() : job.fixedMs;
}

SimTime PeltoController::EndTime(const Job& job) const {
    const auto real = std::chrono::duration_cast<SimTime::duration>(DeviceMs(DurationMs(job) * timeScale_));
    return job.origin + job.pausedFor + real;
}

bool PeltoController::JobDue() const {
    return job_ && !job_->pausedSince && clock_() >= EndTime(*job_);
}

std::optional<SimTime> PeltoController::NextEvent() const {
    if (!job_ || job_->pausedSince) {
        return std::nullopt;
    }
    return EndTime(*job_);
}

void PeltoController::FinishJob() {
    const Job job = *job_;
    FreezePositions();
    job_.reset();
    if (job.kind == JobKind::Reference && !job.halting) {
        referencedAxes_ |= job.referenceAxes;
    }
    if (job.kind == JobKind::Erase) {
        job.eraseSlot ? memory_.Erase(job.eraseSlot) : memory_.EraseAll();
    }
    replyLimitMs_ = 0;  // it comes when the job is done
    job.finalError ? SendError(job.finalError) : Send(Ack(""));
}

std::array<int64_t, 4> PeltoController::PositionsNow() const {
    if (!job_ || (job_->kind != JobKind::Move && job_->kind != JobKind::Reference)) {
        return positions_;
    }
    const Job& job = *job_;
    const double t = std::min(ElapsedMs(job), job.profile.DurationMs());
    const double done = job.steps > 0 ? job.profile.StepsAfter(t) / job.steps : 1.0;
    std::array<int64_t, 4> now{};
    for (int a = 0; a < ControllerSettings::kAxes; ++a) {
        now[a] = job.from[a] + std::llround(double(job.delta[a]) * std::clamp(done, 0.0, 1.0));
    }
    return now;
}

void PeltoController::FreezePositions() {
    positions_ = PositionsNow();
}

int64_t PeltoController::Position(char axis) const {
    const auto index = AxisIndex(axis);
    if (!index) {
        throw std::invalid_argument(std::string("no axis ") + axis);
    }
    return PositionsNow()[*index];
}

// ---- Replies -----------------------------------------------------------------

void PeltoController::Send(std::string bytes) {
    replies_.push_back({std::move(bytes), false, replyLimitMs_});
}

void PeltoController::SendLine(std::string bytes) {
    replies_.push_back({std::move(bytes), false, kLimitMs, true});
}

void PeltoController::SendImmediate(std::string bytes) {
    replies_.push_back({std::move(bytes), true, replyLimitMs_});
}

void PeltoController::SendError(int number) {
    Send("E" + std::to_string(number) + zeichen::BEL);
}

std::vector<Reply> PeltoController::TakeReplies() {
    return std::exchange(replies_, {});
}

std::string PeltoController::Echo(std::string text) const {
    return strict_.plainAcks ? std::string() : text;
}

std::string PeltoController::Shown(std::string_view stored) const {
    std::string shown(stored);
    if (strict_.opaqueText) {
        return shown;
    }
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '@') {
            c = '?';
        }
    }
    return shown;
}

}  // namespace sim
