// The runner of straight-line programs: one dispatch per step, the top of the stack
// in a register, everything else the step carries.
#include "../base/alloc.h"
#include "../base/runerr.h"
#include "arith.h"
#include "program.h"

#if (defined(__GNUC__) || defined(__clang__)) && !defined(QUOREL_NO_COMPUTED_GOTO)
#define QUOREL_THREADED 1
#else
#define QUOREL_THREADED 0
#endif

#if defined(__GNUC__) || defined(__clang__)
#define QUOREL_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define QUOREL_NOINLINE __declspec(noinline)
#else
#define QUOREL_NOINLINE
#endif

namespace quorel {

namespace {

// Asked with a null program, the runner hands out its handler table instead.
template <class D>
const void *const *handlers = nullptr;

// The stack of a run too deep for the C stack; null (with the failure reported)
// when the memory cannot be had.
template <class D>
QUOREL_NOINLINE typename D::Value *DeepStack(Program<D> *prog) {
    auto *s = static_cast<typename D::Value *>(
        qalloc(sizeof(typename D::Value) * (static_cast<std::size_t>(prog->depth) + 1)));
    if (!s) ReportFormulaErrShared(D::type, "StackOverFlow", D::type, prog->f);
    return s;
}

}  // namespace

template <class D>
typename D::Value RunProgram(void *program, typename D::Value *P) {
    using A = Arith<D>;
    using V = typename D::Value;
#if QUOREL_THREADED
#define CASE(name) L_##name:
#define CASE2(prefix, fn) L_##prefix##_##fn:
#define CASE3(prefix, a, b) L_##prefix##_##a##_##b:
#define ICASE(c) L_I##c:
#define NEXT() goto *(++pc)->h
#define JUMPED() goto * pc->h
#define BEGIN() goto * pc->h;
#define END_DISPATCH()
    // clang-format off
#define LBL(fn) &&L_HBin_##fn, &&L_HBinP_##fn, &&L_HBinK_##fn, &&L_HBinV_##fn, \
                &&L_HLoadPK_##fn, &&L_HPushPK_##fn, &&L_HLoadPP_##fn, &&L_HPushPP_##fn, \
                &&L_HLoadKP_##fn, &&L_HPushKP_##fn,
#define CHAIN_LBL(o2, o1) &&L_HChainPK_##o2##_##o1, &&L_HChainPP_##o2##_##o1, \
                          &&L_HChainKP_##o2##_##o1,
#define CHAIN_ROW_LBL(o2) QUOREL_BASIC_OPS_WITH(CHAIN_LBL, o2) &&L_HChainSqr_##o2,
    static const void *const table[HCount] = {
        &&L_HEnd, &&L_HEndZero, &&L_HLoadP, &&L_HLoadK, &&L_HLoadV, &&L_HPushP, &&L_HPushK,
        &&L_HPushV, &&L_HNeg, &&L_HNot, &&L_HSqr, &&L_HLoadSqrP, &&L_HPushSqrP,
        QUOREL_BINARY_OPS(LBL)
        QUOREL_BASIC_OPS(CHAIN_ROW_LBL)
        &&L_I46, &&L_I47, &&L_I48, &&L_I49, &&L_I50, &&L_I51, &&L_I52, &&L_I53, &&L_I54,
        &&L_I55, &&L_I56, &&L_I57, &&L_I58, &&L_I59, &&L_I60,
        &&L_HTestKeep, &&L_HTest, &&L_HTaken, &&L_HDrop, &&L_HWhichFail};
    // clang-format on
#undef LBL
#undef CHAIN_LBL
#undef CHAIN_ROW_LBL
    if (!program) {
        handlers<D> = table;
        return A::Zero();
    }
#else
#define CASE(name) case name:
#define CASE2(prefix, fn) case prefix##_##fn:
#define CASE3(prefix, a, b) case prefix##_##a##_##b:
#define ICASE(c) case HIntr + (c - OpIntrinsicBase - 1):
#define NEXT() \
    ++pc;      \
    goto dispatch
#define JUMPED() goto dispatch
#define BEGIN() \
    dispatch:   \
    switch (static_cast<int>(reinterpret_cast<std::uintptr_t>(pc->h))) {
#define END_DISPATCH()    \
    default:              \
        return A::Zero(); \
        }
    if (!program) return A::Zero();
#endif
    auto *prog = static_cast<Program<D> *>(program);
    const Step<D> *const steps = prog->Steps();
    const Step<D> *pc = steps;
    // Element 0 is never an element: popping the last one reads it harmlessly.
    V local[kLocalStackDepth + 1];
    V *const stack = prog->depth < kLocalStackDepth ? local : DeepStack<D>(prog);
    if (!stack) return A::Zero();
    V *sp = stack;  // the elements below the top: stack[1] .. *sp
    V tos = A::Zero();
    stack[0] = tos;
    BEGIN()
    CASE(HEnd) {
        if (stack != local) qfree(stack);
        return tos;
    }
    CASE(HEndZero) {
        if (stack != local) qfree(stack);
        return A::Zero();
    }
    CASE(HTestKeep) {
        if (A::Truth(tos)) {
            tos = *sp;  // below the only element: the harmless element 0
            sp -= pc->i;
            NEXT();
        }
        pc = steps + pc->j;
        JUMPED();
    }
    CASE(HTest) {
        bool held = A::Truth(tos);
        tos = *sp--;
        if (held) {
            NEXT();
        }
        pc = steps + pc->j;
        JUMPED();
    }
    CASE(HTaken) {
        sp -= pc->i;
        pc = steps + pc->j;
        JUMPED();
    }
    CASE(HDrop)-- sp;
    NEXT();
    CASE(HWhichFail) ReportFormulaErrShared(D::type, "which", D::type, prog->f);
    NEXT();
    CASE(HLoadP) tos = P[pc->i];
    NEXT();
    CASE(HLoadK) tos = pc->k;
    NEXT();
    CASE(HLoadV) tos = *pc->cell;
    NEXT();
    CASE(HPushP) *++sp = tos;
    tos = P[pc->i];
    NEXT();
    CASE(HPushK) *++sp = tos;
    tos = pc->k;
    NEXT();
    CASE(HPushV) *++sp = tos;
    tos = *pc->cell;
    NEXT();
    CASE(HNeg) tos = A::Neg(tos);
    NEXT();
    CASE(HNot) tos = A::Not(tos);
    NEXT();
    CASE(HSqr) tos = A::Mul(tos, tos);
    NEXT();
    CASE(HLoadSqrP) {
        V x = P[pc->i];
        tos = A::Mul(x, x);
    }
    NEXT();
    CASE(HPushSqrP) {
        *++sp = tos;
        V x = P[pc->i];
        tos = A::Mul(x, x);
    }
    NEXT();
#define BINARY_STEPS(fn)                                \
    CASE2(HBin, fn) tos = A::fn(*sp--, tos);            \
    NEXT();                                             \
    CASE2(HBinP, fn) tos = A::fn(tos, P[pc->i]);        \
    NEXT();                                             \
    CASE2(HBinK, fn) tos = A::fn(tos, pc->k);           \
    NEXT();                                             \
    CASE2(HBinV, fn) tos = A::fn(tos, *pc->cell);       \
    NEXT();                                             \
    CASE2(HLoadPK, fn) tos = A::fn(P[pc->i], pc->k);    \
    NEXT();                                             \
    CASE2(HPushPK, fn) *++sp = tos;                     \
    tos = A::fn(P[pc->i], pc->k);                       \
    NEXT();                                             \
    CASE2(HLoadPP, fn) tos = A::fn(P[pc->i], P[pc->j]); \
    NEXT();                                             \
    CASE2(HPushPP, fn) *++sp = tos;                     \
    tos = A::fn(P[pc->i], P[pc->j]);                    \
    NEXT();                                             \
    CASE2(HLoadKP, fn) tos = A::fn(pc->k, P[pc->i]);    \
    NEXT();                                             \
    CASE2(HPushKP, fn) *++sp = tos;                     \
    tos = A::fn(pc->k, P[pc->i]);                       \
    NEXT();
    QUOREL_BINARY_OPS(BINARY_STEPS)
#undef BINARY_STEPS
#define CHAIN_STEPS(o2, o1)                                              \
    CASE3(HChainPK, o2, o1) tos = A::o2(tos, A::o1(P[pc->i], pc->k));    \
    NEXT();                                                              \
    CASE3(HChainPP, o2, o1) tos = A::o2(tos, A::o1(P[pc->i], P[pc->j])); \
    NEXT();                                                              \
    CASE3(HChainKP, o2, o1) tos = A::o2(tos, A::o1(pc->k, P[pc->i]));    \
    NEXT();
#define CHAIN_ROW(o2)                      \
    QUOREL_BASIC_OPS_WITH(CHAIN_STEPS, o2) \
    CASE2(HChainSqr, o2) {                 \
        V x = P[pc->i];                    \
        tos = A::o2(tos, A::Mul(x, x));    \
    }                                      \
    NEXT();
    QUOREL_BASIC_OPS(CHAIN_ROW)
#undef CHAIN_ROW
#undef CHAIN_STEPS
#define INTRINSIC(c)                         \
    ICASE(c) tos = A::template Intr<c>(tos); \
    NEXT();
    QUOREL_INTRINSIC_CODES(INTRINSIC)
#undef INTRINSIC
    END_DISPATCH()
#undef CASE
#undef CASE2
#undef CASE3
#undef ICASE
#undef NEXT
#undef JUMPED
#undef BEGIN
#undef END_DISPATCH
}

template <class D>
const void *const *ProgramHandlers() {
#if QUOREL_THREADED
    if (!handlers<D>) RunProgram<D>(nullptr, nullptr);
    return handlers<D>;
#else
    // Without computed goto the step keeps the handler number itself.
    static const void *const *numbers = [] {
        static const void *n[HCount];
        for (int i = 0; i < HCount; ++i) n[i] = reinterpret_cast<const void *>(std::uintptr_t(i));
        return n;
    }();
    return numbers;
#endif
}

template std::int32_t RunProgram<IntDomain>(void *, std::int32_t *);
template double RunProgram<RealDomain>(void *, double *);
template QuorelComplex RunProgram<ComplexDomain>(void *, QuorelComplex *);
template const void *const *ProgramHandlers<IntDomain>();
template const void *const *ProgramHandlers<RealDomain>();
template const void *const *ProgramHandlers<ComplexDomain>();

}  // namespace quorel
