// The runner of register forms: one dispatch per step, operands addressed in the
// record's values array, the step budget and the pending-error flag in registers.
#include <cstdint>

#include "../base/runerr.h"
#include "arith.h"
#include "loop_form.h"
#include "loop_steps.h"
#include "run_control.h"

#if (defined(__GNUC__) || defined(__clang__)) && !defined(QUOREL_NO_COMPUTED_GOTO)
#define QUOREL_LOOP_THREADED 1
#else
#define QUOREL_LOOP_THREADED 0
#endif

namespace quorel {

namespace {

template <class D>
const void *const *loopHandlers = nullptr;

// Parameters a form can take from a host array other than the record's own slots:
// they are swapped in for the run. Formulas with more keep the general evaluator then.
constexpr int kSwapMax = 16;

// Runs the steps over R. Asked with a null form, hands out the handler table.
template <class D>
typename D::Value Exec(LoopForm<D> *form, typename D::Value *R, CompiledFormula *f) {
    using A = Arith<D>;
    using V = typename D::Value;
#if QUOREL_LOOP_THREADED
#define CASE(name) L_##name:
#define CASEF(family, fn) L_##family##fn:
#define CASEI(c) L_Intr##c:
#define NEXT() goto *(++pc)->h
#define GO(to)        \
    pc = base + (to); \
    goto * pc->h
#define BEGIN() goto * pc->h;
#define END_DISPATCH()
#define LABEL(n) &&L_##n,
#define BIN_LABEL(fn) &&L_Bin##fn,
#define TEST_LABEL(fn) &&L_Test##fn,
#define LOOP_LABEL(fn) &&L_Loop##fn,
#define UNTIL_LABEL(fn) &&L_Until##fn,
    static const void *const table[LCount] = {
        QUOREL_LOOP_PLAIN(LABEL) QUOREL_BINARY_OPS(BIN_LABEL) QUOREL_BINARY_OPS(TEST_LABEL)
                QUOREL_BINARY_OPS(LOOP_LABEL) QUOREL_BINARY_OPS(UNTIL_LABEL) &&
            L_Intr46,
        &&L_Intr47,
        &&L_Intr48,
        &&L_Intr49,
        &&L_Intr50,
        &&L_Intr51,
        &&L_Intr52,
        &&L_Intr53,
        &&L_Intr54,
        &&L_Intr55,
        &&L_Intr56,
        &&L_Intr57,
        &&L_Intr58,
        &&L_Intr59,
        &&L_Intr60};
#undef LABEL
#undef BIN_LABEL
#undef TEST_LABEL
#undef LOOP_LABEL
#undef UNTIL_LABEL
    if (!form) {
        loopHandlers<D> = table;
        return A::Zero();
    }
#else
#define CASE(name) case L##name:
#define CASEF(family, fn) case L##family + (Op##fn - OpAdd):
#define CASEI(c) case LIntr + (c - OpIntrinsicBase - 1):
#define NEXT() \
    ++pc;      \
    goto dispatch
#define GO(to)        \
    pc = base + (to); \
    goto dispatch
#define BEGIN() \
    dispatch:   \
    switch (static_cast<int>(reinterpret_cast<std::uintptr_t>(pc->h))) {
#define END_DISPATCH() \
    default:           \
        goto done;     \
        }
#endif
    const LoopStep<D> *const base = form->Steps();
    const LoopStep<D> *pc = base;
    V *const *const cells = form->Cells();
    bool pending = ErrPending();
    long long left = g.eval.run.left;
    V result = A::Zero();
// A step of the budget: the slow path sees the count where it keeps it.
#define COUNT()                                   \
    if (--left < 0) {                             \
        g.eval.run.left = left;                   \
        if (RunStopped(D::type, f)) goto stopped; \
        left = g.eval.run.left;                   \
    }
#define BIN(fn)                                          \
    CASEF(Bin, fn) R[pc->d] = A::fn(R[pc->a], R[pc->b]); \
    NEXT();
#define TEST(fn)                                     \
    CASEF(Test, fn) {                                \
        V c = A::fn(R[pc->a], R[pc->b]);             \
        if (!A::Truth(c) || (pc->flag && pending)) { \
            R[pc->d] = c;                            \
            GO(pc->j);                               \
        }                                            \
    }                                                \
    NEXT();
#define LOOP(fn)                         \
    CASEF(Loop, fn) {                    \
        COUNT();                         \
        V c = A::fn(R[pc->a], R[pc->b]); \
        if (A::Truth(c) && !pending) {   \
            GO(pc->j2);                  \
        }                                \
        R[pc->d] = c;                    \
        GO(pc->j);                       \
    }
#define UNTIL(fn)                        \
    CASEF(Until, fn) {                   \
        V c = A::fn(R[pc->a], R[pc->b]); \
        if (!A::Truth(c) && !pending) {  \
            COUNT();                     \
            GO(pc->j);                   \
        }                                \
        R[pc->d] = A::Zero();            \
    }                                    \
    NEXT();
#define INTR(c)                                        \
    CASEI(c) R[pc->d] = A::template Intr<c>(R[pc->a]); \
    NEXT();
    BEGIN()
    CASE(End) result = R[pc->a];
    goto done;
    CASE(EndZero) result = A::Zero();
    goto done;
    CASE(Copy) R[pc->d] = R[pc->a];
    NEXT();
    CASE(Zero) R[pc->d] = A::Zero();
    NEXT();
    CASE(Inc) R[pc->a] = A::Inc(R[pc->a]);
    NEXT();
    CASE(Dec) R[pc->a] = A::Dec(R[pc->a]);
    NEXT();
    CASE(PostInc) {
        V v = R[pc->a];
        R[pc->d] = v;
        R[pc->a] = A::Inc(v);
    }
    NEXT();
    CASE(PostDec) {
        V v = R[pc->a];
        R[pc->d] = v;
        R[pc->a] = A::Dec(v);
    }
    NEXT();
    CASE(Neg) R[pc->d] = A::Neg(R[pc->a]);
    NEXT();
    CASE(Not) R[pc->d] = A::Not(R[pc->a]);
    NEXT();
    CASE(TestVal) {
        V c = R[pc->a];
        if (!A::Truth(c) || (pc->flag && pending)) {
            R[pc->d] = c;
            GO(pc->j);
        }
    }
    NEXT();
    CASE(LoopVal) {
        COUNT();
        V c = R[pc->a];
        if (A::Truth(c) && !pending) {
            GO(pc->j2);
        }
        R[pc->d] = c;
        GO(pc->j);
    }
    CASE(UntilVal) {
        V c = R[pc->a];
        if (!A::Truth(c) && !pending) {
            COUNT();
            GO(pc->j);
        }
        R[pc->d] = A::Zero();
    }
    NEXT();
    CASE(Back) {
        COUNT();
        GO(pc->j);
    }
    CASE(Jump) GO(pc->j);
    CASE(Continue) {
        if (pending) {
            result = pc->a < 0 ? A::Zero() : R[pc->a];
            goto done;
        }
        COUNT();
        GO(pc->j);
    }
    CASE(WhichFail) {
        ReportFormulaErr(D::type, "which", D::type, f);
        pending = true;
    }
    NEXT();
    CASE(LoadCell) R[pc->d] = *cells[pc->b];
    NEXT();
    CASE(StoreCell) * cells[pc->b] = R[pc->a];
    NEXT();
    CASE(IncCell) R[pc->d] = *cells[pc->b] = A::Inc(*cells[pc->b]);
    NEXT();
    CASE(DecCell) R[pc->d] = *cells[pc->b] = A::Dec(*cells[pc->b]);
    NEXT();
    CASE(CellInc) {
        V v = *cells[pc->b];
        R[pc->d] = v;
        *cells[pc->b] = A::Inc(v);
    }
    NEXT();
    CASE(CellDec) {
        V v = *cells[pc->b];
        R[pc->d] = v;
        *cells[pc->b] = A::Dec(v);
    }
    NEXT();
    QUOREL_BINARY_OPS(BIN)
    QUOREL_BINARY_OPS(TEST)
    QUOREL_BINARY_OPS(LOOP)
    QUOREL_BINARY_OPS(UNTIL)
    QUOREL_INTRINSIC_CODES(INTR)
END_DISPATCH()
stopped:
    g.eval.run.left = left;
    return A::Zero();
done:
    g.eval.run.left = left;
    return result;
#undef CASE
#undef CASEF
#undef CASEI
#undef NEXT
#undef GO
#undef BEGIN
#undef END_DISPATCH
#undef COUNT
#undef BIN
#undef TEST
#undef LOOP
#undef UNTIL
#undef INTR
}

}  // namespace

template <class D>
bool LoopFormFits(const CompiledFormula *f, const typename D::Value *P) {
    using V = typename D::Value;
    const V *const R = static_cast<const V *>(f->values);
    const Operand pl = f->ints[ParamLast];
    if (P == R || pl < 0) return true;
    if (pl >= kSwapMax) return false;
    // Parameters are copied in and out around the run: they may not share memory with
    // the record's values or with a cell the form reads or writes in between.
    const auto p = reinterpret_cast<std::uintptr_t>(P);
    const std::uintptr_t end = p + sizeof(V) * static_cast<std::uintptr_t>(pl + 1);
    auto inside = [&](const void *q, std::size_t n) {
        const auto a = reinterpret_cast<std::uintptr_t>(q);
        return a < end && p < a + n;
    };
    if (inside(R, sizeof(V) * static_cast<std::size_t>(f->ints[ValueCount]))) return false;
    auto *form = static_cast<LoopForm<D> *>(f->loopForm);
    for (std::int32_t k = 0; k < form->cells; ++k)
        if (inside(form->Cells()[k], sizeof(V))) return false;
    return true;
}

template <class D>
typename D::Value RunLoopForm(CompiledFormula *f, typename D::Value *P) {
    using V = typename D::Value;
    auto *form = static_cast<LoopForm<D> *>(f->loopForm);
    V *const R = static_cast<V *>(f->values);
    const Operand pl = f->ints[ParamLast];
    if (P == R || pl < 0) return Exec<D>(form, R, f);
    // The host's parameters go into the record's own slots for the run and come back
    // where the form wrote them; the record's slots are restored.
    V saved[kSwapMax];
    for (Operand i = 0; i <= pl; ++i) {
        saved[i] = R[i];
        R[i] = P[i];
    }
    V result = Exec<D>(form, R, f);
    const std::int32_t *w = form->Written();
    for (std::int32_t k = 0; k < form->written; ++k) P[w[k]] = R[w[k]];
    for (Operand i = 0; i <= pl; ++i) R[i] = saved[i];
    return result;
}

template <class D>
const void *const *LoopHandlers() {
#if QUOREL_LOOP_THREADED
    if (!loopHandlers<D>) Exec<D>(nullptr, nullptr, nullptr);
    return loopHandlers<D>;
#else
    static const void *const *numbers = [] {
        static const void *n[LCount];
        for (int i = 0; i < LCount; ++i) n[i] = reinterpret_cast<const void *>(std::uintptr_t(i));
        return n;
    }();
    return numbers;
#endif
}

template bool LoopFormFits<IntDomain>(const CompiledFormula *, const std::int32_t *);
template bool LoopFormFits<RealDomain>(const CompiledFormula *, const double *);
template bool LoopFormFits<ComplexDomain>(const CompiledFormula *, const QuorelComplex *);
template std::int32_t RunLoopForm<IntDomain>(CompiledFormula *, std::int32_t *);
template double RunLoopForm<RealDomain>(CompiledFormula *, double *);
template QuorelComplex RunLoopForm<ComplexDomain>(CompiledFormula *, QuorelComplex *);
template const void *const *LoopHandlers<IntDomain>();
template const void *const *LoopHandlers<RealDomain>();
template const void *const *LoopHandlers<ComplexDomain>();

}  // namespace quorel
