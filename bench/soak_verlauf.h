#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

// The last exchanges of a soak run, from every thread, for the report of a
// failure: requests as written, replies as shown, errors as reported.
class SoakVerlauf {
public:
    static constexpr std::size_t kZeilen = 50;

    void Anfrage(const char* szRequest);
    void Antwort(const std::string& text);
    void Ereignis(const std::string& text);
    void Vorgang(uint64_t nummer) {
        std::lock_guard lock(mutex_);
        nummer_ = nummer;
    }
    std::deque<std::string> Zeilen() const;

private:
    void Merken(char art, const std::string& text);

    mutable std::mutex mutex_;
    std::deque<std::string> zeilen_;
    uint64_t nummer_ = 0;
};
