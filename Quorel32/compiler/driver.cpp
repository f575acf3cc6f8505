// The compile driver: lock test, attempts over the shared build buffers with
// growth and restart, and on success the record with its exact-size arrays, its
// module count, its referrer links and its place in the key tree or unnamed list.
#include <cstring>

#include "../base/alloc.h"
#include "../base/engine.h"
#include "../base/runerr.h"
#include "../compiler/build_buffers.h"
#include "../eval/destroy.h"
#include "../eval/live_formulas.h"
#include "../eval/loop_form.h"
#include "../eval/program.h"
#include "../keys/keytree.h"
#include "../registry/formula_lists.h"
#include "../registry/modules.h"
#include "body.h"
#include "compile.h"

namespace quorel {

namespace {

constexpr std::size_t kMaxTextLength = 0x0fffffff;

// Undoes a half-made record: the destroyer drops its module count and the links
// made so far. The record never ran, so its static variables hold nothing for a
// `free` hook to release; and running the hook would run host code while the record
// is linked to only some of its callees, so a callee deleted from there would be
// called after it had gone.
int Abandon(int domain, CompiledFormula *rec) {
    rec->ints[FreeVar] = 0;
    DestroyFormula(domain, rec);
    return QUOREL_ERR_NO_MEMORY;
}

bool LinkReferrers(CompiledFormula *rec) {
    Operand *ints = rec->ints;
    for (Operand k = ints[DepFirst]; k <= ints[DepLast]; ++k) {
        auto *link = qnew<ReferrerLink>();
        if (!link) {
            ints[DepLast] = k - 1;
            return false;
        }
        auto *head = reinterpret_cast<Operand *>(ints[k]);
        link->callerReferrers = &ints[Referrers];
        link->next = RefHead(head);
        SetRefHead(head, link);
    }
    return true;
}

template <class D>
int Install(CompiledFormula *rec, int module) {
    using Value = typename D::Value;
    const Operand *hdr = g.build.ints;
    auto codeLen = static_cast<std::size_t>(hdr[CodeLength]);
    auto intCount = static_cast<std::size_t>(hdr[IntCount]);
    auto valueCount = static_cast<std::size_t>(hdr[ValueCount]);
    rec->code = static_cast<std::uint8_t *>(qalloc(codeLen));
    rec->ints = rec->code ? qnew<Operand>(intCount) : nullptr;
    rec->values = rec->ints ? qnew<Value>(valueCount) : nullptr;
    // A formula its module does not count would, once deleted, count down a record
    // made later for other formulas of the module and release their variables under
    // them: without memory for the record the compile fails like any other allocation.
    if (!rec->values || !ModuleCountUp(module)) {
        qfree(rec->code);
        qfree(rec->ints);
        qfree(rec->values);
        qfree(rec);
        return QUOREL_ERR_NO_MEMORY;
    }
    std::memcpy(rec->code, g.build.code, codeLen);
    std::memcpy(rec->ints, hdr, intCount * sizeof(Operand));
    // Variables and constants; the evaluation stack area stays zeroed.
    std::memcpy(rec->values, g.build.values[D::type - 1],
                static_cast<std::size_t>(hdr[StackBase]) * sizeof(Value));
    if (!AttachProgram<D>(rec)) return Abandon(D::type, rec);
    AttachLoopForm<D>(rec);
    if (!LinkReferrers(rec)) return Abandon(D::type, rec);
    if (!AddLiveFormula(rec)) return Abandon(D::type, rec);
    if (!LinkFormula(D::type, rec, FormulaChainDeleter(D::type))) return Abandon(D::type, rec);
    return QUOREL_OK;
}

}  // namespace

template <class D>
int Compile(const char *text, int module, void **hFor, int *nPara, typename D::Value **para,
            int *errBegin, int *errEnd) {
    BusyScope busy;  // the lock function and a failed record's release run are host code
    int spareBegin, spareEnd;
    if (!errBegin) errBegin = &spareBegin;
    if (!errEnd) errEnd = &spareEnd;
    // A host that compiles again into the variable holding its previous formula
    // presents that handle: it is no lock function and must not be called as one.
    LockFn lock = hFor && !IsLiveFormula(*hFor) ? reinterpret_cast<LockFn>(*hFor) : nullptr;
    if (!ModuleAllowed(module, lock)) {
        *errBegin = *errEnd = 0;
        return QUOREL_ERR_MODULE_LOCKED;
    }
    if (ErrPending()) {
        *errBegin = *errEnd = 0;
        return QUOREL_ERR_RUN_ERROR_PENDING;
    }
    if (!text) text = "";
    // Offsets and counts are 32-bit: a text whose buffers could never be sized is
    // treated like any other allocation that cannot be made.
    if (std::strlen(text) > kMaxTextLength) return QUOREL_ERR_NO_MEMORY;
    for (;;) {
        auto *rec = qnew<CompiledFormula>();
        if (!rec) return QUOREL_ERR_NO_MEMORY;
        int r = CompileBody<D>(text, module, rec, errBegin, errEnd);
        if (r == QUOREL_OK) {
            if ((r = Install<D>(rec, module)) != QUOREL_OK) return r;
            if (hFor) *hFor = rec;
            if (nPara) *nPara = static_cast<int>(rec->ints[ParamLast]);
            if (para) *para = static_cast<typename D::Value *>(rec->values);
            return QUOREL_OK;
        }
        qfree(rec);
        if (r > 0 || r < GrowAssigns) return r;
        if (!GrowBuildBuffers(g.build, r, D::type)) return QUOREL_ERR_NO_MEMORY;
    }
}

template int Compile<IntDomain>(const char *, int, void **, int *, std::int32_t **, int *, int *);
template int Compile<RealDomain>(const char *, int, void **, int *, double **, int *, int *);
template int Compile<ComplexDomain>(const char *, int, void **, int *, QuorelComplex **, int *,
                                    int *);

}  // namespace quorel
