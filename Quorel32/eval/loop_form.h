// Register form of formulas with loops and conditions. A formula that jumps or
// stores but calls nothing (no formulas, built-ins or host functions) is also
// translated at install into three-address steps over its own `values` array: every
// operand names a slot (variable, constant or evaluation stack element), so pushes
// and pops disappear and `s=s+i` or `i++` is one step. A condition is fused with the
// jump that tests it, and a `while` is rotated so that its back-edge is one step that
// counts the step budget and tests the condition again.
//
// The steps do the same operations on the same values in the same order as the
// instruction code and leave the same slots behind (variables, statics, parameters
// written through the host's array), so results, `which` reports and step-limit stops
// are identical. Because nothing is called, nothing can observe the formula while it
// runs; the run state therefore stays idle, and the step budget and the pending-error
// flag live in registers until the run ends.
#pragma once
#include "../base/domain.h"
#include "../base/formula.h"

namespace quorel {

// Translates the formula when it qualifies and gives it its form. A formula that does
// not qualify, or whose form finds no memory, keeps the general evaluator: the form
// only saves time, so its lack never fails a compile.
template <class D>
void AttachLoopForm(CompiledFormula *f);

// Drops the formula's form, if any; called before the record is freed.
void DetachLoopForm(CompiledFormula *f);

// Whether the form can run with the parameter array P: not when P lies across the
// record's own values in a way the form cannot mirror; the general evaluator runs then.
template <class D>
bool LoopFormFits(const CompiledFormula *f, const typename D::Value *P);

// Runs the form with the parameter array P (the caller has checked the flag, the fit
// and the activation bound).
template <class D>
typename D::Value RunLoopForm(CompiledFormula *f, typename D::Value *P);

inline bool HasLoopForm(const CompiledFormula *f) {
    return f->loopForm != nullptr;
}

}  // namespace quorel
