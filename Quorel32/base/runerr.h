// The run-time error slot: evaluators, built-ins and host functions report failures
// here instead of through results. The first report of a run wins.
#pragma once
#include "engine.h"

namespace quorel {

inline bool ErrPending() {
    return g.runErr.errType != QUOREL_RUNERR_NONE;
}

// Records (type, name, code) with ForType/ForHandle from `caller` (0/null without one),
// unless an error is pending.
void ReportRunErr(int type, const char *name, int code, const CallerInfo *caller);

// An evaluator's own report: the running formula's domain and handle stored directly.
void ReportFormulaErr(int type, const char *name, int forType, void *handle);

// The same for evaluations that may run on several threads at once: the first
// report claims the slot in one atomic step and alone writes the record, so
// concurrent reports never mix their fields.
void ReportFormulaErrShared(int type, const char *name, int forType, void *handle);

// Slot hygiene when a formula is destroyed outside the teardown sweep.
void ForgetFormulaInRunErr(void *handle);

}  // namespace quorel
