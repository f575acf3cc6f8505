// The built-in functions each domain registers at InitQuorel, in registration order.
#pragma once

namespace quorel {

struct BuiltinDef {
    const char *name;
    void *function;
    int paraCode;  // parameters minus one; -2 any number
};

struct BuiltinTable {
    const BuiltinDef *defs;
    int count;
};

BuiltinTable IntBuiltins();
BuiltinTable RealBuiltins();
BuiltinTable ComplexBuiltins();

}  // namespace quorel
