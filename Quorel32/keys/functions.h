// Host constants and functions (built-ins are registered the same way).
#pragma once
#include "../api/Quorel32.h"
#include "../eval/formula.h"

namespace quorel {

// SetFunction without the exported signature: 0 registered, 1 exists, 2 out of
// memory, 3 empty name, 4 bad key type.
int RegisterFunction(int keyType, const char *name, void *function, int paraCode);

// Delete functions stored with constants: who may remove the constant.
void QUOREL_CALL HostConstDeleter(void *value);
void QUOREL_CALL FormulaConstDeleter(void *value);

// Delete function of key types 4-6: invalidates calling formulas (-5), frees the node.
void QUOREL_CALL FunctionDeleter(void *node);

}  // namespace quorel
