// The built-ins "Module" (name a module and list its imports) and "OutFun" (export
// formulas for qualified calls), in the host-function shapes of each domain.
#pragma once
#include "../include/Quorel32.h"

namespace quorel {

int QUOREL_CALL IntModuleFn(int m, int *x, CallerInfo *caller);
double QUOREL_CALL RealModuleFn(int m, double *x, CallerInfo *caller);
void QUOREL_CALL ComplexModuleFn(QuorelComplex *result, int m, QuorelComplex *x,
                                 CallerInfo *caller);

int QUOREL_CALL IntOutFun(int m, int *x, CallerInfo *caller);
double QUOREL_CALL RealOutFun(int m, double *x, CallerInfo *caller);
void QUOREL_CALL ComplexOutFun(QuorelComplex *result, int m, QuorelComplex *x, CallerInfo *caller);

}  // namespace quorel
