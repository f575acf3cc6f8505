// The engine's one allocation seam. Every allocation of engine state goes through
// qalloc/qfree so that tests can make the N-th allocation fail and check that each
// out-of-memory path cleans up after itself.
#pragma once
#include <cstddef>

namespace quorel {

void *qalloc(std::size_t bytes);
void *qcalloc(std::size_t count, std::size_t size);  // zeroed; fails on overflow
void qfree(void *p);

// Test hooks: make the allocation whose running number is `n` fail (1 = the next
// one after arming); 0 disarms. Only that one allocation fails.
void qallocFailAt(long n);
long qallocCount();  // allocations made since the last arming

template <class T>
T *qnew(std::size_t count = 1) {
    return static_cast<T *>(qcalloc(count, sizeof(T)));
}

}  // namespace quorel
