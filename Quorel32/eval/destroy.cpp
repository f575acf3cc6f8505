// Destroying a compiled formula: the release run of its `free` hook, module
// bookkeeping, and the links to the formulas it calls and that call it.
#include "destroy.h"

#include "../base/alloc.h"
#include "../base/engine.h"
#include "../base/formula.h"
#include "../base/runerr.h"
#include "../registry/formula_lists.h"
#include "../registry/modules.h"
#include "evaluator.h"
#include "live_formulas.h"
#include "loop_form.h"
#include "program.h"

namespace quorel {

namespace {

// Lets the formula release what its static variables hold: a usable formula runs
// once with `free` = 1 and its own values as parameters; an unusable one hands the
// statics declared before `free` to the host's callback.
void ReleaseRun(int domain, CompiledFormula *f) {
    Operand *ints = f->ints;
    Operand freeVar = ints[FreeVar];
    if (ints[CodeStart] < 0) {
        if (!g.freeCallback) return;
        Operand first = ints[StaticFirst] + 1;
        int count = static_cast<int>(freeVar - first);
        void *slots;
        switch (domain) {
            case DomainInt:
                slots = static_cast<IntDomain::Value *>(f->values) + first;
                break;
            case DomainReal:
                slots = static_cast<RealDomain::Value *>(f->values) + first;
                break;
            default:
                slots = static_cast<ComplexDomain::Value *>(f->values) + first;
                break;
        }
        // The callback must not destroy the formula a second time under us.
        f->code[RunStateByte] = RunOuter;
        g.freeCallback(domain, slots, count);
        f->code[RunStateByte] = RunIdle;
        return;
    }
    switch (domain) {
        case DomainInt: {
            auto *v = static_cast<IntDomain::Value *>(f->values);
            v[freeVar] = 1;
            Evaluate<IntDomain>(f, v);
            break;
        }
        case DomainReal: {
            auto *v = static_cast<RealDomain::Value *>(f->values);
            v[freeVar] = 1;
            Evaluate<RealDomain>(f, v);
            break;
        }
        default: {
            auto *v = static_cast<ComplexDomain::Value *>(f->values);
            v[freeVar] = QuorelComplex{1, 0};
            Evaluate<ComplexDomain>(f, v);
            break;
        }
    }
}

// Removes from a referrer list the link that names `callerReferrers`.
void RemoveLink(Operand *head, Operand *callerReferrers) {
    for (Operand *slot = head; ReferrerLink *link = RefHead(slot);
         slot = reinterpret_cast<Operand *>(&link->next)) {
        if (link->callerReferrers == callerReferrers) {
            SetRefHead(slot, link->next);
            qfree(link);
            return;
        }
    }
}

// Every caller becomes unusable (-4) and forgets this formula as a dependency;
// then this formula leaves the referrer lists of everything it calls.
void Unlink(Operand *ints) {
    Operand *self = &ints[Referrers];
    while (ReferrerLink *link = RefHead(self)) {
        SetRefHead(self, link->next);
        Operand *caller = link->callerReferrers - Referrers;
        caller[CodeStart] = -4;
        for (Operand k = caller[DepFirst]; k <= caller[DepLast]; ++k) {
            if (caller[k] == reinterpret_cast<Operand>(self)) {
                caller[k] = 0;
                break;
            }
        }
        qfree(link);
    }
    for (Operand k = ints[DepFirst]; k <= ints[DepLast]; ++k)
        if (ints[k]) RemoveLink(reinterpret_cast<Operand *>(ints[k]), self);
}

// During the teardown sweep callers and callees may already be gone; only the links
// this formula's own list owns are freed.
void FreeOwnLinks(Operand *ints) {
    while (ReferrerLink *link = RefHead(&ints[Referrers])) {
        SetRefHead(&ints[Referrers], link->next);
        qfree(link);
    }
}

}  // namespace

void DestroyFormula(int domain, CompiledFormula *f) {
    if (!f) return;
    bool complete = f->code && f->ints && f->values;
    if (g.teardown) {
        ForgetFormulaInRunErr(f);
        if (complete && f->ints[FreeVar] != 0) {
            ReleaseRun(domain, f);
            ForgetFormulaInRunErr(f);  // the release run may have reported against it
        }
        if (complete) ModuleCountDown(static_cast<int>(f->ints[ModuleNo]));
        if (f->ints) Unlink(f->ints);
    } else if (f->ints) {
        FreeOwnLinks(f->ints);
    }
    DetachProgram(f);
    DetachLoopForm(f);
    DropLiveFormula(f);
    qfree(f->code);
    qfree(f->ints);
    qfree(f->values);
    qfree(f);
}

namespace {
template <int Domain>
void QUOREL_CALL ChainDeleter(void *head) {
    auto *list = static_cast<CompiledFormula *>(head);
    DrainList(list, [](CompiledFormula *f) { DestroyFormula(Domain, f); });
}
}  // namespace

KeyDeleter FormulaChainDeleter(int domain) {
    switch (domain) {
        case DomainInt:
            return ChainDeleter<DomainInt>;
        case DomainReal:
            return ChainDeleter<DomainReal>;
        default:
            return ChainDeleter<DomainComplex>;
    }
}

}  // namespace quorel
