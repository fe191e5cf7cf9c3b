#include "bench/soak_abgleich.h"

#include "common/steuerzeichen.h"

namespace {

int Kanal(const std::string& r) { return !r.empty() && r[0] == '@' ? 1 : 0; }

}  // namespace

void SoakAbgleich::Gesendet(const char* szRequest, bool bOhneAntwort) {
    std::lock_guard lock(mutex_);
    if (bOhneAntwort) {
        kopf_ += szRequest;
        return;
    }
    std::string r = szRequest;
    // The end mark completes the header: STX alone, or "..." STX.
    if (!r.empty() && r.back() == '\x02') {
        r = kopf_ + r;
        kopf_.clear();
        gesendet_[0].push_back(std::move(r));
        return;
    }
    gesendet_[Kanal(r)].push_back(std::move(r));
}

std::optional<std::string> SoakAbgleich::Pruefen(const std::vector<std::string>& angekommen) {
    std::lock_guard lock(mutex_);
    for (const std::string& r : angekommen) angekommen_[Kanal(r)].push_back(r);
    for (int k = 0; k < 2; ++k) {
        if (auto fehler = Kanal_pruefen(gesendet_[k], angekommen_[k])) {
            for (auto& d : gesendet_) d.clear();
            for (auto& d : angekommen_) d.clear();
            return fehler;
        }
    }
    return std::nullopt;
}

std::optional<std::string> SoakAbgleich::Kanal_pruefen(std::deque<std::string>& gesendet,
                                                      std::deque<std::string>& angekommen) {
    while (!gesendet.empty() && !angekommen.empty()) {
        if (gesendet.front() != angekommen.front())
            return "the controller took " + Dargestellt(angekommen.front().c_str()) + " where the console wrote " +
                   Dargestellt(gesendet.front().c_str());
        gesendet.pop_front();
        angekommen.pop_front();
        ++verglichen_;
    }
    if (!angekommen.empty())
        return "the controller took " + Dargestellt(angekommen.front().c_str()) + ", which the console never wrote";
    return std::nullopt;
}

void SoakAbgleich::Verwerfen() {
    std::lock_guard lock(mutex_);
    kopf_.clear();
    for (auto& d : gesendet_) d.clear();
    for (auto& d : angekommen_) d.clear();
}

void SoakAbgleich::Kopf_verwerfen() {
    std::lock_guard lock(mutex_);
    kopf_.clear();
}

std::size_t SoakAbgleich::Offen() const {
    std::lock_guard lock(mutex_);
    return gesendet_[0].size() + gesendet_[1].size();
}
