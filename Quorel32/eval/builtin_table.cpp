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
    {"CalFun", Fn(IntCalFun), -2},
    {"max", Fn(IntMax), -2},
    {"min", Fn(IntMin), -2},
    {"pow", Fn(IntPow), 1},
    {"sign", Fn(IntSign), 1},
    {"dim", Fn(IntDim), 1},
    {"SetIntStackMax", Fn(SetIntStackMax), 0},
    {"const", Fn(IntConst), -2},
    {"GetCalByte", Fn(IntGetCalByte), -2},
    {"Module", Fn(IntModuleFn), -2},
    {"OutFun", Fn(IntOutFun), -2},
};
const BuiltinDef kReal[] = {
    {"CalFun", Fn(RealCalFun), -2},
    {"atan2", Fn(RealAtan2), 1},
    {"max", Fn(RealMax), -2},
    {"min", Fn(RealMin), -2},
    {"fmod", Fn(RealFmod), 1},
    {"modf", Fn(RealModf), 0},
    {"sign", Fn(RealSign), 1},
    {"dim", Fn(RealDim), 1},
    {"SimpIntegrate", Fn(RealSimpIntegrate), 3},
    {"sum", Fn(RealSum), -2},
    {"pro", Fn(RealPro), -2},
    {"DataSum", Fn(RealDataSum), -2},
    {"DataPro", Fn(RealDataPro), -2},
    {"SetRealStackMax", Fn(SetRealStackMax), 0},
    {"const", Fn(RealConst), -2},
    {"GetCalByte", Fn(RealGetCalByte), -2},
    {"Module", Fn(RealModuleFn), -2},
    {"OutFun", Fn(RealOutFun), -2},
};
const BuiltinDef kComplex[] = {
    {"CalFun", Fn(ComplexCalFun), -2},   {"SetComplexStackMax", Fn(SetComplexStackMax), 0},
    {"const", Fn(ComplexConst), -2},     {"GetCalByte", Fn(ComplexGetCalByte), -2},
    {"Module", Fn(ComplexModuleFn), -2}, {"OutFun", Fn(ComplexOutFun), -2},
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
