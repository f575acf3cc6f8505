#include "eval_stack.h"

#include "../base/alloc.h"

namespace quorel {

namespace {
constexpr int kMinStack = 10;
}

int ResizeEvalStack(int domain, int capacity, std::size_t elemSize) {
    EvalStack &st = StackOf(domain);
    if (capacity < kMinStack) capacity = kMinStack;
    std::size_t bytes = static_cast<std::size_t>(capacity) * elemSize;
    qfree(st.pendingData);
    st.pendingData = nullptr;
    if (st.nestedDepth > 0) {
        st.pendingData = qalloc(bytes);
        if (!st.pendingData) {
            st.max = 0;  // running frames keep their memory; new ones overflow
            return 0;
        }
        st.pendingMax = capacity;
        return capacity;
    }
    qfree(st.data);
    st.used = 1;
    st.data = qalloc(bytes);
    st.max = st.data ? capacity : 0;
    return st.max;
}

void ApplyPendingStack(EvalStack &st) {
    qfree(st.data);
    st.data = st.pendingData;
    st.max = st.pendingMax;
    st.pendingData = nullptr;
    st.used = 1;
}

}  // namespace quorel
