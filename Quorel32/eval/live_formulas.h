// The set of installed formula records. A host may hand the engine any pointer
// where a handle or a lock function is expected; this set tells a live formula
// from anything else without dereferencing the pointer.
#pragma once
#include "../base/formula.h"

namespace quorel {

bool AddLiveFormula(const CompiledFormula *f);   // false when memory ran out
void DropLiveFormula(const CompiledFormula *f);  // absent records are ignored
bool IsLiveFormula(const void *p);
void FreeLiveFormulas();

}  // namespace quorel
