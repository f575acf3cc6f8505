// The built-in functions each domain registers at InitQuorel, in registration order,
// and the functions themselves (host-function shapes of their domain).
#pragma once
#include "../include/Quorel32.h"

namespace quorel {

// The codes the built-ins report as FunCode in the run-time error slot, or return.
enum LoopFunCode : int {   // sum, pro, DataSum, DataPro, SimpIntegrate
    LoopBadName = 1,       // name offset outside the caller's strings
    LoopNotFound = 2,      // no real formula of that name
    LoopArgCount = 3,      // arguments do not fit (SimpIntegrate: not one parameter)
    LoopNoParameters = 4,  // the formula has no parameters
    LoopNoMemory = 5,
    LoopBadRange = 6,      // max < min, or step not above 0
    SimpNotConverged = 4,  // SimpIntegrate: no convergence within its interval bound
};
enum CalFunCode : int {
    CalFunArgCount = 1,  // fewer than two arguments, or a count the target does not take
    CalFunBadName = 2,
    CalFunBadType = 3,  // not one of the other two domains' function key types
    CalFunNotFound = 4,
    CalFunNoMemory = 5,
};
enum : int { ExtremeNoArgs = 1, StackNoMemory = 1 };  // max/min; Set...StackMax
// Results of `const` beyond the QuorelSetResult codes of its registration.
enum ConstResult : int { ConstArgCount = 4, ConstBadName = 5, ConstNotRemovable = 6 };

struct BuiltinDef {
    const char *name;
    void *function;
    int paraCode;  // parameters minus one; -2 any number
};

struct BuiltinTable {
    const BuiltinDef *defs;
    int count;
};

BuiltinTable IntBuiltins();
BuiltinTable RealBuiltins();
BuiltinTable ComplexBuiltins();

// Shared by the domains (builtins_shared.cpp).
int QUOREL_CALL IntCalFun(int m, int *x, CallerInfo *caller);
double QUOREL_CALL RealCalFun(int m, double *x, CallerInfo *caller);
void QUOREL_CALL ComplexCalFun(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *caller);
int QUOREL_CALL IntConst(int m, int *x, CallerInfo *caller);
double QUOREL_CALL RealConst(int m, double *x, CallerInfo *caller);
void QUOREL_CALL ComplexConst(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *caller);
int QUOREL_CALL SetIntStackMax(int m, int *x, CallerInfo *caller);
double QUOREL_CALL SetRealStackMax(int m, double *x, CallerInfo *caller);
void QUOREL_CALL SetComplexStackMax(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *caller);
int QUOREL_CALL IntMax(int m, int *x, CallerInfo *caller);
int QUOREL_CALL IntMin(int m, int *x, CallerInfo *caller);
double QUOREL_CALL RealMax(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealMin(int m, double *x, CallerInfo *caller);
int QUOREL_CALL IntGetCalByte(int m, int *x, CallerInfo *caller);
double QUOREL_CALL RealGetCalByte(int m, double *x, CallerInfo *caller);
void QUOREL_CALL ComplexGetCalByte(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *caller);

// Scalar functions of two arguments (builtins_math.cpp).
double QUOREL_CALL RealAtan2(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealFmod(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealModf(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealSign(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealDim(int m, double *x, CallerInfo *caller);
int QUOREL_CALL IntPow(int m, int *x, CallerInfo *caller);
int QUOREL_CALL IntSign(int m, int *x, CallerInfo *caller);
int QUOREL_CALL IntDim(int m, int *x, CallerInfo *caller);

// Functions that evaluate a formula by name many times (builtins_loops.cpp).
double QUOREL_CALL RealSum(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealPro(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealDataSum(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealDataPro(int m, double *x, CallerInfo *caller);
double QUOREL_CALL RealSimpIntegrate(int m, double *x, CallerInfo *caller);

}  // namespace quorel
