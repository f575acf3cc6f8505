// RealCalBatch: one real formula over many points in one call.
#include "../base/alloc.h"
#include "../include/Quorel32.h"
#include "evaluator.h"
#include "live_formulas.h"
#include "program.h"
#include "run_control.h"

using namespace quorel;

namespace {

// Parameter arrays up to this size live on the C stack.
constexpr int kLocalParams = 16;

// Any formula, one evaluation per point, exactly as RealCal would run it with a
// parameter array the host fills afresh for every point: a formula that assigns to
// its parameters does not pass the change on to the next point. The batch is one
// evaluation for InterruptQuorel and each point one for SetRunLimit; once stopped,
// the point and all after it are 0. A batch that a host function starts during an
// evaluation is part of that evaluation, and its points count against its limit:
// restarting the budget there would let an endless loop that calls such a host
// function run forever.
void EachPoint(CompiledFormula *f, int n, const double *const *columns, double *results,
               double *para) {
    const int count = static_cast<int>(f->ints[ParamLast]) + 1;
    const double *slots = static_cast<const double *>(f->values);
    const bool outermost = !g.eval.run.active;
    RunScope scope;
    int k = 0;
    for (; k < n; ++k) {
        for (int i = 0; i < count; ++i) para[i] = columns && columns[i] ? columns[i][k] : slots[i];
        if (outermost) RestartBudget();
        results[k] = Evaluate<RealDomain>(f, para);
        if (Stopping()) break;
    }
    for (; k < n; ++k) results[k] = 0;
}

}  // namespace

extern "C" QUOREL_API int QUOREL_CALL RealCalBatch(void *hFor, int n, const double *const *columns,
                                                   double *results) {
    auto *f = static_cast<CompiledFormula *>(hFor);
    if (!f || n < 0 || (n > 0 && !results)) return 1;
    if (!IsLiveFormula(f) || f->ints[DomainTag] != DomainReal || f->ints[CodeStart] < 0) return 1;
    if (n == 0) return 0;
    const int count = static_cast<int>(f->ints[ParamLast]) + 1;
    double local[kLocalParams];
    double *para = count <= kLocalParams ? local : qnew<double>(static_cast<std::size_t>(count));
    if (!para) return 1;
    if (void *prog = FindProgram(f))
        RunRealProgramBatch(prog, n, columns, static_cast<const double *>(f->values), results,
                            para);
    else
        EachPoint(f, n, columns, results, para);
    if (para != local) qfree(para);
    return 0;
}
