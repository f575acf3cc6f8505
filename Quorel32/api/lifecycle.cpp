// Creation and release of the engine state.
#include "../base/alloc.h"
#include "../base/engine.h"
#include "../compiler/build_buffers.h"
#include "../eval/builtins.h"
#include "../eval/destroy.h"
#include "../eval/live_formulas.h"
#include "../eval/native.h"
#include "../eval/program.h"
#include "../keys/keytree.h"
#include "../registry/formula_lists.h"
#include "../registry/functions.h"

namespace quorel {

namespace {

#ifdef _WIN32
constexpr char kVersion[] = "Quorel32 formula engine (Quorel32.dll), version 8.0";
#else
constexpr char kVersion[] = "Quorel32 formula engine (libQuorel32.so), version 8.0";
#endif

void DestroyList(int domain) {
    DrainList(UnnamedList(domain), [domain](CompiledFormula *f) { DestroyFormula(domain, f); });
}

void RegisterTable(int keyType, BuiltinTable table) {
    // A built-in that cannot be registered is simply missing; Init still succeeds.
    for (int i = 0; i < table.count; ++i)
        RegisterFunction(keyType, table.defs[i].name, table.defs[i].function,
                         table.defs[i].paraCode);
}

bool IsRunning(const CompiledFormula *f) {
    return f->code && f->code[RunStateByte] != RunIdle;
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

// Whether the engine may be torn down now: not from host code that an engine call
// is running (an evaluation, compile or deletion), nor from a delete function that
// the teardown sweep itself called.
bool CanTearDown() {
    return g.busy == 0 && g.teardown != 0 && !AnyFormula(IsRunning);
}

}  // namespace

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
    g.runErr.errType = QUOREL_RUNERR_NONE;
    ConfigureNative();
    RegisterTable(KeyIntFun, IntBuiltins());
    RegisterTable(KeyRealFun, RealBuiltins());
    RegisterTable(KeyComplexFun, ComplexBuiltins());
    return true;
}

}  // extern "C"
