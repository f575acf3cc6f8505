#include "../registry/name_builtins.h"
#include "builtins.h"

namespace quorel {

namespace {

template <class F>
void *Fn(F f) {
    return reinterpret_cast<void *>(f);
}

// Registration order is part of the interface: hosts enumerate and replace these.
const BuiltinDef kInt[] = {
    {"CalFun", Fn(IntCalFun), QUOREL_ANY_ARGS},
    {"max", Fn(IntMax), QUOREL_ANY_ARGS},
    {"min", Fn(IntMin), QUOREL_ANY_ARGS},
    {"pow", Fn(IntPow), QUOREL_ARGS(2)},
    {"sign", Fn(IntSign), QUOREL_ARGS(2)},
    {"dim", Fn(IntDim), QUOREL_ARGS(2)},
    {"SetIntStackMax", Fn(SetIntStackMax), QUOREL_ARGS(1)},
    {"const", Fn(IntConst), QUOREL_ANY_ARGS},
    {"GetCalByte", Fn(IntGetCalByte), QUOREL_ANY_ARGS},
    {"Module", Fn(IntModuleFn), QUOREL_ANY_ARGS},
    {"OutFun", Fn(IntOutFun), QUOREL_ANY_ARGS},
};
const BuiltinDef kReal[] = {
    {"CalFun", Fn(RealCalFun), QUOREL_ANY_ARGS},
    {"atan2", Fn(RealAtan2), QUOREL_ARGS(2)},
    {"max", Fn(RealMax), QUOREL_ANY_ARGS},
    {"min", Fn(RealMin), QUOREL_ANY_ARGS},
    {"fmod", Fn(RealFmod), QUOREL_ARGS(2)},
    {"modf", Fn(RealModf), QUOREL_ARGS(1)},
    {"sign", Fn(RealSign), QUOREL_ARGS(2)},
    {"dim", Fn(RealDim), QUOREL_ARGS(2)},
    {"SimpIntegrate", Fn(RealSimpIntegrate), QUOREL_ARGS(4)},
    {"sum", Fn(RealSum), QUOREL_ANY_ARGS},
    {"pro", Fn(RealPro), QUOREL_ANY_ARGS},
    {"DataSum", Fn(RealDataSum), QUOREL_ANY_ARGS},
    {"DataPro", Fn(RealDataPro), QUOREL_ANY_ARGS},
    {"SetRealStackMax", Fn(SetRealStackMax), QUOREL_ARGS(1)},
    {"const", Fn(RealConst), QUOREL_ANY_ARGS},
    {"GetCalByte", Fn(RealGetCalByte), QUOREL_ANY_ARGS},
    {"Module", Fn(RealModuleFn), QUOREL_ANY_ARGS},
    {"OutFun", Fn(RealOutFun), QUOREL_ANY_ARGS},
};
const BuiltinDef kComplex[] = {
    {"CalFun", Fn(ComplexCalFun), QUOREL_ANY_ARGS},
    {"SetComplexStackMax", Fn(SetComplexStackMax), QUOREL_ARGS(1)},
    {"const", Fn(ComplexConst), QUOREL_ANY_ARGS},
    {"GetCalByte", Fn(ComplexGetCalByte), QUOREL_ANY_ARGS},
    {"Module", Fn(ComplexModuleFn), QUOREL_ANY_ARGS},
    {"OutFun", Fn(ComplexOutFun), QUOREL_ANY_ARGS},
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
