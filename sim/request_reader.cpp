#include "sim/request_reader.h"

namespace sim {

namespace {
// More digits than any value of the command set; keeps the sum exact.
constexpr int kMaxDigits = 12;
}  // namespace

bool RequestReader::Skip(std::string_view prefix) {
    if (rest_.substr(0, prefix.size()) != prefix) {
        return false;
    }
    rest_.remove_prefix(prefix.size());
    return true;
}

void RequestReader::Expect(std::string_view prefix) {
    if (!Skip(prefix)) {
        throw DeviceError{kUnknownCommand};
    }
}

char RequestReader::TakeChar() {
    if (rest_.empty()) {
        throw DeviceError{kUnknownCommand};
    }
    const char c = rest_.front();
    rest_.remove_prefix(1);
    return c;
}

std::optional<char> RequestReader::PeekChar() const {
    if (rest_.empty()) {
        return std::nullopt;
    }
    return rest_.front();
}

int64_t RequestReader::TakeNumber(int64_t lowest, int64_t highest) {
    const bool negative = Skip("-");
    int64_t value = 0;
    int digits = 0;
    while (!rest_.empty() && rest_.front() >= '0' && rest_.front() <= '9') {
        if (++digits > kMaxDigits) {
            throw DeviceError{kBadParameter};
        }
        value = value * 10 + (rest_.front() - '0');
        rest_.remove_prefix(1);
    }
    if (digits == 0) {
        throw DeviceError{kUnknownCommand};
    }
    value = negative ? -value : value;
    if (value < lowest || value > highest) {
        throw DeviceError{kBadParameter};
    }
    return value;
}

void RequestReader::ExpectEnd() const {
    if (!rest_.empty()) {
        throw DeviceError{kUnknownCommand};
    }
}

}  // namespace sim
