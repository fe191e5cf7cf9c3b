#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Matches what the console wrote with what the controller took, one channel
// at a time ("@" requests and the rest keep their own order at the far end).
// Header text goes out in pieces and arrives as one request with its end
// mark, so the pieces are joined. What has not arrived yet waits for the
// next window; memory stays bounded because every window is cleared.
class SoakAbgleich {
public:
    // From the link, any thread, in the order of the line.
    void Gesendet(const char* szRequest, bool bOhneAntwort);
    // What the controller took since the last call; a mismatch described,
    // after which both sides start afresh.
    std::optional<std::string> Pruefen(const std::vector<std::string>& angekommen);
    // The line went down or the controller was switched off: what was in
    // flight is lost on the way; both sides start afresh.
    void Verwerfen();
    // A write was cut off: its header text never gets its end mark.
    void Kopf_verwerfen();
    uint64_t Verglichen() const { return verglichen_; }
    // Requests written and not yet seen at the far end.
    std::size_t Offen() const;

private:
    std::optional<std::string> Kanal_pruefen(std::deque<std::string>& gesendet, std::deque<std::string>& angekommen);

    mutable std::mutex mutex_;
    std::string kopf_;
    std::deque<std::string> gesendet_[2], angekommen_[2];
    uint64_t verglichen_ = 0;
};
