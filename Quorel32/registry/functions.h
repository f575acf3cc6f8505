// Host constants and functions (built-ins are registered the same way).
#pragma once
#include "../base/formula.h"
#include "../include/Quorel32.h"

namespace quorel {

// SetFunction without the exported signature: 0 registered, 1 exists, 2 out of
// memory, 3 empty name, 4 bad key type (or no function).
int RegisterFunction(int keyType, const char *name, void *function, int paraCode);

// SetConst and the "const" built-in: copies the value and inserts it with `del`.
// 0 stored, 1 exists (value kept), 2 out of memory, 3 empty name, 4 bad key type.
int RegisterConst(int keyType, const char *name, int nameLen, const void *value, KeyDeleter del);

// Delete functions stored with constants: which one an entry carries tells who may
// remove it (the host, or only the "const" built-in).
void QUOREL_CALL HostConstDeleter(void *value);
void QUOREL_CALL FormulaConstDeleter(void *value);

// Delete function of key types 4-6: invalidates calling formulas (-5), frees the node.
void QUOREL_CALL FunctionDeleter(void *node);

}  // namespace quorel
