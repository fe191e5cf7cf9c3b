#include "sim/program_memory.h"

#include <stdexcept>

namespace sim {

std::size_t StoredProgram::Size() const {
    std::size_t size = header.size();
    for (const std::string& line : body) {
        size += line.size() + 1;
    }
    return size;
}

bool ProgramMemory::Occupied(int n) const {
    return IsSlot(n) && used_[n - 1];
}

const StoredProgram& ProgramMemory::Program(int n) const {
    if (!IsSlot(n)) {
        throw std::out_of_range("program slot " + std::to_string(n));
    }
    return slots_[n - 1];
}

std::size_t ProgramMemory::UsedBytes() const {
    std::size_t total = 0;
    for (int n = 1; n <= kSlots; ++n) {
        total += slots_[n - 1].Size();
    }
    return total;
}

void ProgramMemory::Store(int n, StoredProgram program) {
    slots_.at(n - 1) = std::move(program);
    used_.at(n - 1) = true;
}

void ProgramMemory::Erase(int n) {
    slots_.at(n - 1) = {};
    used_.at(n - 1) = false;
}

void ProgramMemory::EraseAll() {
    for (int n = 1; n <= kSlots; ++n) {
        Erase(n);
    }
}

std::string ProgramMemory::TableEntry(int n) const {
    const StoredProgram& p = Program(n);
    const std::size_t headerBytes = p.header.size();
    return std::string(Occupied(n) ? "1," : "0,") + std::to_string(headerBytes) + "," +
           std::to_string(p.Size() - headerBytes) + "," + std::to_string(p.body.size());
}

}  // namespace sim
