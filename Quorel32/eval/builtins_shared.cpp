// Built-ins every domain has in its own shape: CalFun, const, the stack sizing
// function, max/min and GetCalByte. Written once over the domain description.
#include <type_traits>

#include "../base/alloc.h"
#include "../base/runerr.h"
#include "../keys/keytree.h"
#include "../registry/functions.h"
#include "arith.h"
#include "builtin_util.h"
#include "builtins.h"
#include "eval_stack.h"
#include "lastcross.h"

namespace quorel {

namespace {

template <class D>
using Val = typename D::Value;

// ---- CalFun: a function of another domain, by name --------------------------------

template <class D>
Val<D> CalFunFail(int code, CallerInfo *caller) {
    ReportRunErr(D::type, "CalFun", code, caller);
    return Arith<D>::Zero();
}

// Target of the integer or real domain: one argument per caller element.
template <class D, class T>
Val<D> CallScalar(const FunctionNode *node, int k, Val<D> *args, CallerInfo *caller) {
    using A = Arith<D>;
    if (node->paraCode != k - 1 && node->paraCode != QUOREL_ANY_ARGS)
        return CalFunFail<D>(CalFunArgCount, caller);
    auto *arr = static_cast<Val<T> *>(qalloc(sizeof(Val<T>) * (k > 0 ? k : 1)));
    if (!arr) return CalFunFail<D>(CalFunNoMemory, caller);
    for (int i = 0; i < k; ++i) {
        if constexpr (std::is_same_v<T, IntDomain>)
            arr[i] = A::ToInt(args[i]);
        else
            arr[i] = A::ToReal(args[i]);
    }
    Val<T> r;
    if constexpr (std::is_same_v<T, IntDomain>)
        r = reinterpret_cast<QuorelIntFunction>(node->function)(k - 1, arr, caller);
    else
        r = reinterpret_cast<QuorelRealFunction>(node->function)(k - 1, arr, caller);
    SetLastCross(r);
    for (int i = 0; i < k; ++i) A::StoreCross(&args[i], A::FromValue(arr[i]));
    qfree(arr);
    return A::FromValue(r);
}

// Complex target from a scalar caller: elements pair up, real part first. With an
// open count and an odd number of elements the last one has no partner and is left
// alone.
template <class D>
Val<D> CallComplex(const FunctionNode *node, int k, Val<D> *args, CallerInfo *caller) {
    using A = Arith<D>;
    if (k != 2 * (node->paraCode + 1) && node->paraCode != QUOREL_ANY_ARGS)
        return CalFunFail<D>(CalFunArgCount, caller);
    int c = k / 2;
    auto *arr = static_cast<QuorelComplex *>(qalloc(sizeof(QuorelComplex) * (c > 0 ? c : 1)));
    if (!arr) return CalFunFail<D>(CalFunNoMemory, caller);
    for (int j = 0; j < c; ++j) arr[j] = {A::ToReal(args[2 * j]), A::ToReal(args[2 * j + 1])};
    QuorelComplex r{0, 0};
    reinterpret_cast<QuorelComplexFunction>(node->function)(&r, c - 1, arr, caller);
    SetLastCross(r);
    for (int j = 0; j < c; ++j) {
        args[2 * j] = A::FromValue(arr[j].re);
        args[2 * j + 1] = A::FromValue(arr[j].im);
    }
    qfree(arr);
    return A::FromValue(r);
}

template <class D>
Val<D> CalFun(int m, Val<D> *x, CallerInfo *caller) {
    using A = Arith<D>;
    if (m < 1) return CalFunFail<D>(CalFunArgCount, caller);
    int type = A::ToInt(x[0]);
    const char *name = CallerText(caller, A::ToInt(x[1]));
    if (!name) return CalFunFail<D>(CalFunBadName, caller);
    // Only the other two domains' functions: the caller can call its own directly.
    if (type < KeyIntFun || type > KeyComplexFun || type == D::funKey)
        return CalFunFail<D>(CalFunBadType, caller);
    int len = KeyLen(name);
    KeyEntry *e = len ? KeySearch(name, len, type) : nullptr;
    if (!e) return CalFunFail<D>(CalFunNotFound, caller);
    auto *node = static_cast<const FunctionNode *>(e->value);
    int k = m - 1;
    if (type == KeyIntFun) return CallScalar<D, IntDomain>(node, k, x + 2, caller);
    if (type == KeyRealFun) return CallScalar<D, RealDomain>(node, k, x + 2, caller);
    if constexpr (!std::is_same_v<D, ComplexDomain>) return CallComplex<D>(node, k, x + 2, caller);
    return A::Zero();
}

// ---- const: constants defined by formulas -------------------------------------------

template <class D>
int ConstCore(int m, Val<D> *x, CallerInfo *caller) {
    using A = Arith<D>;
    if (m != 1 && m != 2) return ConstArgCount;
    const char *name = CallerText(caller, A::ToInt(x[0]));
    if (!name) return ConstBadName;
    int len = KeyLen(name);
    if (m == 1 || A::Truth(x[2])) {
        KeyDeleter del = m == 1 ? HostConstDeleter : FormulaConstDeleter;
        return RegisterConst(D::constKey, name, len, &x[1], del);
    }
    // Flag 0: remove a constant that a formula made to stay.
    KeyEntry *e = len ? KeySearch(name, len, D::constKey) : nullptr;
    if (!e) return QUOREL_SET_DONE;
    if (e->del != FormulaConstDeleter) return ConstNotRemovable;
    KeyRemove(name, len, D::constKey);
    return QUOREL_SET_DONE;
}

template <class D>
Val<D> Const(int m, Val<D> *x, CallerInfo *caller) {
    return Arith<D>::FromValue(static_cast<std::int32_t>(ConstCore<D>(m, x, caller)));
}

// ---- stack sizing ----------------------------------------------------------------------

template <class D>
Val<D> SetStackMax(int m, Val<D> *x, CallerInfo *caller, const char *name) {
    int capacity = m >= 0 ? Arith<D>::ToInt(x[0]) : 0;
    int r = ResizeEvalStack(D::type, capacity, sizeof(Val<D>));
    if (r == 0) ReportRunErr(D::type, name, StackNoMemory, caller);
    return Arith<D>::FromValue(static_cast<std::int32_t>(r));
}

// ---- max, min ----------------------------------------------------------------------------

// The first of equal extremes wins; an argument that is not a number never replaces
// the current one.
template <class D, bool Max>
Val<D> Extreme(int m, Val<D> *x, CallerInfo *caller) {
    if (m < 0) {
        ReportRunErr(D::type, Max ? "max" : "min", ExtremeNoArgs, caller);
        return Arith<D>::Zero();
    }
    Val<D> best = x[0];
    for (int i = 1; i <= m; ++i)
        if (Max ? x[i] > best : x[i] < best) best = x[i];
    return best;
}

QuorelComplex ComplexCalFunImpl(int m, QuorelComplex *x, CallerInfo *c) {
    return CalFun<ComplexDomain>(m, x, c);
}
QuorelComplex ComplexConstImpl(int m, QuorelComplex *x, CallerInfo *c) {
    return Const<ComplexDomain>(m, x, c);
}
QuorelComplex ComplexStackImpl(int m, QuorelComplex *x, CallerInfo *c) {
    return SetStackMax<ComplexDomain>(m, x, c, "SetComplexStackMax");
}
QuorelComplex ComplexGetCalByteImpl(int m, QuorelComplex *x, CallerInfo *) {
    QuorelComplex z = GetLastCross<QuorelComplex>();
    if (m >= 0) x[0] = z;
    return z;
}

}  // namespace

int QUOREL_CALL IntCalFun(int m, int *x, CallerInfo *c) {
    return CalFun<IntDomain>(m, x, c);
}
double QUOREL_CALL RealCalFun(int m, double *x, CallerInfo *c) {
    return CalFun<RealDomain>(m, x, c);
}
void QUOREL_CALL ComplexCalFun(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *c) {
    AsComplex<ComplexCalFunImpl>(r, m, x, c);
}

int QUOREL_CALL IntConst(int m, int *x, CallerInfo *c) {
    return Const<IntDomain>(m, x, c);
}
double QUOREL_CALL RealConst(int m, double *x, CallerInfo *c) {
    return Const<RealDomain>(m, x, c);
}
void QUOREL_CALL ComplexConst(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *c) {
    AsComplex<ComplexConstImpl>(r, m, x, c);
}

int QUOREL_CALL SetIntStackMax(int m, int *x, CallerInfo *c) {
    return SetStackMax<IntDomain>(m, x, c, "SetIntStackMax");
}
double QUOREL_CALL SetRealStackMax(int m, double *x, CallerInfo *c) {
    return SetStackMax<RealDomain>(m, x, c, "SetRealStackMax");
}
void QUOREL_CALL SetComplexStackMax(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *c) {
    AsComplex<ComplexStackImpl>(r, m, x, c);
}

int QUOREL_CALL IntMax(int m, int *x, CallerInfo *c) {
    return Extreme<IntDomain, true>(m, x, c);
}
int QUOREL_CALL IntMin(int m, int *x, CallerInfo *c) {
    return Extreme<IntDomain, false>(m, x, c);
}
double QUOREL_CALL RealMax(int m, double *x, CallerInfo *c) {
    return Extreme<RealDomain, true>(m, x, c);
}
double QUOREL_CALL RealMin(int m, double *x, CallerInfo *c) {
    return Extreme<RealDomain, false>(m, x, c);
}

// GetCalByte reads LastCrossResult as its own domain's numbers, whichever domain
// filled it; the unused rest of a shorter value is zero.
int QUOREL_CALL IntGetCalByte(int m, int *x, CallerInfo *) {
    std::int32_t words[4];
    std::memcpy(words, g.lastCross, sizeof words);
    for (int i = 0; i <= m && i < 4; ++i) x[i] = words[i];
    return words[0];
}
double QUOREL_CALL RealGetCalByte(int m, double *x, CallerInfo *) {
    QuorelComplex z = GetLastCross<QuorelComplex>();
    if (m >= 0) x[0] = z.re;
    if (m >= 1) x[1] = z.im;
    return z.re;
}
void QUOREL_CALL ComplexGetCalByte(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *c) {
    AsComplex<ComplexGetCalByteImpl>(r, m, x, c);
}

}  // namespace quorel
