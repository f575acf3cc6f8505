#include "name_table.h"

#include <cstring>

namespace quorel {

namespace {

// Seeded per process, so that no fixed set of names can be made to collide.
std::uint32_t Seed() {
    static const std::uint32_t seed = [] {
        static int anchor;
        auto a = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&anchor));
        return static_cast<std::uint32_t>(a ^ (a >> 32));
    }();
    return seed;
}

std::uint32_t HashText(const char *s, int n) {
    std::uint32_t h = 2166136261u ^ Seed();
    for (int i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    // FNV leaves the high bits, which pick the slot, weakly mixed.
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    return h ^ (h >> 16);
}

bool SameText(const Ctx &c, int i, int j) {
    int n = TokLen(c, i);
    return n == TokLen(c, j) && std::memcmp(TokText(c, i), TokText(c, j), n) == 0;
}

}  // namespace

// Twice as many slots as names keeps probe runs short, and one always stays free.
NameTable::NameTable(const Ctx &c, int count)
    : c_(c), slots_(c.b.tokenAux[0]), hash_(c.b.tokenAux[1]), size_(2 * count + 1) {
    for (int s = 0; s < size_; ++s) slots_[s] = -1;
}

int NameTable::Probe(int tok, std::uint32_t h) const {
    auto s =
        static_cast<int>((static_cast<std::uint64_t>(h) * static_cast<std::uint32_t>(size_)) >> 32);
    for (;; s = s + 1 == size_ ? 0 : s + 1) {
        int other = slots_[s];
        if (other < 0 ||
            (static_cast<std::uint32_t>(hash_[other]) == h && SameText(c_, tok, other)))
            return s;
    }
}

int NameTable::FindOrAdd(int tok) {
    std::uint32_t h = HashText(TokText(c_, tok), TokLen(c_, tok));
    int s = Probe(tok, h);
    if (slots_[s] >= 0) return slots_[s];
    slots_[s] = tok;
    hash_[tok] = static_cast<int>(h);
    return -1;
}

int NameTable::Find(int tok) const {
    return slots_[Probe(tok, HashText(TokText(c_, tok), TokLen(c_, tok)))];
}

}  // namespace quorel
