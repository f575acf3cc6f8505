// Finding compiled formulas by name, as the compiler resolves calls and as GetFor
// and OutFun look them up.
#pragma once
#include "../base/formula.h"

namespace quorel {

struct FoundFormula {
    int domain;  // DomainInt, DomainReal or DomainComplex
    CompiledFormula *formula;
};

// Resolves a formula name (possibly qualified `A::B::f`, white space around parts
// ignored) for a call made from module `callerModule`: the caller's own module wins,
// then the public formulas. `len` bytes of `name` are used.
bool LookupFormula(const char *name, int len, int callerModule, FoundFormula *out);

}  // namespace quorel
