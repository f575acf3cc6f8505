// The table that finds a plain formula's program from its record.
#include <climits>

#include "../base/alloc.h"
#include "program.h"

namespace quorel {

namespace {

void Place(ProgramSlot *slots, std::size_t mask, unsigned shift, ProgramSlot s) {
    std::size_t i = ProgramHash(s.f, shift);
    while (slots[i].f) i = (i + 1) & mask;
    slots[i] = s;
}

// Doubles the table (or makes the first one); the old table stays on failure.
bool Grow() {
    ProgramTable &t = g.programs;
    std::size_t size = t.slots ? (t.mask + 1) * 2 : 16;
    unsigned bits = 0;
    while ((std::size_t{1} << bits) < size) ++bits;
    auto *slots = qnew<ProgramSlot>(size);
    if (!slots) return false;
    unsigned shift = static_cast<unsigned>(sizeof(std::uintptr_t) * CHAR_BIT) - bits;
    if (t.slots)
        for (std::size_t i = 0; i <= t.mask; ++i)
            if (t.slots[i].f) Place(slots, size - 1, shift, t.slots[i]);
    qfree(t.slots);
    t.slots = slots;
    t.mask = size - 1;
    t.shift = shift;
    return true;
}

}  // namespace

bool FileProgram(const CompiledFormula *f, void *program) {
    ProgramTable &t = g.programs;
    if ((!t.slots || (t.count + 1) * 2 > t.mask + 1) && !Grow()) return false;
    Place(t.slots, t.mask, t.shift, ProgramSlot{f, program});
    ++t.count;
    return true;
}

void DetachProgram(const CompiledFormula *f) {
    ProgramTable &t = g.programs;
    if (t.count == 0) return;
    ProgramSlot *slots = t.slots;
    std::size_t i = ProgramHash(f, t.shift);
    while (slots[i].f != f) {
        if (!slots[i].f) return;
        i = (i + 1) & t.mask;
    }
    qfree(slots[i].program);
    // Backward-shift deletion: later members of the probe run move up so that every
    // lookup still meets its entry before a free slot.
    for (std::size_t j = (i + 1) & t.mask; slots[j].f; j = (j + 1) & t.mask) {
        std::size_t home = ProgramHash(slots[j].f, t.shift);
        if (((j - home) & t.mask) >= ((j - i) & t.mask)) {
            slots[i] = slots[j];
            i = j;
        }
    }
    slots[i] = ProgramSlot{nullptr, nullptr};
    --t.count;
}

void FreeProgramTable() {
    ProgramTable &t = g.programs;
    if (t.slots)
        for (std::size_t i = 0; i <= t.mask; ++i) qfree(t.slots[i].program);
    qfree(t.slots);
    t = ProgramTable{};
}

}  // namespace quorel
