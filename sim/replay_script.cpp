#include "sim/replay_script.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <variant>

#include "common/mitschnitt_zeile.h"

namespace sim {

namespace {

bool EndsRequest(char c) { return c == '\r' || c == '\x02' || c == '\x03'; }

}  // namespace

ReplayScript ReplayScript::FromText(std::string_view text) {
    ReplayScript script;
    std::size_t number = 0;
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
        if (!piece) continue;
        if (piece->richtung == MitschnittZeile::Richtung::Gesendet) {
            script.Sent(piece->bytes, piece->ms, number);
        } else {
            script.Received(piece->bytes, piece->ms);
        }
    }
    return script;
}

ReplayScript ReplayScript::FromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return FromText(text.str());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ", " + e.what());
    }
}

void ReplayScript::Sent(std::string_view bytes, long long ms, std::size_t line) {
    for (const char c : bytes) {
        partial_ += c;
        if (!EndsRequest(c)) continue;
        Exchange exchange{std::move(partial_), {}, line};
        partial_.clear();
        if (exchanges_.empty()) exchange.replies.swap(early_);
        exchanges_.push_back(std::move(exchange));
        lastRequestMs_ = ms;
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
