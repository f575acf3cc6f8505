#include "live_formulas.h"

#include <cstdint>

#include "../base/alloc.h"
#include "../base/engine.h"

namespace quorel {

namespace {

std::size_t Home(const void *p, std::size_t mask) {
    // Records are at least 8-byte aligned: mix the bits above that.
    auto v = reinterpret_cast<std::uintptr_t>(p) >> 3;
    return static_cast<std::size_t>(v * 0x9E3779B9u) & mask;
}

void Place(const CompiledFormula **slots, std::size_t mask, const CompiledFormula *f) {
    std::size_t i = Home(f, mask);
    while (slots[i]) i = (i + 1) & mask;
    slots[i] = f;
}

bool Grow() {
    LiveFormulaSet &s = g.live;
    std::size_t size = s.slots ? (s.mask + 1) * 2 : 16;
    auto **slots = qnew<const CompiledFormula *>(size);
    if (!slots) return false;
    if (s.slots)
        for (std::size_t i = 0; i <= s.mask; ++i)
            if (s.slots[i]) Place(slots, size - 1, s.slots[i]);
    qfree(s.slots);
    s.slots = slots;
    s.mask = size - 1;
    return true;
}

}  // namespace

bool AddLiveFormula(const CompiledFormula *f) {
    LiveFormulaSet &s = g.live;
    if ((!s.slots || (s.count + 1) * 2 > s.mask + 1) && !Grow()) return false;
    Place(s.slots, s.mask, f);
    ++s.count;
    return true;
}

bool IsLiveFormula(const void *p) {
    const LiveFormulaSet &s = g.live;
    if (!p || s.count == 0) return false;
    for (std::size_t i = Home(p, s.mask);; i = (i + 1) & s.mask) {
        if (s.slots[i] == p) return true;
        if (!s.slots[i]) return false;
    }
}

void DropLiveFormula(const CompiledFormula *f) {
    LiveFormulaSet &s = g.live;
    if (!IsLiveFormula(f)) return;
    std::size_t i = Home(f, s.mask);
    while (s.slots[i] != f) i = (i + 1) & s.mask;
    // Backward-shift deletion keeps every member reachable from its home slot.
    for (std::size_t j = (i + 1) & s.mask; s.slots[j]; j = (j + 1) & s.mask) {
        std::size_t home = Home(s.slots[j], s.mask);
        if (((j - home) & s.mask) >= ((j - i) & s.mask)) {
            s.slots[i] = s.slots[j];
            i = j;
        }
    }
    s.slots[i] = nullptr;
    --s.count;
}

void FreeLiveFormulas() {
    qfree(g.live.slots);
    g.live = LiveFormulaSet{};
}

}  // namespace quorel
