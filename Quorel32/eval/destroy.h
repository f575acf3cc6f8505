// Destruction of compiled formulas.
#pragma once
#include "../base/formula.h"

namespace quorel {

// Destroys a formula of the given domain and frees the record (see destroy.cpp for
// the clean-up order). The record must already be unlinked from its list.
void DestroyFormula(int domain, CompiledFormula *f);

// Delete function of key types 1-3: destroys every formula of the chain it heads.
KeyDeleter FormulaChainDeleter(int domain);

}  // namespace quorel
