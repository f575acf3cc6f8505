// The evaluator, written once for the three domains.
#pragma once
#include "../base/domain.h"
#include "../base/formula.h"

namespace quorel {

// Runs a compiled formula of domain D with parameter array `para` (may be null when
// the formula has no parameters). Never fails by result: errors go to the run-error
// slot and the value computed so far is returned.
template <class D>
typename D::Value Evaluate(CompiledFormula *f, typename D::Value *para);

// Compile-time folding: runs `a op b` (binary) or `op a` (intrinsic) through the
// evaluator itself, so folded and run-time results agree bit for bit.
template <class D>
typename D::Value FoldBinary(std::uint8_t op, typename D::Value a, typename D::Value b);
template <class D>
typename D::Value FoldUnary(std::uint8_t op, typename D::Value a);

extern template double Evaluate<RealDomain>(CompiledFormula *, double *);
extern template std::int32_t Evaluate<IntDomain>(CompiledFormula *, std::int32_t *);
extern template QuorelComplex Evaluate<ComplexDomain>(CompiledFormula *, QuorelComplex *);

}  // namespace quorel
