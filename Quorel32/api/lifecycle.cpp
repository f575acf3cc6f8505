// Creation and release of the engine state.
#include "../eval/builtins.h"
#include "../eval/live_formulas.h"
#include "../eval/program.h"
#include "../keys/functions.h"
#include "alloc.h"
#include "engine.h"

namespace quorel {

namespace {

#ifdef _WIN32
constexpr char kVersion[] = "Quorel32 formula engine (Quorel32.dll), version 8.0";
#else
constexpr char kVersion[] = "Quorel32 formula engine (libQuorel32.so), version 8.0";
#endif

void DestroyList(int domain) {
    CompiledFormula *&head = g.unnamed[domain - 1];
    while (CompiledFormula *f = head) {
        head = f->next;
        DestroyFormula(domain, f);
    }
}

void RegisterTable(int keyType, BuiltinTable table) {
    // A built-in that cannot be registered is simply missing; Init still succeeds.
    for (int i = 0; i < table.count; ++i)
        RegisterFunction(keyType, table.defs[i].name, table.defs[i].function,
                         table.defs[i].paraCode);
}

bool ChainRunning(const CompiledFormula *f) {
    for (; f; f = f->next)
        if (f->code && f->code[RunStateByte] != RunIdle) return true;
    return false;
}

// Whether any registered formula has an activation under way: a pre-order walk of
// the key tree through its parent links, and the unnamed lists.
bool AnyFormulaRunning() {
    for (const CompiledFormula *head : g.unnamed)
        if (ChainRunning(head)) return true;
    const KeyNode *n = &g.root;
    for (;;) {
        for (const KeyEntry *e = n->entries; e; e = e->next)
            if (e->type >= KeyIntFor && e->type <= KeyComplexFor &&
                ChainRunning(static_cast<const CompiledFormula *>(e->value)))
                return true;
        if (const KeyNode *down = n->child[0] ? n->child[0] : n->child[1]) {
            n = down;
            continue;
        }
        for (;;) {
            const KeyNode *up = n->parent;
            if (!up) return false;
            if (up->child[0] == n && up->child[1]) {
                n = up->child[1];
                break;
            }
            n = up;
        }
    }
}

void FreeStacks() {
    for (EvalStack &s : g.stacks) {
        qfree(s.data);
        qfree(s.pendingData);
        s.data = nullptr;
        s.pendingData = nullptr;
        s.max = 0;
        s.used = 1;
    }
}

}  // namespace

bool CanTearDown() {
    return g.busy == 0 && g.teardown != 0 && !AnyFormulaRunning();
}

}  // namespace quorel

using namespace quorel;

extern "C" {

QUOREL_API const char *QUOREL_CALL QuorelVer(void) {
    return kVersion;
}

QUOREL_API void QUOREL_CALL FreeQuorel(void) {
    // From inside a host function, callback or delete function the engine is still
    // in use further up the stack: freeing it would pull code and stacks from under
    // the running call, so the request is ignored.
    if (!CanTearDown()) return;
    FreeBuildBuffers(g.build);
    g.teardown = 0;
    DestroyList(DomainInt);
    DestroyList(DomainReal);
    DestroyList(DomainComplex);
    KeyFreeAll();
    FreeProgramTable();
    FreeLiveFormulas();
    g.teardown = 1;
    FreeStacks();
}

QUOREL_API bool QUOREL_CALL InitQuorel(void) {
    if (!CanTearDown()) return false;  // refused, as FreeQuorel is; nothing changes
    FreeQuorel();
    if (!AllocBuildBuffers(g.build)) {
        FreeQuorel();
        return false;
    }
    g.runErr.errType = 0;
    RegisterTable(KeyIntFun, IntBuiltins());
    RegisterTable(KeyRealFun, RealBuiltins());
    RegisterTable(KeyComplexFun, ComplexBuiltins());
    return true;
}

}  // extern "C"
