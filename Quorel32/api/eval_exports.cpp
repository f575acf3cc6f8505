// The evaluate exports of the three domains.
#include "../eval/evaluator.h"
#include "../eval/program.h"
#include "../eval/run_control.h"
#include "../include/Quorel32.h"

using namespace quorel;

static_assert(sizeof(int) == sizeof(std::int32_t));

extern "C" {

QUOREL_API int QUOREL_CALL IntCal(void *hFor, int *para) {
    return Evaluate<IntDomain>(static_cast<CompiledFormula *>(hFor), para);
}

QUOREL_API double QUOREL_CALL RealCal(void *hFor, double *para) {
    // Plain formulas, the common case in a host's hot loop, run straight from here.
    auto *f = static_cast<CompiledFormula *>(hFor);
    if (f) [[likely]]
        if (ProgramHead *p = PlainProgram<RealDomain>(f))
            return RunPlain<RealDomain>(p, para ? para : static_cast<double *>(f->values));
    return Evaluate<RealDomain>(f, para);
}

QUOREL_API QuorelComplex *QUOREL_CALL ComplexCal(QuorelComplex *result, void *hFor,
                                                 QuorelComplex *para) {
    QuorelComplex r = Evaluate<ComplexDomain>(static_cast<CompiledFormula *>(hFor), para);
    if (result) *result = r;
    return result;
}

QUOREL_API void QUOREL_CALL InterruptQuorel(void) {
    RunControl &r = g.eval.run;
    std::uintptr_t epoch = r.running.load(std::memory_order_relaxed);
    if (epoch != 0) r.interrupt.store(epoch, std::memory_order_relaxed);
}

QUOREL_API void QUOREL_CALL SetRunLimit(long long steps) {
    g.eval.run.limit = steps > 0 ? steps : 0;
}

}  // extern "C"
