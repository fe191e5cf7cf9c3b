#include "sim/sim_server.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <stdexcept>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::size_t kMaxUnwritten = 1024 * 1024;  // nobody reads: drop beyond this
constexpr auto kReopenRetry = std::chrono::milliseconds(100);
constexpr auto kIdlePoll = std::chrono::milliseconds(1000);
constexpr long kSpinNs = 200'000;
// A UART's pieces: up to this many bytes, then a pause of up to this long.
constexpr int kUartMaxPiece = 24;
constexpr auto kUartMaxGap = std::chrono::microseconds(4000);

// What the line makes of bytes sent at another baud rate: a fixed scramble.
void Garble(char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        bytes[i] = char(((b << 3) | (b >> 5)) ^ 0xC5);
    }
}

}  // namespace

SimServer::SimServer(SimOptions options)
    : options_(std::move(options)),
      controller_([] { return std::chrono::steady_clock::now(); }, options_.timeScale, options_.strict),
      adapter_(options_.adapter) {
    if (options_.strict.uartSeed) uart_.emplace(*options_.strict.uartSeed);
}

SimServer::~SimServer() { Stop(); }

std::unique_ptr<PtyEndpoint> SimServer::OpenLocked() {
    return std::make_unique<PtyEndpoint>(options_.linkPath, !options_.strict.terminalDefaults);
}

void SimServer::StartedLocked() { ++generation_; }

void SimServer::StoppedLocked() { reopenAt_.reset(); }

void SimServer::Run() {
    // Paced bytes are due every few microseconds; the default slack of
    // 50 us per wake-up would stretch every exchange.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const SimTime now = Clock::now();
        ServeLocked(now);
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {-1, 0, 0}};
        if (pty_) {
            fds[1].fd = pty_->MasterFd();
            fds[1].events = short(POLLIN | (unwritten_.empty() ? 0 : POLLOUT));
        }
        timespec timeout = PollTimeout(Clock::now());
        const bool paced = options_.pace;
        lock.unlock();
        // A wake-up at a deadline comes tens of microseconds late; for the
        // last stretch before a paced byte is due, look without sleeping.
        if (timeout.tv_sec == 0 && timeout.tv_nsec > 0 && timeout.tv_nsec <= kSpinNs) {
            const auto due = Clock::now() + std::chrono::nanoseconds(timeout.tv_nsec);
            timeout = {0, 0};
            while (ppoll(fds, 2, &timeout, nullptr) == 0 && Clock::now() < due) {
            }
        } else {
            // Wake a little early when a paced byte is due, then look as above.
            if (timeout.tv_sec == 0 && paced) timeout.tv_nsec = std::max(0L, timeout.tv_nsec - kSpinNs);
            ppoll(fds, 2, &timeout, nullptr);
        }
        Drain();
        lock.lock();
    }
}

void SimServer::ServeLocked(SimTime now) {
    HandleDropLocked(now);
    if (!pty_) {
        return;
    }
    ReadRequestsLocked(now);
    controller_.Poll();
    QueueRepliesLocked(now);
    WriteLocked(now);
}

void SimServer::HandleDropLocked(SimTime now) {
    if (dropRequest_) {
        pty_.reset();
        output_.Clear();
        adapter_.Clear();
        inbound_.Clear();
        unwritten_.clear();
        repliedAt_.reset();
        // The controller cannot see the other end go: a strict one keeps
        // its half-received request and its program transfer.
        if (!options_.strict.keepStateOnDrop) controller_.ForgetPartialInput();
        reopenAt_ = now + *dropRequest_;
        dropRequest_.reset();
    }
    if (pty_ || !reopenAt_ || now < *reopenAt_) {
        return;
    }
    try {
        pty_ = std::make_unique<PtyEndpoint>(options_.linkPath, !options_.strict.terminalDefaults);
        ++generation_;
        reopenAt_.reset();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s; trying again\n", e.what());
        reopenAt_ = now + kReopenRetry;
    }
}

void SimServer::ReadRequestsLocked(SimTime now) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pty_->MasterFd(), buffer, sizeof buffer);
        if (n <= 0) {
            return;  // EAGAIN: all read; EIO cannot happen while our slave is open
        }
        // Read now, not when this turn began: the bytes may have come since.
        const SimTime at = std::max(now, Clock::now());
        if (repliedAt_ && unwritten_.empty()) turnarounds_.push_back(at - *repliedAt_);
        repliedAt_.reset();
        inputArrivedAt_ = inbound_.Arrive(std::size_t(n), at, ByteTimeLocked());
        lineBytes_.in += std::uint64_t(n);
        if (BaudMismatchLocked()) Garble(buffer, std::size_t(n));
        RouteLocked(std::string_view(buffer, std::size_t(n)), now);
    }
}

// While rules apply, requests reach the controller whole, unless a rule
// answers them.
void SimServer::RouteLocked(std::string_view bytes, SimTime now) {
    if (rules_.empty() && ruleLine_.empty()) {
        controller_.Receive(bytes);
        return;
    }
    for (const char c : bytes) {
        ruleLine_ += c;
        if (c != '\r' && c != '\x02' && c != '\x03') continue;
        std::string request;
        request.swap(ruleLine_);
        if (!ApplyRuleLocked(request, now)) controller_.Receive(request);
    }
}

bool SimServer::ApplyRuleLocked(const std::string& request, SimTime now) {
    const auto rule = std::find_if(rules_.begin(), rules_.end(), [&](const ReplyRule& r) { return r.request == request; });
    if (rule == rules_.end()) return false;
    ruled_.push_back(request);
    JournalLocked();
    journal_.push_back(request);
    // An "@" request's answer goes out at once, between a reply's bytes.
    const bool bSofort = !request.empty() && request[0] == '@';
    for (const ReplyRule::Part& part : rule->parts)
        output_.Push({part.bytes, bSofort}, std::max(now, inputArrivedAt_) + part.after);
    if (--rule->times <= 0) rules_.erase(rule);
    return true;
}

void SimServer::QueueRepliesLocked(SimTime now) {
    std::vector<Reply> replies = controller_.TakeReplies();
    if (options_.silent) {
        return;
    }
    // No answer leaves before the request it answers has come down the line.
    SimTime due = std::max(now, inputArrivedAt_) + options_.latency + late_;
    const StrictProfile& strict = options_.strict;
    for (Reply& reply : replies) {
        // Strict timing: each reply waits its share of its limit, the lines
        // of a read after the line before has gone.
        const auto wait = std::chrono::duration_cast<SimTime::duration>(
            DeviceMs(strict.atLimit * reply.limitMs) + (reply.line ? strict.linePause : std::chrono::milliseconds(0)));
        due += wait;
        const std::size_t size = reply.bytes.size();
        output_.Push(std::move(reply), due);
        if (strict.atLimit > 0 || strict.linePause.count() > 0) due += ByteTimeLocked() * size;
    }
}

bool SimServer::BaudMismatchLocked() const {
    return options_.strict.baud != 0 && pty_ && pty_->BaudRate() != options_.strict.baud;
}

std::chrono::nanoseconds SimServer::ByteTimeLocked() const {
    const unsigned baud = options_.pace && pty_ ? pty_->BaudRate() : 0;
    if (baud == 0) {
        return std::chrono::nanoseconds(0);
    }
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

void SimServer::WriteLocked(SimTime now) {
    adapter_.Take(output_.TakeDue(now, ByteTimeLocked()), now);
    std::string released = adapter_.Release(now);
    if (BaudMismatchLocked()) Garble(released.data(), released.size());
    unwritten_ += released;
    if (unwritten_.size() > kMaxUnwritten) {
        unwritten_.clear();
    }
    while (!unwritten_.empty()) {
        if (uart_ && now < uartNextAt_) return;
        const ssize_t n = write(pty_->MasterFd(), unwritten_.data(), UartPieceLocked(now));
        if (n <= 0) {
            return;  // full: poll for room
        }
        lineBytes_.out += std::uint64_t(n);
        written_.append(unwritten_, 0, std::size_t(n));
        if (written_.size() > kMaxUnwritten) written_.erase(0, written_.size() - kMaxUnwritten);
        unwritten_.erase(0, std::size_t(n));
        repliedAt_ = now;
    }
}

// The whole rest, or with a UART a random piece of it; the pause after
// that piece starts now.
std::size_t SimServer::UartPieceLocked(SimTime now) {
    if (!uart_) return unwritten_.size();
    std::uniform_int_distribution<int> piece(1, kUartMaxPiece);
    std::uniform_int_distribution<long> gap(-kUartMaxGap.count(), kUartMaxGap.count());
    uartNextAt_ = now + std::chrono::microseconds(std::max(0L, gap(*uart_)));  // half of them none
    return std::min(unwritten_.size(), std::size_t(piece(*uart_)));
}

timespec SimServer::PollTimeout(SimTime now) const {
    std::optional<SimTime> wake = controller_.NextEvent();
    auto consider = [&wake](std::optional<SimTime> t) {
        if (t && (!wake || *t < *wake)) {
            wake = t;
        }
    };
    if (pty_) {
        consider(output_.NextDue(ByteTimeLocked()));
        consider(adapter_.NextRelease());
        if (uart_ && !unwritten_.empty()) consider(uartNextAt_);
    }
    consider(reopenAt_);
    // Paced bytes are due every few microseconds: wait to the nanosecond.
    auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(kIdlePoll);
    if (wake) wait = std::clamp(std::chrono::duration_cast<std::chrono::nanoseconds>(*wake - now),
                                std::chrono::nanoseconds(0), wait);
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(wait);
    return timespec{static_cast<time_t>(secs.count()), static_cast<long>((wait - secs).count())};
}

unsigned SimServer::LineGeneration() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void SimServer::SetSilent(bool on) {
    {
        std::lock_guard lock(mutex_);
        options_.silent = on;
    }
    Wake();
}

void SimServer::SetLate(std::chrono::milliseconds extra) {
    {
        std::lock_guard lock(mutex_);
        late_ = extra;
    }
    Wake();
}

void SimServer::SetLatency(std::chrono::milliseconds latency) {
    {
        std::lock_guard lock(mutex_);
        options_.latency = latency;
    }
    Wake();
}

void SimServer::SetPacing(bool on) {
    {
        std::lock_guard lock(mutex_);
        options_.pace = on;
    }
    Wake();
}

void SimServer::SetTimeScale(double scale) {
    {
        std::lock_guard lock(mutex_);
        controller_.SetTimeScale(scale);
        options_.timeScale = scale;
    }
    Wake();
}

void SimServer::InjectGarbage(std::string bytes) {
    {
        std::lock_guard lock(mutex_);
        output_.Push({std::move(bytes), false}, Clock::now());
    }
    Wake();
}

void SimServer::AddRule(ReplyRule rule) {
    {
        std::lock_guard lock(mutex_);
        rules_.push_back(std::move(rule));
    }
    Wake();
}

void SimServer::ClearRules() {
    std::lock_guard lock(mutex_);
    rules_.clear();
}

void SimServer::SetStrict(const StrictProfile& strict) {
    {
        std::lock_guard lock(mutex_);
        options_.strict = strict;
        controller_.SetStrict(strict);
        if (strict.uartSeed) uart_.emplace(*strict.uartSeed);
        else uart_.reset();
    }
    Wake();
}

// Brings the controller's new records into the journal, which keeps the
// order between them and the requests rules took.
void SimServer::JournalLocked() {
    constexpr std::size_t kMaxJournal = 100000;
    const uint64_t total = controller_.RecordedTotal();
    const auto& requests = controller_.Requests();
    const std::size_t neu = std::size_t(std::min<uint64_t>(total - journaled_, requests.size()));
    journal_.insert(journal_.end(), requests.end() - std::ptrdiff_t(neu), requests.end());
    journaled_ = total;
    while (journal_.size() > kMaxJournal) journal_.pop_front();
}

std::vector<std::string> SimServer::TakeArrivals() {
    std::lock_guard lock(mutex_);
    JournalLocked();
    std::vector<std::string> out(std::make_move_iterator(journal_.begin()), std::make_move_iterator(journal_.end()));
    journal_.clear();
    return out;
}

void SimServer::ClearHistory() {
    std::lock_guard lock(mutex_);
    ruled_.clear();
    written_.clear();
    turnarounds_.clear();
}

std::vector<std::string> SimServer::RuledRequests() const {
    std::lock_guard lock(mutex_);
    return ruled_;
}

std::string SimServer::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void SimServer::PowerCycle() {
    {
        std::lock_guard lock(mutex_);
        controller_.PowerCycle();
        output_.Clear();
        adapter_.Clear();
        unwritten_.clear();
    }
    Wake();
}

void SimServer::DropLine(std::chrono::milliseconds downFor) {
    {
        std::lock_guard lock(mutex_);
        dropRequest_ = downFor;
    }
    Wake();
}

int64_t SimServer::Position(char axis) const {
    std::lock_guard lock(mutex_);
    return controller_.Position(axis);
}

bool SimServer::SlotOccupied(int n) const {
    std::lock_guard lock(mutex_);
    return controller_.Memory().Occupied(n);
}

StoredProgram SimServer::Slot(int n) const {
    std::lock_guard lock(mutex_);
    return controller_.Memory().Program(n);
}

std::vector<std::string> SimServer::Requests() const {
    std::lock_guard lock(mutex_);
    return {controller_.Requests().begin(), controller_.Requests().end()};
}

std::optional<SimTime> SimServer::LastArrival(const std::string& request) const {
    std::lock_guard lock(mutex_);
    const auto& requests = controller_.Requests();
    for (std::size_t i = requests.size(); i-- > 0;) {
        if (requests[i] == request) return controller_.RequestTimes()[i];
    }
    return std::nullopt;
}

SimServer::Bytes SimServer::LineBytes() const {
    std::lock_guard lock(mutex_);
    return lineBytes_;
}

std::vector<std::chrono::nanoseconds> SimServer::Turnarounds() const {
    std::lock_guard lock(mutex_);
    return turnarounds_;
}

std::string SimServer::Status() const {
    std::lock_guard lock(mutex_);
    return controller_.StatusText();
}

void SimServer::SetInput(int n, bool on) {
    std::lock_guard lock(mutex_);
    controller_.SetInput(n, on);
}

void SimServer::Inspect(const std::function<void(PeltoController&)>& f) {
    {
        std::lock_guard lock(mutex_);
        f(controller_);
    }
    Wake();  // f may have changed what is due
}

}  // namespace sim
