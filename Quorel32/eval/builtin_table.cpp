#include "builtins.h"

namespace quorel {

// Filled in as the built-in functions are implemented.
BuiltinTable IntBuiltins() { return {nullptr, 0}; }
BuiltinTable RealBuiltins() { return {nullptr, 0}; }
BuiltinTable ComplexBuiltins() { return {nullptr, 0}; }

}  // namespace quorel
