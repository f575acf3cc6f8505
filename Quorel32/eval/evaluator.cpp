// The evaluator: activation set-up, the dispatch loop, calls and copy-back entries.
// One template serves the three domains; the arithmetic comes from Arith<D>.
#include "evaluator.h"

#include <type_traits>

#include "../base/engine.h"
#include "../base/runerr.h"
#include "arith.h"
#include "dispatch.h"
#include "eval_stack.h"
#include "lastcross.h"
#include "loop_form.h"
#include "program.h"
#include "run_control.h"

#if defined(__GNUC__) && !defined(__clang__)
// Keep one dispatch jump per instruction: merged tails share a single indirect
// branch, which predicts far worse.
#pragma GCC optimize("no-crossjumping", "no-gcse", "align-labels=16")
#endif

namespace quorel {

namespace {

// Every activation recurses on the C stack. Deep recursion is bounded by the domain's
// evaluation stack, but a host may size that stack far beyond what the C stack can
// hold, so the calls that leave a dispatch loop (formula and function calls) are
// counted and a new activation beyond the bound is refused as a stack overflow. The
// count lives at the call sites, not at activation entry, so that the host's plain
// evaluation does not carry a read-modify-write of it from one evaluation to the
// next. An activation takes about 350 bytes of machine stack in an optimised build
// (1.5 KB with sanitizers); 3000 of them stay well inside a 8 MB thread stack.
constexpr int kMaxActivations = 3000;

// Counts one call leaving the dispatch loop for as long as it runs.
struct CallOut {
    CallOut() { ++g.eval.activations; }
    ~CallOut() { --g.eval.activations; }
    CallOut(const CallOut &) = delete;
    CallOut &operator=(const CallOut &) = delete;
};

// Where the variables of one activation live.
template <class D>
struct Frame {
    using V = typename D::Value;
    V *P;   // parameters
    V *F;   // automatic variables
    V *Vs;  // the record's own values: statics and constants
    Operand pl, sf;
    V *Var(Operand v) const { return v <= pl ? P + v : v < sf ? F + v : Vs + v; }
};

// The parts of an activation that only calls, jumps and the end read.
struct Cold {
    CompiledFormula *f;
    const Operand *ints;
    std::uint8_t *code;
    void *S;  // stack base
};

// A nested loop's, with what a recursive call of the running formula repeats, worked
// out once per loop: the in-place frame's size, the variable count (where the stack
// and the constants begin) and the end of the automatic variables.
struct NestedCold : Cold {
    Operand frame = 0, vc = 0, autoEnd = 0;
};

struct Cursor {
    const std::uint8_t *pc;
    const Operand *op;
};

// Copy-back entries after a call: (marker byte; source, destination operands) until
// a 0 marker. Marker 2 names a variable; any other marker a cell address.
template <class D, class Src>
Cursor CopyBack(const Frame<D> &fr, Cursor c, Src source, bool cross) {
    using V = typename D::Value;
    for (std::uint8_t m; (m = *c.pc++) != CopyBackEnd; c.op += 2) {
        V val = source(c.op[0]);
        V *dst = m == CopyBackVar ? fr.Var(c.op[1]) : reinterpret_cast<V *>(c.op[1]);
        if (cross)
            Arith<D>::StoreCross(dst, val);
        else
            *dst = val;
    }
    return c;
}

template <class D>
typename D::Value CallSameDomain(CompiledFormula *h, typename D::Value *args);

// A formula call: `c.op` is at the (callee, n) operands, `args` at argument 0 (or at
// the slot pushed for the result when there are no arguments). The result replaces
// argument 0 after the copy-back entries have run.
template <class D, class C>
QUOREL_NOINLINE Cursor CallFormula(const Frame<D> &fr, Cursor c, typename D::Value *args) {
    using A = Arith<D>;
    using CV = typename C::Value;
    auto *h = reinterpret_cast<CompiledFormula *>(c.op[0]);
    Operand n = c.op[1];
    c.op += 2;
    CallOut out;
    if constexpr (std::is_same_v<C, D>) {
        CV r = CallSameDomain<D>(h, args);
        c = CopyBack(
            fr, c, [args](Operand s) { return args[s]; }, false);
        *args = r;
    } else if constexpr (std::is_same_v<C, ComplexDomain>) {
        // Two caller elements per complex argument, real part first.
        auto *hv = static_cast<CV *>(h->values);
        Operand count = (n + 1) / 2;
        if (count > h->ints[ParamLast] + 1) count = h->ints[ParamLast] + 1;
        for (Operand j = count - 1; j >= 0; --j)
            hv[j] = CV{A::ToReal(args[2 * j]), A::ToReal(args[2 * j + 1])};
        CV r = Evaluate<C>(h, hv);
        SetLastCross(r);
        auto part = [hv](Operand s) { return A::FromValue((s & 1) ? hv[s / 2].im : hv[s / 2].re); };
        c = CopyBack(fr, c, part, true);
        *args = A::FromValue(r);
    } else {
        auto *hv = static_cast<CV *>(h->values);
        Operand last = n < h->ints[ParamLast] ? n : h->ints[ParamLast];
        for (Operand i = last; i >= 0; --i) {
            if constexpr (std::is_same_v<C, IntDomain>)
                hv[i] = A::ToInt(args[i]);
            else
                hv[i] = A::ToReal(args[i]);
        }
        CV r = Evaluate<C>(h, hv);
        SetLastCross(r);
        c = CopyBack(
            fr, c, [hv](Operand s) { return A::FromValue(hv[s]); }, true);
        *args = A::FromValue(r);
    }
    return c;
}

// A built-in or host function of the caller's own domain.
template <class D>
QUOREL_NOINLINE Cursor CallFunction(const Frame<D> &fr, CompiledFormula *self, Cursor c,
                                    typename D::Value *args) {
    using V = typename D::Value;
    auto *node = reinterpret_cast<FunctionNode *>(c.op[0]);
    int m = static_cast<int>(c.op[1]);
    c.op += 2;
    CallerInfo ci{static_cast<signed char>(D::type), self};
    CallOut out;
    V r;
    if constexpr (std::is_same_v<D, IntDomain>)
        r = reinterpret_cast<QuorelIntFunction>(node->function)(m, args, &ci);
    else if constexpr (std::is_same_v<D, RealDomain>)
        r = reinterpret_cast<QuorelRealFunction>(node->function)(m, args, &ci);
    else
        reinterpret_cast<QuorelComplexFunction>(node->function)(&r, m, args, &ci);
    c = CopyBack(
        fr, c, [args](Operand s) { return args[s]; }, false);
    *args = r;
    return c;
}

// Automatic variables start at zero in a nested activation.
template <class V>
void ZeroAutomatics(V *F, Operand pl, Operand sf, Operand vc) {
    Operand end = sf < vc ? sf : vc;
    for (Operand v = pl + 1; v < end; ++v) F[v] = V{};
}

// The binary operations OpAdd + k, k = 0 (OpAdd) to 10 (OpNe), for the fused
// operand steps below: the four basic operations first, by how often expressions
// use them, then the power and the comparisons.
constexpr unsigned kFusedLast = OpNe - OpAdd;
template <class D>
inline typename D::Value Apply(unsigned k, typename D::Value a, typename D::Value b) {
    using A = Arith<D>;
    if (k == OpAdd - OpAdd) return A::Add(a, b);
    if (k == OpMul - OpAdd) return A::Mul(a, b);
    if (k == OpSub - OpAdd) return A::Sub(a, b);
    if (k == OpDiv - OpAdd) return A::Div(a, b);
    if (k == OpPow - OpAdd) return A::Pow(a, b);
    // Comparisons, as loop and `which` conditions mostly write them.
    if (k == OpLt - OpAdd) return A::Lt(a, b);
    if (k == OpLe - OpAdd) return A::Le(a, b);
    if (k == OpGt - OpAdd) return A::Gt(a, b);
    if (k == OpGe - OpAdd) return A::Ge(a, b);
    if (k == OpEq - OpAdd) return A::Eq(a, b);
    return A::Ne(a, b);
}

// A nested activation that calls its own formula (plain recursion) continues in the
// same dispatch loop instead of recursing on the machine stack: the in-place frame
// that EvaluateNested would set up, entered without leaving the loop, and the
// caller's place kept in the engine's table until the callee's OpEnd. Anything
// unusual (another formula, an unusable one, a full evaluation stack, a full table)
// is left to the general call path, which reports what has to be reported: then
// nothing has changed and the result is false. The loop runs inside EvaluateNested,
// whose activation already holds the stack's nested count, so the frames taken here
// need not count themselves for a resize to wait for them. The caller's record is
// what the end restores; the end reads nothing the call path wrote just before it,
// so a return does not wait on the chain of calls and returns that came first.
template <class D>
QUOREL_INLINE bool SelfCall(NestedCold &cold, Operand pl, const std::uint8_t *&pc,
                            const Operand *&op, const typename D::Value *&kc,
                            typename D::Value *&top, typename D::Value &tos, typename D::Value *&P,
                            typename D::Value *volatile &F, typename D::Value *volatile &Vs) {
    using V = typename D::Value;
    const Operand *const in = cold.ints;
    const int depth = g.eval.selfCallsUsed;
    if (reinterpret_cast<CompiledFormula *>(op[0]) != cold.f || in[CodeStart] < 0 ||
        depth >= kSelfCallMax)
        return false;
    EvalStack &st = StackOf(D::type);
    const int used = st.used;
    const Operand size = cold.frame;
    if (static_cast<long long>(used) + size >= st.max) return false;
    V *args = top - op[1];
    g.eval.selfCalls[depth] = {pc, op + 2, kc, P, F, used};
    g.eval.selfCallsUsed = depth + 1;
    P = args;
    V *const frame = static_cast<V *>(st.data) + used - pl - 1;
    F = frame;
    st.used = static_cast<int>(used + size);
    for (Operand v = pl + 1, end = cold.autoEnd; v < end; ++v) frame[v] = V{};
    std::uint8_t *const cd = cold.code;
    cd[RunStateByte] = RunNested;
    const Operand vc = cold.vc;
    V *const S = frame + vc;
    cold.S = S;
    pc = cd + in[CodeStart];
    op = in + OperandStart;
    kc = Vs + vc;
    top = S - 1;
    tos = Arith<D>::Zero();
    return true;
}

// Runs the instructions of one activation and returns the top element at OpEnd.
// The outermost activation (the host's hot path) starts and ends here, so a call
// costs one function entry; it keeps its automatic variables in the record's own
// values and resolves a variable with one comparison. A nested activation runs in
// the frame (parameters P, automatic variables F) its caller set up.
//
// The set-up is kept to what the loop keeps in registers: everything a call or a
// jump needs besides is read from the record when that instruction runs, so a short
// expression does not pay for machinery it never uses.
template <class D, bool Nested>
typename D::Value Run(CompiledFormula *f, typename D::Value *P, typename D::Value *Fin) {
    using A = Arith<D>;
    using V = typename D::Value;
    if constexpr (!Nested) {
        if (g.eval.activations >= kMaxActivations) {
            ReportFormulaErr(D::type, "StackOverFlow", D::type, f);
            return A::Zero();
        }
        f->code[RunStateByte] = RunOuter;
    }
    const Operand *const ints = f->ints;
    std::uint8_t *const code = f->code;
    V *const Vs = static_cast<V *>(f->values);
    // A recursion pushes parameters and constants all the time but seldom touches an
    // automatic or static variable or jumps: its loop reads where those live from
    // memory (volatile), which leaves the compiler a register for the constant
    // cursor. Kept in memory instead, every constant waited for the cursor's store by
    // the constant before.
    using Home = std::conditional_t<Nested, V *volatile, V *>;
    Home F = Fin;
    if constexpr (!Nested) F = Vs;
    Home vsHome = Vs;
    const Operand pl = ints[ParamLast];
    const Operand sf = Nested ? ints[StaticFirst] : 0;  // the outermost never needs it
    V *const S = Nested ? F + ints[VarCount] : Vs + ints[StackBase];
    const int selfBase = g.eval.selfCallsUsed;
    const std::uint8_t *pc = code + ints[CodeStart];
    const Operand *op = ints + OperandStart;
    const V *kc = Vs + ints[VarCount];
    // The stack in memory is always complete; `tos` mirrors its top element in a
    // register so that an operation does not reload what the previous one stored.
    // What only calls, jumps and the end need is read from memory (volatile keeps
    // the compiler from pinning it in registers), so the registers go to the
    // cursors that every instruction moves.
    // A nested loop (recursion) reads them on every call and return: there the
    // compiler may keep them where it likes.
    std::conditional_t<Nested, NestedCold, volatile Cold> cold{f, ints, code, S};
    if constexpr (Nested) {
        const Operand vc = ints[VarCount];
        cold.frame = vc - pl + (ints[ValueCount] - ints[StackBase]) + 1;
        cold.vc = vc;
        cold.autoEnd = sf < vc ? sf : vc;
    }
#define STACK() static_cast<V *>(cold.S)
    V *top = S - 1;
    V tos = A::Zero();
    auto var = [&](Operand v) {
        if constexpr (Nested)
            return v <= pl ? P + v : v < sf ? F + v : vsHome + v;
        else
            return v <= pl ? P + v : Vs + v;
    };
    auto cell = [](Operand p) { return reinterpret_cast<V *>(p); };
    // Copy-back entries resolve variables like the loop does. In the outermost
    // activation F is the record's own array, so the automatic bound does not matter.
    auto frame = [&] { return Frame<D>{P, F, vsHome, pl, Nested ? sf : cold.ints[StaticFirst]}; };
#define JUMP(t, k, i) (pc = cold.code + (t), kc = vsHome + (k), op = cold.ints + (i))
// After the stack was cut; an emptied stack has no top to mirror.
#define RELOAD()                        \
    do {                                \
        if (top >= STACK()) tos = *top; \
    } while (0)
#define BINARY(fn)                 \
    {                              \
        tos = A::fn(top[-1], tos); \
        *--top = tos;              \
    }
#define CALL(...)                                              \
    {                                                          \
        V *args = top - op[1];                                 \
        Cursor c = __VA_ARGS__(frame(), Cursor{pc, op}, args); \
        pc = c.pc, op = c.op, top = args;                      \
        tos = *top;                                            \
        if (Stopping()) goto L_stop;                           \
    }
// A step where work repeats (a loop's back-edge, a formula call): the one place a
// stopped evaluation is noticed.
#define STEP() \
    if (StepStops(D::type, cold.f)) goto L_stop
// An operand followed by a binary operation from OpAdd to OpNe (x+1, 2*x, a/b,
// x^2, x>y) is applied at once: the same arithmetic on the same values, minus one round
// trip through the stack and one dispatch. A variable followed by a constant and
// such an operation (x+1, x/7, y^2) becomes one step. Any other operand is pushed,
// after a single range check.
#define PUSH_OR_APPLY(b)                          \
    do {                                          \
        const unsigned k = *pc - unsigned{OpAdd}; \
        if (k > kFusedLast) {                     \
            *++top = tos = b;                     \
            vmbreak;                              \
        }                                         \
        ++pc;                                     \
        *top = tos = Apply<D>(k, tos, b);         \
        vmbreak;                                  \
    } while (0)
// Loops and conditions mostly read variables: a variable with a constant or a second
// variable and an operation (i <= n, s + i) is one step too, and so is the assignment
// or the loop or `which` test that takes its result next (s = s + i, while(i <= n, ...)).
#define VAR_CONST_OR_PUSH(b)                                \
    do {                                                    \
        if (*pc == OpPushConst) {                           \
            const unsigned k = pc[1] - unsigned{OpAdd};     \
            if (k <= kFusedLast) {                          \
                pc += 2;                                    \
                *++top = tos = Apply<D>(k, b, *kc++);       \
                goto L_after_fused;                         \
            }                                               \
        } else if (*pc == OpPushVar) {                      \
            const unsigned k = pc[1] - unsigned{OpAdd};     \
            if (k <= kFusedLast) {                          \
                pc += 2;                                    \
                *++top = tos = Apply<D>(k, b, *var(*op++)); \
                goto L_after_fused;                         \
            }                                               \
        }                                                   \
        PUSH_OR_APPLY(b);                                   \
    } while (0)
    QUOREL_JUMP_TABLE(jump);
    constexpr std::uint8_t kOwnCall = OpCallIntFor + (D::type - DomainInt);
#define INTR(c) vmintrinsic(c, *top = tos = A::template Intr<c>(tos))

L_dispatch:  // re-entered after a recursive call begins or ends (nested only)
    QUOREL_UNUSED_LABEL;
    for (;;) {
        vmdispatch(*pc++) {
            vmcase(OpEnd) goto L_done;
            vmcase(OpPushConst) {
                V b = *kc++;
                PUSH_OR_APPLY(b);
            }
            vmcase(OpPushVar) {
                V b = *var(*op++);
                VAR_CONST_OR_PUSH(b);
            }
        L_after_fused:
            QUOREL_UNUSED_LABEL;
            if (*pc == OpStoreVar) {
                ++pc;
                *var(*op++) = tos;
                vmbreak;
            }
            if (*pc == OpWhileTest) {
                ++pc;
                goto L_while_test;
            }
            if (*pc == OpWhichTest) {
                ++pc;
                goto L_which_test;
            }
            if (Nested && *pc == kOwnCall) {  // f(n-1) in a recursion
                ++pc;
                goto L_call_own;
            }
            vmbreak;
            vmcase(OpPushCommon) {
                V b = *cell(*op++);
                PUSH_OR_APPLY(b);
            }
            vmcase(OpAdd) BINARY(Add) vmbreak;
            vmcase(OpSub) BINARY(Sub) vmbreak;
            vmcase(OpMul) BINARY(Mul) vmbreak;
            vmcase(OpDiv) BINARY(Div) vmbreak;
            vmcase(OpPow) BINARY(Pow) vmbreak;
            vmcase(OpGt) BINARY(Gt) vmbreak;
            vmcase(OpGe) BINARY(Ge) vmbreak;
            vmcase(OpLt) BINARY(Lt) vmbreak;
            vmcase(OpLe) BINARY(Le) vmbreak;
            vmcase(OpEq) BINARY(Eq) vmbreak;
            vmcase(OpNe) BINARY(Ne) vmbreak;
            vmcase(OpAnd) BINARY(And) vmbreak;
            vmcase(OpOr) BINARY(Or) vmbreak;
            vmcase(OpNot) *top = tos = A::Not(tos);
            vmbreak;
            vmcase(OpStoreVar) * var(*op++) = tos;
            vmbreak;
            vmcase(OpStoreCommon) * cell(*op++) = tos;
            vmbreak;
            vmcase(OpCallIntFor) {
                if (Nested && D::type == DomainInt) goto L_call_own;
                STEP();
                CALL(CallFormula<D, IntDomain>)
            }
            vmbreak;
            vmcase(OpCallRealFor) {
                if (Nested && D::type == DomainReal) goto L_call_own;
                STEP();
                CALL(CallFormula<D, RealDomain>)
            }
            vmbreak;
            vmcase(OpCallComplexFor) {
                if (Nested && D::type == DomainComplex) goto L_call_own;
                STEP();
                CALL(CallFormula<D, ComplexDomain>)
            }
            vmbreak;
        L_call_own:  // a formula of this loop's own domain, maybe the running one
            QUOREL_UNUSED_LABEL;
            STEP();
            if constexpr (Nested) {
                if (SelfCall<D>(cold, pl, pc, op, kc, top, tos, P, F, vsHome)) goto L_dispatch;
            }
            CALL(CallFormula<D, D>)
            vmbreak;
            vmcase(OpCallFun) {
                V *args = top - op[1];
                Cursor c = CallFunction<D>(frame(), cold.f, Cursor{pc, op}, args);
                pc = c.pc, op = c.op, top = args;
                tos = *top;
                // A built-in's loop or the host's call back stopped, or an interrupt came.
                if (StoppedAfterHostCall(D::type, cold.f)) goto L_stop;
            }
            vmbreak;
            vmcase(OpCommaList) vmcase(OpWhichDefault) {
                Operand k = *op++;
                top[-k] = tos;
                top -= k;
                if (Nested && *pc == OpEnd) goto L_done;
            }
            vmbreak;
            vmcase(OpIfTest) {
                if (!A::Truth(tos))
                    JUMP(op[0], op[1], op[2]);
                else
                    op += 3;
            }
            vmbreak;
            vmcase(OpIfEnd) {
                top -= *op++;
                *top = tos = A::Zero();
            }
            vmbreak;
            vmcase(OpWhileTest) L_while_test : {
                if (!A::Truth(tos) || ErrPending())
                    JUMP(op[0], op[1], op[2]);
                else
                    op += 3;
            }
            vmbreak;
            vmcase(OpWhileEnd) L_while_end : {
                STEP();
                top = STACK() + op[2];
                RELOAD();
                JUMP(op[0], op[1], op[3]);
            }
            vmbreak;
            vmcase(OpBreak) {
                top = STACK() + op[2] + 1;
                *top = tos = A::Zero();
                JUMP(op[0], op[1], op[3]);
            }
            vmbreak;
            vmcase(OpContinue) {
                if (ErrPending()) {
                    pc = cold.code + cold.ints[CodeLength] - 1;  // the final OpEnd
                } else {
                    STEP();
                    top = STACK() + op[2];
                    RELOAD();
                    JUMP(op[0], op[1], op[3]);
                }
            }
            vmbreak;
            vmcase(OpUntilTest) {  // operands K, T, C, I
                if (!A::Truth(tos) && !ErrPending()) {
                    STEP();
                    top = STACK() + op[0];
                    RELOAD();
                    JUMP(op[1], op[2], op[3]);
                } else {
                    top = STACK() + op[0] + 1;
                    *top = tos = A::Zero();
                    op += 4;
                }
            }
            vmbreak;
            vmcase(OpWhichTest) L_which_test : {
                if (!A::Truth(tos)) {
                    ++top;  // a failed condition keeps two slots
                    JUMP(op[0], op[1], op[2]);
                } else {
                    op += 3;
                }
            }
            vmbreak;
            vmcase(OpWhichTaken) {
                Operand k = op[2];
                top[-k] = tos;
                top -= k;
                JUMP(op[0], op[1], op[3]);
                if (Nested && *pc == OpEnd) goto L_done;  // a recursion's base case
            }
            vmbreak;
            vmcase(OpWhichFail) {
                ReportFormulaErr(D::type, "which", D::type, cold.f);
                top -= *op++;
                RELOAD();
            }
            vmbreak;
            vmcase(OpNeg) *top = tos = A::Neg(tos);
            vmbreak;
            vmcase(OpIncVar) {
                V *p = var(*op++);
                *p = A::Inc(*p);
                *++top = tos = *p;
            }
            vmbreak;
            vmcase(OpDecVar) {
                V *p = var(*op++);
                *p = A::Dec(*p);
                *++top = tos = *p;
            }
            vmbreak;
            vmcase(OpIncCommon) {
                V *p = cell(*op++);
                *p = A::Inc(*p);
                *++top = tos = *p;
            }
            vmbreak;
            vmcase(OpDecCommon) {
                V *p = cell(*op++);
                *p = A::Dec(*p);
                *++top = tos = *p;
            }
            vmbreak;
            vmcase(OpVarInc) {
                V *p = var(*op++);
                *++top = tos = *p;
                *p = A::Inc(*p);
                if (*pc == OpWhileEnd) {  // i++ closing a loop body
                    ++pc;
                    goto L_while_end;
                }
            }
            vmbreak;
            vmcase(OpVarDec) {
                V *p = var(*op++);
                *++top = tos = *p;
                *p = A::Dec(*p);
            }
            vmbreak;
            vmcase(OpCommonInc) {
                V *p = cell(*op++);
                *++top = tos = *p;
                *p = A::Inc(*p);
            }
            vmbreak;
            vmcase(OpCommonDec) {
                V *p = cell(*op++);
                *++top = tos = *p;
                *p = A::Dec(*p);
            }
            vmbreak;
            QUOREL_INTRINSIC_CODES(INTR)
#if !QUOREL_COMPUTED_GOTO
            default:
                goto L_bad;
#endif
        }
    }
L_stop:  // stopped: every recursive activation of this loop ends at once, with 0
    if constexpr (Nested) {
        if (g.eval.selfCallsUsed > selfBase) {
            StackOf(D::type).used = g.eval.selfCalls[selfBase].saved;
            g.eval.selfCallsUsed = selfBase;
        }
    }
    if constexpr (!Nested) cold.code[RunStateByte] = RunIdle;
    return A::Zero();
L_bad:  // a code byte no compiler emits: end the activation rather than guess
L_done:
    V result = top >= STACK() ? *top : A::Zero();
    if constexpr (Nested) {
        if (g.eval.selfCallsUsed > selfBase) {
            // The end of a recursive activation entered by SelfCall: as at the end of
            // EvaluateNested, then the caller's copy-back entries and result. The
            // callee's parameters are the caller's arguments.
            const int depth = g.eval.selfCallsUsed - 1;
            const SelfReturn &r = g.eval.selfCalls[depth];
            g.eval.selfCallsUsed = depth;
            std::uint8_t *const cd = cold.code;
            if (cd[RunStateByte] == RunOuter) cd[RunStateByte] = RunIdle;
            StackOf(D::type).used = r.saved;
            V *const args = P;
            P = static_cast<V *>(r.P);
            V *const callerF = static_cast<V *>(r.F);
            F = callerF;
            cold.S = callerF + cold.vc;
            kc = static_cast<const V *>(r.kc);
            pc = r.pc;
            op = r.op;
            if (*pc == CopyBackEnd) {
                ++pc;
            } else {
                Cursor c = CopyBack(
                    frame(), Cursor{pc, op}, [args](Operand s) { return args[s]; }, false);
                pc = c.pc, op = c.op;
            }
            *args = tos = result;
            top = args;
            goto L_dispatch;
        }
    }
    if constexpr (!Nested) cold.code[RunStateByte] = RunIdle;
    return result;
#undef JUMP
#undef RELOAD
#undef BINARY
#undef CALL
#undef STEP
#undef STACK
#undef PUSH_OR_APPLY
#undef VAR_CONST_OR_PUSH
#undef INTR
}

// The formula is already running (recursion, or a function evaluating a running
// formula): a frame of its own on the domain's stack. In copy mode the arguments
// are copied into the frame and back at the end; in place, parameters resolve to
// the caller's array and the frame starts with the first automatic variable.
template <class D>
QUOREL_NOINLINE typename D::Value EvaluateNested(CompiledFormula *f, typename D::Value *para,
                                                 bool copy) {
    using V = typename D::Value;
    EvalStack &st = StackOf(D::type);
    const Operand *ints = f->ints;
    const Operand pl = ints[ParamLast], vc = ints[VarCount], sf = ints[StaticFirst];
    Operand size = (copy ? vc : vc - pl) + (ints[ValueCount] - ints[StackBase]) + 1;
    const int saved = st.used;
    if (static_cast<long long>(saved) + size >= st.max || g.eval.activations >= kMaxActivations) {
        ReportFormulaErr(D::type, "StackOverFlow", D::type, f);
        return Arith<D>::Zero();
    }
    st.used = static_cast<int>(saved + size);
    ++st.nestedDepth;
    V *R = static_cast<V *>(st.data);
    V *F, *P;
    if (copy) {
        F = P = R + saved;
        for (Operand i = 0; i <= pl; ++i) F[i] = para ? para[i] : Arith<D>::Zero();
    } else {
        F = R + saved - pl - 1;
        P = para;
    }
    ZeroAutomatics(F, pl, sf, vc);
    std::uint8_t &state = f->code[RunStateByte];
    state = RunNested;
    V result = Run<D, true>(f, P, F);
    if (state == RunOuter) state = RunIdle;
    st.used = saved;
    if (copy && para)
        for (Operand i = 0; i <= pl; ++i) para[i] = P[i];
    if (--st.nestedDepth == 0 && st.pendingData) ApplyPendingStack(st);
    return result;
}

template <class D>
QUOREL_NOINLINE typename D::Value Unusable(CompiledFormula *f) {
    StackOf(D::type).copyArgs = 1;
    ReportFormulaErr(static_cast<int>(-f->ints[CodeStart]), nullptr, D::type, f);
    return Arith<D>::Zero();
}

// NULL, or a formula of another domain: nothing runs.
// The record is not read and not named in the slot: it may be anything.
template <class D>
QUOREL_NOINLINE typename D::Value BadHandle() {
    static const char *const kExport[] = {"IntCal", "RealCal", "ComplexCal"};
    ReportFormulaErr(QUOREL_RUNERR_BAD_HANDLE, kExport[D::type - 1], D::type, nullptr);
    return Arith<D>::Zero();
}

// An evaluation the host started: the one stopped evaluation gives 0, whatever its
// activations returned while they unwound.
template <class D>
QUOREL_NOINLINE typename D::Value Outermost(CompiledFormula *f, typename D::Value *para) {
    RunScope scope;
    typename D::Value r = Run<D, false>(f, para, nullptr);
    return Stopping() ? Arith<D>::Zero() : r;
}

// A formula with a register form, where it fits the parameter array: the activation
// bound and the run scope as Run and Outermost keep them. False: the general
// evaluator runs (and reports what there is to report).
template <class D>
QUOREL_NOINLINE bool RunForm(CompiledFormula *f, typename D::Value *para, typename D::Value &r) {
    if (g.eval.activations >= kMaxActivations || !LoopFormFits<D>(f, para)) return false;
    if (g.eval.run.active) {
        r = RunLoopForm<D>(f, para);
        return true;
    }
    RunScope scope;
    r = RunLoopForm<D>(f, para);
    if (Stopping()) r = Arith<D>::Zero();
    return true;
}

// A formula calling a formula of its own domain. A running callee goes nested and
// uses the arguments where they stand on the caller's stack, which stays valid
// for the whole call; this is the in-place mode without the detour through the
// engine-wide copy flag.
template <class D>
typename D::Value CallSameDomain(CompiledFormula *h, typename D::Value *args) {
    if (void *prog = FindProgram(h)) return RunPlain<D>(static_cast<ProgramHead *>(prog), args);
    if (h->ints[CodeStart] < 0) return Unusable<D>(h);
    if (h->code[RunStateByte] == RunIdle) {
        typename D::Value r;
        if (HasLoopForm(h) && RunForm<D>(h, args, r)) return r;
        return Run<D, false>(h, args, nullptr);
    }
    return EvaluateNested<D>(h, args, false);
}

}  // namespace

template <class D>
typename D::Value Evaluate(CompiledFormula *f, typename D::Value *para) {
    if (!f || f->ints[DomainTag] != D::type) [[unlikely]]
        return BadHandle<D>();
    // Without an array the formula's own parameter slots serve, as at the outermost
    // call the host's array usually is those slots.
    auto *own = static_cast<typename D::Value *>(f->values);
    if (void *prog = FindProgram(f))
        return RunPlain<D>(static_cast<ProgramHead *>(prog), para ? para : own);
    if (f->ints[CodeStart] < 0) return Unusable<D>(f);
    if (f->code[RunStateByte] == RunIdle) {
        typename D::Value r;
        if (HasLoopForm(f) && RunForm<D>(f, para ? para : own, r)) return r;
        if (!g.eval.run.active) return Outermost<D>(f, para ? para : own);
        return Run<D, false>(f, para ? para : own, nullptr);
    }
    EvalStack &st = StackOf(D::type);
    bool copy = st.copyArgs != 0;
    st.copyArgs = 1;
    return EvaluateNested<D>(f, para, copy);
}

namespace {

// A formula of three instructions built on the C stack: the operation runs through
// the same code as at run time.
template <class D>
typename D::Value FoldTiny(std::uint8_t op, int pushes, typename D::Value a, typename D::Value b) {
    std::uint8_t code[] = {RunIdle, 0, 0, OpPushConst, OpPushConst, OpEnd, OpEnd};
    int codeStart = 3 + (2 - pushes);  // one push for a unary operation
    code[5] = op;
    Operand ints[OperandStart + 1] = {};
    ints[ParamLast] = -1;
    ints[VarCount] = 0;
    ints[CodeLength] = sizeof code;
    ints[IntCount] = OperandStart;
    ints[ValueCount] = 4;
    ints[CodeStart] = codeStart;
    ints[StackBase] = 2;
    ints[DepFirst] = OperandStart;
    ints[DepLast] = OperandStart - 1;
    ints[DomainTag] = D::type;
    typename D::Value values[4] = {a, b, a, b};
    CompiledFormula rec{code, ints, values, nullptr, nullptr, nullptr, nullptr};
    ints[Self] = reinterpret_cast<Operand>(&rec);
    // The fragment calls nothing, so the bound on nested calls is not its business: a
    // host function deep in a recursion may compile too. Refused, it would fail the
    // compile and leave the error slot naming this record, which dies with the call.
    const int outer = g.eval.activations;
    g.eval.activations = 0;
    typename D::Value r = Evaluate<D>(&rec, nullptr);
    g.eval.activations = outer;
    return r;
}

}  // namespace

template <class D>
typename D::Value FoldBinary(std::uint8_t op, typename D::Value a, typename D::Value b) {
    if (op < OpAdd || op > OpOr) return a;
    return FoldTiny<D>(op, 2, a, b);
}

template <class D>
typename D::Value FoldUnary(std::uint8_t op, typename D::Value a) {
    bool intrinsic = op > OpIntrinsicBase && op < OpIntrinsicBase + D::intrinsicCount;
    if (op != OpNeg && op != OpNot && !intrinsic) return a;
    return FoldTiny<D>(op, 1, a, a);
}

template double Evaluate<RealDomain>(CompiledFormula *, double *);
template std::int32_t Evaluate<IntDomain>(CompiledFormula *, std::int32_t *);
template QuorelComplex Evaluate<ComplexDomain>(CompiledFormula *, QuorelComplex *);
template double FoldBinary<RealDomain>(std::uint8_t, double, double);
template std::int32_t FoldBinary<IntDomain>(std::uint8_t, std::int32_t, std::int32_t);
template QuorelComplex FoldBinary<ComplexDomain>(std::uint8_t, QuorelComplex, QuorelComplex);
template double FoldUnary<RealDomain>(std::uint8_t, double);
template std::int32_t FoldUnary<IntDomain>(std::uint8_t, std::int32_t);
template QuorelComplex FoldUnary<ComplexDomain>(std::uint8_t, QuorelComplex);

}  // namespace quorel
