// Hosts finding, checking, inspecting and deleting compiled formulas.
#include "../base/engine.h"
#include "../base/formula.h"
#include "../eval/destroy.h"
#include "../eval/live_formulas.h"
#include "../keys/keytree.h"
#include "../registry/formula_lists.h"
#include "../registry/registry.h"

namespace quorel {

namespace {

struct ForOutputs {
    int *module;
    void **handle;
    void **para;
    int *paraCode;

    void Module(Operand m) const {
        if (module) *module = static_cast<int>(m);
    }
    void Formula(CompiledFormula *f) const {
        if (handle) *handle = f;
        if (para) *para = f->values;
        if (paraCode) *paraCode = static_cast<int>(f->ints[ParamLast]);
    }
};

// Plain formula type: the caller's own module wins, else the oldest public formula.
bool GetFromChain(CompiledFormula *f, Operand callerModule, const ForOutputs &out) {
    bool anyPublic = false;
    Operand publicModule = 0;
    for (; f; f = f->next) {
        Operand m = f->ints[ModuleNo];
        out.Module(m);
        if (AbsModule(m) == callerModule) {
            out.Formula(f);
            return true;
        }
        if (m > 0) {
            out.Formula(f);
            publicModule = m;
            anyPublic = true;
        }
    }
    out.Module(publicModule);
    return anyPublic;
}

// Any other type: resolved as a call from the caller's module; -1, -2, -3 ask for an
// integer, real or complex formula.
bool GetResolved(const char *name, int forType, Operand callerModule, const ForOutputs &out) {
    FoundFormula found{0, nullptr};
    if (!LookupFormula(name, KeyLen(name), static_cast<int>(callerModule), &found)) return false;
    if (out.handle) *out.handle = found.formula;
    if (found.domain != -forType) return false;
    out.Module(found.formula->ints[ModuleNo]);
    out.Formula(found.formula);
    return true;
}

// Whether the formula, or a formula that calls it directly, has an activation running:
// destroying it then would free code under the evaluator. Callers further up are
// safe: they meet the invalidated direct caller's mark on entry.
bool InUse(const CompiledFormula *f) {
    return f->code[RunStateByte] != RunIdle || HasRunningCaller(&f->ints[Referrers]);
}

}  // namespace

}  // namespace quorel

using namespace quorel;

extern "C" {

QUOREL_API bool QUOREL_CALL GetFor(const char *name, int forType, CallerInfo *caller, int *module,
                                   void **hFor, void **para, int *paraCode) {
    CompiledFormula *self = CallerFormula(caller);
    if (!self) return false;
    Operand c = AbsModule(self->ints[ModuleNo]);
    ForOutputs out{module, hFor, para, paraCode};
    if (!IsFormulaType(forType)) return GetResolved(name, forType, c, out);
    CompiledFormula *chain = FormulaChain(forType, name, KeyLen(name));
    return chain && GetFromChain(chain, c, out);
}

QUOREL_API bool QUOREL_CALL IsFor(const char *name, int forType, int module, void *hFor, void *para,
                                  int paraCode) {
    if (!IsFormulaType(forType)) return false;
    for (CompiledFormula *f = FormulaList(forType, name, KeyLen(name)); f; f = f->next)
        if (f == hFor && f->ints[ModuleNo] == module && f->values == para &&
            f->ints[ParamLast] == paraCode)
            return true;
    return false;
}

QUOREL_API bool QUOREL_CALL ParaModify(int forType, void *hFor) {
    if (!IsFormulaType(forType) || !IsLiveFormula(hFor)) return false;
    return (static_cast<CompiledFormula *>(hFor)->code[FlagsByte] & FlagParamModified) != 0;
}

QUOREL_API void QUOREL_CALL GetForStr(CallerInfo *caller, char **strings, int *length) {
    CompiledFormula *f = CallerFormula(caller);
    if (!f) return;
    if (strings) *strings = reinterpret_cast<char *>(f->code);
    if (length) *length = static_cast<int>(f->ints[CodeStart]);
}

QUOREL_API void QUOREL_CALL DeleteFor(int forType, void *hFor) {
    // A handle deleted before (a second DeleteFor) or never made is ignored.
    if (!IsFormulaType(forType) || !IsLiveFormula(hFor)) return;
    auto *f = static_cast<CompiledFormula *>(hFor);
    if (!InListOfType(forType, f)) return;  // not a formula of this type
    if (InUse(f)) return;                   // refused; IsFor still finds it
    BusyScope busy;                         // the release run and the free callback are host code
    UnlinkFormula(forType, f);
    DestroyFormula(forType, f);
}

}  // extern "C"
