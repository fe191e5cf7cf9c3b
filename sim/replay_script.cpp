#include "sim/replay_script.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <variant>

#include "common/mitschnitt_zeile.h"

namespace sim {

namespace {

bool EndsRequest(char c) { return c == '\r' || c == '\x02' || c == '\x03'; }

// What every recording begins with.
constexpr const char* kRunLine = "# run of ";
// A day at the bench fits many times over; more is no recording.
constexpr off_t kMaxBytes = off_t(256) << 20;

// Opened without blocking, so that a FIFO named by mistake cannot hang the start.
std::string ReadRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    struct stat st {};
    std::string why;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) why = "not a regular file";
    else if (st.st_size > kMaxBytes) why = "larger than 256 MiB";
    std::string text;
    char buffer[65536];
    for (ssize_t n = 0; why.empty() && (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = std::strerror(errno);
        else text.append(buffer, static_cast<std::size_t>(n));
        if (off_t(text.size()) > kMaxBytes) why = "larger than 256 MiB";
    }
    ::close(fd);
    if (!why.empty()) throw std::runtime_error("cannot read " + path + ": " + why);
    return text;
}

}  // namespace

ReplayScript ReplayScript::FromText(std::string_view text) {
    ReplayScript script;
    std::size_t number = 0;
    const std::size_t first = text.find_first_not_of("\r\n");
    if (first == std::string_view::npos || text.substr(first).rfind(kRunLine, 0) != 0)
        throw std::runtime_error(std::string("no recording: it does not begin with \"") + kRunLine + "\"");
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++number;
        const MitschnittLesung read = Mitschnitt_lesen(line);
        if (const auto* error = std::get_if<std::string>(&read)) {
            throw std::runtime_error("line " + std::to_string(number) + ": " + *error);
        }
        const auto* piece = std::get_if<MitschnittZeile>(&read);
        if (!piece) {
            try {
                script.Comment(line);
            } catch (const std::runtime_error& e) {
                throw std::runtime_error("line " + std::to_string(number) + ": " + e.what());
            }
            continue;
        }
        if (piece->richtung == MitschnittZeile::Richtung::Gesendet) {
            script.Sent(piece->bytes, piece->ms, number);
        } else {
            script.Received(piece->bytes, piece->ms);
        }
    }
    return script;
}

ReplayScript ReplayScript::FromFile(const std::string& path) {
    const std::string text = ReadRegularFile(path);
    try {
        return FromText(text);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ", " + e.what());
    }
}

void ReplayScript::Sent(std::string_view bytes, long long ms, std::size_t line) {
    for (const char c : bytes) {
        partial_ += c;
        if (!EndsRequest(c)) continue;
        Exchange exchange{std::move(partial_), {}, line, std::nullopt, std::chrono::milliseconds(300)};
        partial_.clear();
        if (exchanges_.empty()) exchange.replies.swap(early_);
        exchanges_.push_back(std::move(exchange));
        lastRequestMs_ = ms;
    }
}

// "# line gone at MS": the replay drops its line then. It opens it again
// halfway to the console's next "# open ... at MS", so that is ready in time.
void ReplayScript::Comment(std::string_view line) {
    // Older recordings have no time in their comments; a time there must be one.
    const auto At = [line](long long& ms) {
        const std::size_t at = line.rfind(" at ");
        if (at == std::string_view::npos) return false;
        const auto [p, ec] = std::from_chars(line.data() + at + 4, line.data() + line.size(), ms);
        if (ec != std::errc() || p != line.data() + line.size() || ms < 0 || ms > kMitschnittHoechstMs)
            throw std::runtime_error("time stamp out of range");
        return true;
    };
    long long ms = 0;
    const bool bGone = line.rfind("# line gone", 0) == 0;
    if (bGone && !At(ms)) throw std::runtime_error("\"# line gone\" without its time");
    if (bGone && !exchanges_.empty()) {
        exchanges_.back().dropAfter = std::chrono::milliseconds(std::max(0LL, ms - lastRequestMs_));
        goneMs_ = ms;
    } else if (line.rfind("# open ", 0) == 0 && At(ms) && goneMs_) {
        exchanges_.back().downFor = std::chrono::milliseconds(std::clamp((ms - *goneMs_) / 2, 10LL, 5000LL));
        goneMs_.reset();
    }
}

// A later run in the same file starts its clock again: never before the request.
void ReplayScript::Received(std::string bytes, long long ms) {
    if (exchanges_.empty()) {
        early_.push_back({std::chrono::milliseconds(0), std::move(bytes)});
        return;
    }
    const auto after = std::chrono::milliseconds(std::max(0LL, ms - lastRequestMs_));
    exchanges_.back().replies.push_back({after, std::move(bytes)});
}

}  // namespace sim
