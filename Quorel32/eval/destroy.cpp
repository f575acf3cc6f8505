// Destroying a compiled formula.
#include "../api/alloc.h"
#include "../api/engine.h"
#include "formula.h"

namespace quorel {

void DestroyFormula(int domain, CompiledFormula *f) {
    (void)domain;
    // The full clean-up (release run, module count, unlinking callers and callees)
    // is skipped during the teardown sweep, where every record is simply freed.
    qfree(f->code);
    qfree(f->ints);
    qfree(f->values);
    qfree(f);
}

namespace {
template <int Domain>
void QUOREL_CALL ChainDeleter(void *head) {
    for (auto *f = static_cast<CompiledFormula *>(head); f;) {
        CompiledFormula *next = f->next;
        DestroyFormula(Domain, f);
        f = next;
    }
}
}  // namespace

KeyDeleter FormulaChainDeleter(int domain) {
    switch (domain) {
        case DomainInt: return ChainDeleter<DomainInt>;
        case DomainReal: return ChainDeleter<DomainReal>;
        default: return ChainDeleter<DomainComplex>;
    }
}

}  // namespace quorel
