// Helpers shared by the built-in functions.
#pragma once
#include "../base/formula.h"
#include "../include/Quorel32.h"

namespace quorel {

// The text of a string-literal argument: `offset` is a byte offset into the calling
// formula's string area. Null when the caller is not a formula or the offset lies
// outside 0 .. CodeStart-1.
const char *CallerText(const CallerInfo *caller, int offset);

// Gives a built-in written as `Value f(m, x, caller)` the complex function shape.
template <QuorelComplex (*Impl)(int, QuorelComplex *, CallerInfo *)>
void QUOREL_CALL AsComplex(QuorelComplex *result, int m, QuorelComplex *x, CallerInfo *caller) {
    QuorelComplex r = Impl(m, x, caller);
    if (result) *result = r;
}

}  // namespace quorel
