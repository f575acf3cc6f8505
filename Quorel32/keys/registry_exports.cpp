// Hosts finding, checking, inspecting and deleting compiled formulas.
#include "../api/engine.h"
#include "../eval/formula.h"
#include "keytree.h"
#include "registry.h"

namespace quorel {

namespace {

inline bool IsFormulaType(int type) {
    return type >= DomainInt && type <= DomainComplex;
}

inline Operand AbsModule(Operand m) {
    return m < 0 ? -m : m;
}

inline CompiledFormula *CallerFormula(const CallerInfo *caller) {
    if (!caller || !IsFormulaType(caller->type)) return nullptr;
    return static_cast<CompiledFormula *>(caller->handle);
}

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

CompiledFormula *&UnnamedHead(int type) {
    return g.unnamed[type - 1];
}

// Takes the formula out of its chain or list; the key entry goes with its last formula.
void Unlink(int type, CompiledFormula *f) {
    CompiledFormula *next = f->next;
    if (f->prev) {
        f->prev->next = next;
        if (next) next->prev = f->prev;
    } else {
        const char *name = FormulaName(f);
        int len = KeyLen(name);
        KeyEntry *e = len ? KeySearch(name, len, KeyIntFor + type - 1) : nullptr;
        if (e && e->value == f) {
            e->value = next;
            if (!next) KeyRemove(name, len, KeyIntFor + type - 1);
        } else if (UnnamedHead(type) == f) {
            UnnamedHead(type) = next;
        }
        if (next) next->prev = nullptr;
    }
    f->prev = f->next = nullptr;
}

// Whether the formula, or a formula that calls it directly, has an activation running:
// destroying it then would free code under the evaluator. Callers further up are
// safe: they meet the invalidated direct caller's mark on entry.
bool InUse(const CompiledFormula *f) {
    if (f->code[RunStateByte] != RunIdle) return true;
    for (ReferrerLink *link = RefHead(&f->ints[Referrers]); link; link = link->next) {
        const Operand *callerInts = link->callerReferrers - Referrers;
        auto *caller = reinterpret_cast<const CompiledFormula *>(callerInts[Self]);
        if (caller && caller->code[RunStateByte] != RunIdle) return true;
    }
    return false;
}

}  // namespace

bool InListOfType(int type, CompiledFormula *f) {
    CompiledFormula *head = f;
    while (head->prev) head = head->prev;
    if (UnnamedHead(type) == head) return true;
    const char *name = FormulaName(head);
    int len = KeyLen(name);
    KeyEntry *e = len ? KeySearch(name, len, KeyIntFor + type - 1) : nullptr;
    return e && e->value == head;
}

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
    int len = KeyLen(name);
    if (len == 0) return false;
    KeyEntry *e = KeySearch(name, len, KeyIntFor + forType - 1);
    return e && GetFromChain(static_cast<CompiledFormula *>(e->value), c, out);
}

QUOREL_API bool QUOREL_CALL IsFor(const char *name, int forType, int module, void *hFor, void *para,
                                  int paraCode) {
    if (!IsFormulaType(forType)) return false;
    CompiledFormula *f = nullptr;
    int len = KeyLen(name);
    if (len == 0) {
        f = UnnamedHead(forType);
    } else if (KeyEntry *e = KeySearch(name, len, KeyIntFor + forType - 1)) {
        f = static_cast<CompiledFormula *>(e->value);
    }
    for (; f; f = f->next)
        if (f == hFor && f->ints[ModuleNo] == module && f->values == para &&
            f->ints[ParamLast] == paraCode)
            return true;
    return false;
}

QUOREL_API bool QUOREL_CALL ParaModify(int forType, void *hFor) {
    if (!IsFormulaType(forType) || !hFor) return false;
    return (static_cast<CompiledFormula *>(hFor)->code[FlagsByte] & FlagParamModified) != 0;
}

QUOREL_API void QUOREL_CALL GetForStr(CallerInfo *caller, char **strings, int *length) {
    CompiledFormula *f = CallerFormula(caller);
    if (!f) return;
    if (strings) *strings = reinterpret_cast<char *>(f->code);
    if (length) *length = static_cast<int>(f->ints[CodeStart]);
}

QUOREL_API void QUOREL_CALL DeleteFor(int forType, void *hFor) {
    if (!IsFormulaType(forType) || !hFor) return;
    auto *f = static_cast<CompiledFormula *>(hFor);
    if (!InListOfType(forType, f)) return;  // not a formula of this type
    if (InUse(f)) return;                   // refused; IsFor still finds it
    BusyScope busy;                         // the release run and the free callback are host code
    Unlink(forType, f);
    DestroyFormula(forType, f);
}

}  // extern "C"
