#include "../keys/name_builtins.h"
#include "builtins.h"

namespace quorel {

namespace {

template <class F>
void *Fn(F f) {
    return reinterpret_cast<void *>(f);
}

// In registration order; entries are added as the built-in functions are implemented.
const BuiltinDef kInt[] = {
    {"Module", Fn(IntModuleFn), -2},
    {"OutFun", Fn(IntOutFun), -2},
};
const BuiltinDef kReal[] = {
    {"Module", Fn(RealModuleFn), -2},
    {"OutFun", Fn(RealOutFun), -2},
};
const BuiltinDef kComplex[] = {
    {"Module", Fn(ComplexModuleFn), -2},
    {"OutFun", Fn(ComplexOutFun), -2},
};

template <int N>
BuiltinTable Table(const BuiltinDef (&defs)[N]) {
    return {defs, N};
}

}  // namespace

BuiltinTable IntBuiltins() {
    return Table(kInt);
}
BuiltinTable RealBuiltins() {
    return Table(kReal);
}
BuiltinTable ComplexBuiltins() {
    return Table(kComplex);
}

}  // namespace quorel
