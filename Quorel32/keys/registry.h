// Finding compiled formulas by name, as the compiler resolves calls and as GetFor
// and OutFun look them up.
#pragma once
#include "../eval/formula.h"

namespace quorel {

struct FoundFormula {
    int domain;  // DomainInt, DomainReal or DomainComplex
    CompiledFormula *formula;
};

// Resolves a formula name (possibly qualified `A::B::f`, white space around parts
// ignored) for a call made from module `callerModule`: the caller's own module wins,
// then the public formulas. `len` bytes of `name` are used.
bool LookupFormula(const char *name, int len, int callerModule, FoundFormula *out);

// Head of the chain of formulas named `name` in a domain, newest first, or null.
CompiledFormula *FormulaChain(int domain, const char *name, int len);

// Whether the formula heads, or follows through `prev` links, the chain of its name or
// the unnamed list of `type`. A handle of another domain fails this, so its record
// is never unlinked from a list it does not belong to nor run as the wrong domain.
bool InListOfType(int type, CompiledFormula *f);

}  // namespace quorel
