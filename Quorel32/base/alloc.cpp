#include "alloc.h"

#include <cstdlib>
#include <cstring>

namespace quorel {

namespace {
long failAt = 0;  // 0: never fail
long counter = 0;
}  // namespace

void qallocFailAt(long n) {
    failAt = n;
    counter = 0;
}

long qallocCount() { return counter; }

static bool injectFailure() {
    ++counter;
    return failAt > 0 && counter == failAt;
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
