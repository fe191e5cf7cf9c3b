#pragma once

#include <chrono>
#include <ctime>
#include <deque>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/inbound_line.h"
#include "sim/output_queue.h"
#include "sim/usb_adapter.h"
#include "sim/pelto_controller.h"
#include "sim/pty_endpoint.h"
#include "sim/pty_service.h"
#include "sim/reply_rule.h"
#include "sim/strict_profile.h"

namespace sim {

struct SimOptions {
    std::string linkPath;                  // symbolic link to the slave; empty: none
    bool pace = false;                     // bytes at the console's baud rate, 10 bits each
    std::chrono::milliseconds latency{0};  // before every reply
    std::chrono::milliseconds adapter{0};  // a USB adapter's latency timer holds replies; 0: none
    double timeScale = 1.0;                // device time stretch for moves, waits, erasing
    bool silent = false;                   // answer nothing
    StrictProfile strict;                  // unkind readings of the controller
};

// A simulated controller on a pseudo-terminal, served by its own thread.
// Several may run in one process. All members are thread-safe.
// Start() opens the terminal, Stop() also removes the link; DevicePath() is
// empty while the line is dropped.
class SimServer : public PtyService {
public:
    explicit SimServer(SimOptions options = {});
    ~SimServer() override;
    // Counts the terminals opened so far; grows when a dropped line returns.
    unsigned LineGeneration() const;

    // Faults and options on demand.
    void SetSilent(bool on);
    void SetLate(std::chrono::milliseconds extra);
    void SetLatency(std::chrono::milliseconds latency);
    void SetPacing(bool on);
    void SetTimeScale(double scale);
    void InjectGarbage(std::string bytes);
    void AddRule(ReplyRule rule);
    // Forgets the rules not used up.
    void ClearRules();
    // Switches the unkind readings (all but the terminal's) while serving.
    void SetStrict(const StrictProfile& strict);
    // Closes the terminal now and opens a new one after `downFor`.
    void DropLine(std::chrono::milliseconds downFor);
    // Switches the controller off and on: only its program memory stays.
    void PowerCycle();

    // Introspection.
    int64_t Position(char axis) const;
    bool SlotOccupied(int n) const;
    StoredProgram Slot(int n) const;
    std::vector<std::string> Requests() const;
    // When the controller last had this request complete.
    std::optional<SimTime> LastArrival(const std::string& request) const;
    // Bytes carried by the line so far, each way.
    struct Bytes {
        uint64_t in = 0, out = 0;
    };
    Bytes LineBytes() const;
    // Every request taken by the controller or answered by a rule since the
    // last call, in the order they were taken (the last 100000 at most).
    std::vector<std::string> TakeArrivals();
    // Forgets the ruled requests, the written bytes and the turnarounds kept
    // so far, so that a long run stays within its memory.
    void ClearHistory();
    // Requests answered by a rule, in order of arrival.
    std::vector<std::string> RuledRequests() const;
    // Every byte the controller's end has written to the line (the last MiB).
    std::string Written() const;
    // For every reply followed by a request: from the reply's last byte
    // leaving the controller to the request's first byte arriving, that is
    // how long the other side took to go on.
    std::vector<std::chrono::nanoseconds> Turnarounds() const;
    std::string Status() const;
    void SetInput(int n, bool on);
    // Runs `f` on the controller under the server's lock; `f` must not call
    // back into the server.
    void Inspect(const std::function<void(PeltoController&)>& f);

private:
    using Clock = std::chrono::steady_clock;

    std::unique_ptr<PtyEndpoint> OpenLocked() override;
    void StartedLocked() override;
    void StoppedLocked() override;
    void Run() override;
    void ServeLocked(SimTime now);
    void HandleDropLocked(SimTime now);
    void ReadRequestsLocked(SimTime now);
    void QueueRepliesLocked(SimTime now);
    void RouteLocked(std::string_view bytes, SimTime now);
    bool ApplyRuleLocked(const std::string& request, SimTime now);
    void WriteLocked(SimTime now);
    void JournalLocked();
    std::size_t UartPieceLocked(SimTime now);
    bool BaudMismatchLocked() const;
    std::chrono::nanoseconds ByteTimeLocked() const;
    timespec PollTimeout(SimTime now) const;

    SimOptions options_;
    std::chrono::milliseconds late_{0};
    PeltoController controller_;
    OutputQueue output_;
    UsbAdapter adapter_;
    InboundLine inbound_;
    SimTime inputArrivedAt_{};
    std::string unwritten_;
    std::vector<ReplyRule> rules_;
    std::string ruleLine_;  // a request still arriving, while rules apply
    std::vector<std::string> ruled_;
    std::deque<std::string> journal_;
    uint64_t journaled_ = 0;  // controller records already in journal_
    std::string written_;
    Bytes lineBytes_;
    std::optional<SimTime> repliedAt_;  // last byte out, no request since
    std::vector<std::chrono::nanoseconds> turnarounds_;
    std::optional<std::mt19937> uart_;
    SimTime uartNextAt_{};
    unsigned generation_ = 0;
    std::optional<std::chrono::milliseconds> dropRequest_;
    std::optional<SimTime> reopenAt_;
};

}  // namespace sim
