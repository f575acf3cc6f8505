// ExMsgWithQuorel: facts about formulas and constants for hosts, and the free callback.
#include <cstdint>

#include "../base/engine.h"
#include "../base/formula.h"
#include "../eval/live_formulas.h"
#include "../keys/keytree.h"

namespace quorel {

namespace {

void *NameOf(const void *handle, int type) {
    if (!IsFormulaType(type) || !handle) return nullptr;
    return const_cast<char *>(FormulaName(static_cast<const CompiledFormula *>(handle)));
}

void *ModuleOf(const void *handle, int type) {
    if (!IsFormulaType(type) || !handle) return nullptr;
    Operand m = static_cast<const CompiledFormula *>(handle)->ints[ModuleNo];
    return reinterpret_cast<void *>(static_cast<std::intptr_t>(m));
}

// Messages 1 and 3: the calling formula, with its type and handle written out first.
void *AboutCaller(void *callerArg, void *typeOut, void *handleOut, bool name) {
    const auto *caller = static_cast<const CallerInfo *>(callerArg);
    if (!caller) return nullptr;
    if (typeOut) *static_cast<int *>(typeOut) = caller->type;
    if (handleOut) *static_cast<void **>(handleOut) = caller->handle;
    return name ? NameOf(caller->handle, caller->type) : ModuleOf(caller->handle, caller->type);
}

// Messages 2 and 4: a handle and a pointer to its formula type.
void *AboutHandle(void *handle, void *typeIn, bool name) {
    // A handle the host kept after deleting its formula is no longer read.
    if (!typeIn || !IsLiveFormula(handle)) return nullptr;
    int type = *static_cast<const int *>(typeIn);
    return name ? NameOf(handle, type) : ModuleOf(handle, type);
}

// Messages 7-9: the engine's own copy of a constant.
void *ConstantAddress(int keyType, const void *nameArg) {
    const auto *name = static_cast<const char *>(nameArg);
    int len = KeyLen(name);
    if (len == 0) return nullptr;
    KeyEntry *e = KeySearch(name, len, keyType);
    return e ? e->value : nullptr;
}

}  // namespace

}  // namespace quorel

using namespace quorel;

extern "C" QUOREL_API void *QUOREL_CALL ExMsgWithQuorel(int message, void *arg1, void *arg2,
                                                        void *arg3) {
    switch (message) {
        case QUOREL_MSG_CALLER_NAME:
            return AboutCaller(arg1, arg2, arg3, true);
        case QUOREL_MSG_FORMULA_NAME:
            return AboutHandle(arg1, arg2, true);
        case QUOREL_MSG_CALLER_MODULE:
            return AboutCaller(arg1, arg2, arg3, false);
        case QUOREL_MSG_FORMULA_MODULE:
            return AboutHandle(arg1, arg2, false);
        case QUOREL_MSG_SET_FREE_CALLBACK:
            g.freeCallback = reinterpret_cast<QuorelFreeCallback>(arg1);
            return nullptr;
        case QUOREL_MSG_CLEAR_FREE_CALLBACK:
            g.freeCallback = nullptr;
            return nullptr;
        case QUOREL_MSG_INT_CONST:
            return ConstantAddress(KeyIntConst, arg1);
        case QUOREL_MSG_REAL_CONST:
            return ConstantAddress(KeyRealConst, arg1);
        case QUOREL_MSG_COMPLEX_CONST:
            return ConstantAddress(KeyComplexConst, arg1);
        default:
            return nullptr;
    }
}
