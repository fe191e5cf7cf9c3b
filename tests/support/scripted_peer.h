#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/zeichen.h"

// A controller stand-in on a real pseudo-terminal: the link under test opens
// the slave side; the peer reads requests on the master side and answers
// with given bytes after given delays.
class ScriptedPeer {
public:
    struct Reply {
        int delayMs;
        std::string bytes;
    };
    // Called for each request (ending with CR, STX or ETX); returns replies.
    using Responder = std::function<std::vector<Reply>(const std::string& request)>;

    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    const std::string& SlavePath() const { return slavePath_; }

    // Expected requests in order, each with its replies; a request that does
    // not match the next expectation is recorded in Mismatches().
    void Expect(const std::string& request, std::vector<Reply> replies);
    void SetResponder(Responder responder);
    // Unsolicited bytes, after a delay.
    void Send(const std::string& bytes, int delayMs = 0);

    // Closes the line for good, as when an adapter is pulled out.
    void Hangup();

    // Everything the link has written so far.
    std::string Received() const;
    std::vector<std::string> Requests() const;
    std::vector<std::string> Mismatches() const;
    // Waits until at least n requests have arrived.
    bool WaitRequests(size_t n, int timeoutMs = 3000) const;

private:
    void ReadLoop();
    void StopReader();
    void WriteLoop();
    void OnRequest(const std::string& request);

    int master_ = -1;
    int slaveKeep_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string slavePath_;

    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    bool stop_ = false;
    std::string received_;
    std::string pending_;
    std::vector<std::string> requests_;
    std::vector<std::string> mismatches_;
    std::deque<std::pair<std::string, std::vector<Reply>>> script_;
    Responder responder_;
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> outbox_;

    std::thread reader_;
    std::thread writer_;
};

// Control characters for building replies.
namespace cc {
inline const std::string STX = zeichen::Text(zeichen::STX), ETX = zeichen::Text(zeichen::ETX),
                         ACK = zeichen::Text(zeichen::ACK), BEL = zeichen::Text(zeichen::BEL),
                         CR = zeichen::Text(zeichen::CR), NAK = zeichen::Text(zeichen::NAK);
}
