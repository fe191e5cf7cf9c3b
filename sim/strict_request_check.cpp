#include "sim/strict_request_check.h"

#include <cctype>
#include <string>

#include "sim/request_reader.h"

namespace sim {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Numbers go out as "%d" writes them: no leading zeros, no "-0".
bool NumbersCanonical(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsDigit(text[i]) || (i > 0 && IsDigit(text[i - 1]))) {
            continue;
        }
        const bool longer = i + 1 < text.size() && IsDigit(text[i + 1]);
        const bool negative = i > 0 && text[i - 1] == '-';
        if (text[i] == '0' && (longer || negative)) {
            return false;
        }
    }
    return true;
}

// Each letter at most once and in the order of `order`; at least one.
bool InOrder(std::string_view letters, std::string_view order) {
    std::size_t from = 0;
    for (const char c : letters) {
        const auto at = order.find(c, from);
        if (at == std::string_view::npos) {
            return false;
        }
        from = at + 1;
    }
    return !letters.empty();
}

// "L<i>" then ",x", ",y", ",z" in this order and of one case, or ",u" alone.
// Letters that are no axis are left to the ordinary parsing.
bool MoveAxesWellFormed(std::string_view text) {
    std::string letters;
    bool upper = false;
    bool lower = false;
    for (auto comma = text.find(','); comma != std::string_view::npos; comma = text.find(',', comma + 1)) {
        const char c = comma + 1 < text.size() ? text[comma + 1] : '\0';
        const char axis = char(std::tolower(static_cast<unsigned char>(c)));
        if (std::string_view("xyzu").find(axis) == std::string_view::npos) {
            return true;
        }
        (axis == c ? lower : upper) = true;
        letters += axis;
    }
    if (letters.empty()) {
        return true;
    }
    if (upper && lower) {
        return false;
    }
    return letters == "u" || InOrder(letters, "xyz");
}

}  // namespace

std::optional<int> StrictRequestError(std::string_view text) {
    if (text.size() + 1 > kMaxRequestBytes) {
        return kTooLong;
    }
    if (!NumbersCanonical(text)) {
        return kUnknownCommand;
    }
    const bool wellFormed = text.starts_with("#H")   ? InOrder(text.substr(2), "zxyu")
                            : text.starts_with("$H") ? text.substr(2) == "u" || InOrder(text.substr(2), "zxy")
                            : text.starts_with("L")  ? MoveAxesWellFormed(text)
                                                     : true;
    if (!wellFormed) {
        return kUnknownCommand;
    }
    return std::nullopt;
}

}  // namespace sim
