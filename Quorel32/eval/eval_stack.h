// Sizing of the evaluation stacks that nested activations take their frames from.
#pragma once
#include <cstddef>

#include "../base/engine.h"

namespace quorel {

// Gives domain's stack room for `capacity` elements (at least 10). Returns the
// capacity, or 0 when the memory cannot be had (the stack is then unusable until the
// next resize). While nested activations run, the new stack takes over only when the
// last of them has ended, so no running frame is freed under it.
int ResizeEvalStack(int domain, int capacity, std::size_t elemSize);

// Swaps in a stack that waited for the running activations to end.
void ApplyPendingStack(EvalStack &st);

}  // namespace quorel
