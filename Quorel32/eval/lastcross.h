// LastCrossResult: the raw value of the last call into another domain (and of
// CalFun). A shorter value zero-fills the rest, so readers never see stale bytes.
#pragma once
#include <cstdint>
#include <cstring>

#include "../base/engine.h"

namespace quorel {

template <class T>
inline void SetLastCross(T v) {
    static_assert(sizeof(T) <= sizeof g.lastCross);
    std::memset(g.lastCross, 0, sizeof g.lastCross);
    std::memcpy(g.lastCross, &v, sizeof v);
}

template <class T>
inline T GetLastCross() {
    T v;
    std::memcpy(&v, g.lastCross, sizeof v);
    return v;
}

}  // namespace quorel
