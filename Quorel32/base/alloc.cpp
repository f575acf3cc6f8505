#include "alloc.h"

#include <cstdlib>
#include <cstring>

#include "engine.h"

namespace quorel {

void qallocFailAt(long n) {
    g.alloc.failAt = n;
    g.alloc.count = 0;
}

long qallocCount() { return g.alloc.count; }

static bool injectFailure() {
    const long n = g.alloc.count.fetch_add(1, std::memory_order_relaxed) + 1;
    const long failAt = g.alloc.failAt.load(std::memory_order_relaxed);
    return failAt > 0 && n == failAt;
}

void *qalloc(std::size_t bytes) {
    if (injectFailure()) return nullptr;
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void *qcalloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > static_cast<std::size_t>(-1) / size) return nullptr;
    if (injectFailure()) return nullptr;
    return std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
}

void qfree(void *p) { std::free(p); }

}  // namespace quorel
