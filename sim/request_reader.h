#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

// The controller's error reply "E" n BEL, raised while a request is parsed
// or carried out and turned into the reply by the dispatcher.
struct DeviceError {
    int number;
};

inline constexpr int kUnknownCommand = 1;   // E1
inline constexpr int kBadProgramNumber = 2;  // E2
inline constexpr int kNoSuchProgram = 3;     // E3
inline constexpr int kMemoryFull = 4;        // E4
inline constexpr int kProgramExists = 5;     // E5
inline constexpr int kBadParameter = 6;      // E6
inline constexpr int kOutOfTravel = 7;       // E7
inline constexpr int kTooLong = 8;           // E8

// Walks through the text of one request (without its CR). Malformed text
// raises E1, a well-formed value outside its range E6.
class RequestReader {
public:
    explicit RequestReader(std::string_view text) : rest_(text) {}

    bool Skip(std::string_view prefix);
    void Expect(std::string_view prefix);  // E1 when absent
    char TakeChar();                       // E1 at the end
    std::optional<char> PeekChar() const;
    int64_t TakeNumber(int64_t lowest, int64_t highest);
    void ExpectEnd() const;
    bool AtEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

}  // namespace sim
