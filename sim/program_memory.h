#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace sim {

// A stored program: the header text as streamed (a "..." before the end
// mark included) and the body lines without their CR.
struct StoredProgram {
    std::string header;
    std::vector<std::string> body;

    // Bytes the program occupies: the header text plus each body line with
    // its CR. This is also what "*PS" reports.
    std::size_t Size() const;
};

// The seven program slots and their allocation table.
class ProgramMemory {
public:
    static constexpr int kSlots = 7;
    // Room for all programs together; beyond it a write fails with E4.
    static constexpr std::size_t kCapacity = 512 * 1024;

    static bool IsSlot(int n) { return n >= 1 && n <= kSlots; }
    bool Occupied(int n) const;
    const StoredProgram& Program(int n) const;  // empty for a free slot
    std::size_t UsedBytes() const;

    void Store(int n, StoredProgram program);
    void Erase(int n);
    void EraseAll();

    // The slot's table entry: "<used 0/1>,<header bytes>,<body bytes>,<lines>".
    std::string TableEntry(int n) const;

private:
    std::array<StoredProgram, kSlots> slots_{};
    std::array<bool, kSlots> used_{};
};

}  // namespace sim
