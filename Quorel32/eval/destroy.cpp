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

}  // namespace quorel
