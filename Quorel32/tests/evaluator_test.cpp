// The evaluator on hand-assembled formulas: activation kinds, loops, calls,
// copy-back entries, cross-domain conversions and its own run-time errors.
#include "eval/evaluator.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <climits>
#include <cmath>

#include "Quorel32.h"
#include "asm_formula.h"
#include "base/engine.h"
#include "base/runerr.h"
#include "eval/destroy.h"
#include "eval/eval_stack.h"
#include "eval/lastcross.h"

using namespace quorel;
using asmf::CodeAt;
using asmf::OpAt;

namespace {

class Eval : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override {
        for (auto &[d, f] : made) DestroyFormula(d, f);
        g.runErr = RunErrSlot{};
        FreeQuorel();
    }
    template <class V>
    CompiledFormula *Make(int domain, const asmf::Recipe<V> &s) {
        CompiledFormula *f = asmf::Build(s);
        made.emplace_back(domain, f);
        return f;
    }
    static RunErrSlot TakeErr() {
        RunErrSlot e = g.runErr;
        g.runErr = RunErrSlot{};
        return e;
    }
    std::vector<std::pair<int, CompiledFormula *>> made;
};

QuorelComplex C(double re, double im) {
    return QuorelComplex{re, im};
}

// f(n : s, i) = s = 0, i = 1, while(i <= n, s = s + i, i++), s
asmf::Recipe<double> SumLoop() {
    asmf::Recipe<double> s;
    s.paramLast = 0;
    s.varCount = 3;
    s.consts = {0, 1};
    s.code = {OpPushConst, OpStoreVar,  OpPushConst, OpStoreVar, OpPushVar, OpPushVar,
              OpLe,        OpWhileTest, OpPushVar,   OpPushVar,  OpAdd,     OpStoreVar,
              OpVarInc,    OpWhileEnd,  OpPushVar,   OpCommaList};
    s.ops = {1, 2, 2, 0, CodeAt(14), 5, OpAt(15), 1, 2, 1, 2, CodeAt(4), 5, 1, OpAt(2), 1, 3};
    return s;
}

TEST_F(Eval, WhileLoopKeepsItsStackSlotAndEndsOnPendingError) {
    CompiledFormula *f = Make(DomainReal, SumLoop());
    double n = 4;
    EXPECT_EQ(RealCal(f, &n), 10.0);
    EXPECT_EQ(f->code[RunStateByte], RunIdle);
    n = 100;
    EXPECT_EQ(RealCal(f, &n), 5050.0);
    // A pending error leaves the loop at its first test.
    ReportRunErr(9, "x", 1, nullptr);
    EXPECT_EQ(RealCal(f, &n), 0.0);
    EXPECT_EQ(TakeErr().errType, 9);
}

TEST_F(Eval, ParametersAreWrittenThroughTheCallersArray) {
    // g(x) = x = x * 2, x + 1
    asmf::Recipe<double> s;
    s.paramLast = 0;
    s.varCount = 1;
    s.consts = {2, 1};
    s.code = {OpPushVar, OpPushConst, OpMul, OpStoreVar,
              OpPushVar, OpPushConst, OpAdd, OpCommaList};
    s.ops = {0, 0, 0, 1};
    CompiledFormula *f = Make(DomainReal, s);
    double x = 5;
    EXPECT_EQ(RealCal(f, &x), 11.0);
    EXPECT_EQ(x, 10.0);
    // The formula's own values array as the parameter array.
    auto *v = static_cast<double *>(f->values);
    v[0] = 3;
    EXPECT_EQ(RealCal(f, v), 7.0);
    EXPECT_EQ(v[0], 6.0);
}

TEST_F(Eval, FormulaWithoutParametersTakesNullArray) {
    asmf::Recipe<double> s;
    s.consts = {42};
    s.code = {OpPushConst};
    EXPECT_EQ(RealCal(Make(DomainReal, s), nullptr), 42.0);
}

// f(n) = which(n <= 1, 1, n * f(n - 1))
CompiledFormula *Factorial(CompiledFormula *(*build)(const asmf::Recipe<double> &)) {
    asmf::Recipe<double> s;
    s.paramLast = 0;
    s.varCount = 1;
    s.consts = {1, 1, 1};
    s.stack = 5;
    s.code = {OpPushVar,     OpPushConst, OpLe,      OpWhichTest,   OpPushConst,
              OpWhichTaken,  OpPushVar,   OpPushVar, OpPushConst,   OpSub,
              OpCallRealFor, 0,           OpMul,     OpWhichDefault};
    s.ops = {0, CodeAt(6), 3, OpAt(8), CodeAt(14), 4, 1, OpAt(13), 0, 0, 0 /*self*/, 0, 2};
    CompiledFormula *f = build(s);
    f->ints[OpAt(10)] = reinterpret_cast<Operand>(f);
    return f;
}

TEST_F(Eval, RecursionNeedsTheStackAndIsBoundedByIt) {
    CompiledFormula *f = Factorial(asmf::Build<double>);
    made.emplace_back(DomainReal, f);
    double n = 5;
    // No stack yet: the first recursive call overflows and yields 0.
    EXPECT_EQ(RealCal(f, &n), 0.0);
    RunErrSlot e = TakeErr();
    EXPECT_EQ(e.errType, 2);
    EXPECT_STREQ(e.funName, "StackOverFlow");
    EXPECT_EQ(e.forType, 2);
    EXPECT_EQ(e.forHandle, f);
    EXPECT_EQ(f->code[RunStateByte], RunIdle);
    EXPECT_EQ(StackOf(DomainReal).used, 1);

    // In-place frames take VarCount - ParamLast + stack + 1 = 7 elements: capacity 10
    // holds one nested activation only.
    EXPECT_EQ(ResizeEvalStack(DomainReal, 3, sizeof(double)), 10);
    n = 2;
    EXPECT_EQ(RealCal(f, &n), 2.0);
    EXPECT_EQ(g.runErr.errType, 0);
    n = 3;
    EXPECT_EQ(RealCal(f, &n), 0.0);
    EXPECT_STREQ(TakeErr().funName, "StackOverFlow");

    ResizeEvalStack(DomainReal, 1000, sizeof(double));
    n = 10;
    EXPECT_EQ(RealCal(f, &n), 3628800.0);
    EXPECT_EQ(n, 10.0);
    EXPECT_EQ(StackOf(DomainReal).used, 1);
    EXPECT_EQ(StackOf(DomainReal).nestedDepth, 0);
}

TEST_F(Eval, DeepRecursionIsRefusedBeforeTheMachineStackRunsOut) {
    CompiledFormula *f = Factorial(asmf::Build<double>);
    made.emplace_back(DomainReal, f);
    ResizeEvalStack(DomainReal, 1000000, sizeof(double));
    double n = 1e7;
    RealCal(f, &n);
    EXPECT_STREQ(TakeErr().funName, "StackOverFlow");
    EXPECT_EQ(StackOf(DomainReal).used, 1);
    n = 2000;  // deep but within bounds
    EXPECT_TRUE(std::isinf(RealCal(f, &n)));
    EXPECT_EQ(g.runErr.errType, 0);
}

// A host function at every level of a recursion compiles a formula with constants to
// fold, down to the deepest level the bound on nested calls admits. Folding runs
// through the evaluator as well and must not count as one more nested call: refused,
// the compile would fail and the error slot would name a record that lived on the
// stack of the folding.
namespace deep {
void *rec = nullptr;
int compiles = 0, failures = 0;
double QUOREL_CALL Down(int, double *x, CallerInfo *) {
    double n = x[0];
    return RealCal(rec, &n);
}
double QUOREL_CALL Compile(int, double *, CallerInfo *) {
    void *h = nullptr;
    int n, b, e;
    double *p;
    ++compiles;
    if (RealCom("sin(1) + 2", -7, &h, &n, &p, &b, &e) != 0 ||
        RealCal(h, nullptr) != std::sin(1.0) + 2) {
        ++failures;
        return 0;
    }
    DeleteFor(2, h);
    return 0;
}
void *Run(void *) {
    SetFunction(5, "down", reinterpret_cast<void *>(Down), 0);
    SetFunction(5, "comp", reinterpret_cast<void *>(Compile), -1);
    ResizeEvalStack(DomainReal, 1000000, sizeof(double));
    void *h = nullptr;
    int n, b, e;
    double *p;
    if (RealCom("rec(x) = comp(), if(x > 0, return(down(x - 1))), 0", 1, &h, &n, &p, &b, &e) == 0) {
        rec = h;
        double depth = 100000;
        RealCal(rec, &depth);
    }
    return nullptr;
}
}  // namespace deep

TEST_F(Eval, CompilesFoldConstantsAtTheDeepestNesting) {
    // The recursion goes through host functions, so it takes machine stack: a thread
    // with room for it.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, std::size_t{512} << 20);
    pthread_t t;
    ASSERT_EQ(pthread_create(&t, &attr, deep::Run, nullptr), 0);
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_NE(deep::rec, nullptr);
    // The recursion ended at the bound, reported against the recursive formula.
    RunErrSlot err = TakeErr();
    EXPECT_STREQ(err.funName, "StackOverFlow");
    EXPECT_EQ(err.forHandle, deep::rec);
    EXPECT_GT(deep::compiles, 1000);
    EXPECT_EQ(deep::failures, 0);
}

// Host function used below: doubles its first argument in place and returns the
// argument count; records the caller it was given.
CallerInfo lastCaller;
double QUOREL_CALL DoubleFirst(int m, double *x, CallerInfo *ci) {
    lastCaller = *ci;
    if (m >= 0) x[0] *= 2;
    return m + 1;
}

TEST_F(Eval, FunctionCallCopiesBackBeforeStoringTheResult) {
    FunctionNode node{reinterpret_cast<void *>(DoubleFirst), -2, 0};
    // f(a : b) = b = 3, fn(&b, 7) + b * 100 ... assembled: push b(=3), push 7, call fn
    // with copy-back (source 0 -> var 1), then push b, add.
    asmf::Recipe<double> s;
    s.paramLast = 0;
    s.varCount = 2;
    s.consts = {3, 7, 100};
    s.code = {OpPushConst, OpStoreVar, OpPushVar,   OpPushConst, OpCallFun, CopyBackVar,
              0,           OpPushVar,  OpPushConst, OpMul,       OpAdd,     OpCommaList};
    s.ops = {1, 1, reinterpret_cast<Operand>(&node), 1, 0, 1, 1, 1};
    CompiledFormula *f = Make(DomainReal, s);
    double a = 0;
    // fn returns 2 (two arguments); b became 6 through the copy-back.
    EXPECT_EQ(RealCal(f, &a), 2.0 + 600.0);
    EXPECT_EQ(lastCaller.type, 2);
    EXPECT_EQ(lastCaller.handle, f);

    // A call without arguments pushes the slot for its result.
    asmf::Recipe<double> z;
    z.consts = {5};
    z.code = {OpPushConst, OpCallFun, 0, OpAdd};
    z.ops = {reinterpret_cast<Operand>(&node), -1};
    EXPECT_EQ(RealCal(Make(DomainReal, z), nullptr), 5.0);
}

// g(x, d) = x = x + 1, if(d, g(&x, d - 1)), x
TEST_F(Eval, InPlaceAndCopyModeActivationsWriteParametersBack) {
    asmf::Recipe<double> s;
    s.paramLast = 1;
    s.varCount = 2;
    s.consts = {1, 1};
    s.stack = 6;
    s.code = {OpPushVar, OpPushConst, OpAdd,       OpStoreVar, OpPushVar,     OpIfTest,
              OpPushVar, OpPushVar,   OpPushConst, OpSub,      OpCallRealFor, CopyBackVar,
              0,         OpIfEnd,     OpPushVar,   OpCommaList};
    s.ops = {0, 0, 1, CodeAt(14), 4, OpAt(13), 0, 1, 0 /*self*/, 1, 0, 0, 1, 0, 2};
    CompiledFormula *f = Make(DomainReal, s);
    f->ints[OpAt(8)] = reinterpret_cast<Operand>(f);
    ResizeEvalStack(DomainReal, 100, sizeof(double));
    double p[2] = {10, 3};
    EXPECT_EQ(RealCal(f, p), 14.0);
    EXPECT_EQ(p[0], 14.0);
    EXPECT_EQ(g.runErr.errType, 0);

    // Copy mode: a host function evaluating the running formula with its own array.
    static CompiledFormula *target;
    static double hostArgs[2];
    target = f;
    auto reenter = [](int, double *, CallerInfo *) QUOREL_CALL -> double {
        static bool inside;
        if (inside) return 0;
        inside = true;
        hostArgs[0] = 1;
        hostArgs[1] = 0;
        double r = RealCal(target, hostArgs);
        inside = false;
        return r;
    };
    FunctionNode node{reinterpret_cast<void *>(+reenter), -1, 0};
    // h(x) = x = x + 1, fn(), x   with h's record running when fn re-enters it
    asmf::Recipe<double> h;
    h.paramLast = 1;
    h.varCount = 2;
    h.consts = {1};
    h.code = {OpPushVar, OpPushConst, OpAdd, OpStoreVar, OpCallFun, 0, OpPushVar, OpCommaList};
    h.ops = {0, 0, reinterpret_cast<Operand>(&node), -1, 0, 2};
    CompiledFormula *hf = Make(DomainReal, h);
    target = hf;
    double q[2] = {5, 0};
    EXPECT_EQ(RealCal(hf, q), 6.0);
    EXPECT_EQ(hostArgs[0], 2.0);  // the nested copy-mode run wrote its parameter back
    EXPECT_EQ(q[0], 6.0);
    EXPECT_EQ(StackOf(DomainReal).used, 1);
}

TEST_F(Eval, UnusableFormulaReportsMinusCodeStart) {
    asmf::Recipe<double> s;
    s.consts = {1};
    s.code = {OpPushConst};
    CompiledFormula *f = Make(DomainReal, s);
    f->ints[CodeStart] = -4;
    EXPECT_EQ(RealCal(f, nullptr), 0.0);
    RunErrSlot e = TakeErr();
    EXPECT_EQ(e.errType, 4);
    EXPECT_EQ(e.funName, nullptr);
    EXPECT_EQ(e.forType, 2);
    EXPECT_EQ(e.forHandle, f);

    asmf::Recipe<QuorelComplex> c;
    c.consts = {C(1, 2)};
    c.code = {OpPushConst};
    CompiledFormula *cf = Make(DomainComplex, c);
    cf->ints[CodeStart] = -5;
    QuorelComplex r{9, 9};
    EXPECT_EQ(ComplexCal(&r, cf, nullptr), &r);
    EXPECT_EQ(r.re, 0.0);
    EXPECT_EQ(r.im, 0.0);
    EXPECT_EQ(TakeErr().forType, 3);
}

TEST_F(Eval, WhichWithoutTrueConditionReportsAndYieldsZero) {
    // x + which(0, 1, 0, 2)
    asmf::Recipe<double> s;
    s.paramLast = 0;
    s.varCount = 1;
    s.consts = {0, 1, 0, 2};
    s.code = {OpPushVar,   OpPushConst, OpWhichTest,  OpPushConst, OpWhichTaken, OpPushConst,
              OpWhichTest, OpPushConst, OpWhichTaken, OpWhichFail, OpAdd};
    s.ops = {0,         CodeAt(5), 3,        OpAt(8),    CodeAt(10), 5, 1,        OpAt(16),
             CodeAt(9), 5,         OpAt(15), CodeAt(10), 5,          3, OpAt(16), 3};
    CompiledFormula *f = Make(DomainReal, s);
    double x = 7;
    EXPECT_EQ(RealCal(f, &x), 7.0);
    RunErrSlot e = TakeErr();
    EXPECT_EQ(e.errType, 2);
    EXPECT_STREQ(e.funName, "which");
    // A true second condition takes its value.
    static_cast<double *>(f->values)[1 + 2] = 1;
    EXPECT_EQ(RealCal(f, &x), 9.0);
    EXPECT_EQ(g.runErr.errType, 0);
}

// ih(a) = a * 2 in the integer domain, writing a = a + 1 as well.
asmf::Recipe<std::int32_t> IntTwice() {
    asmf::Recipe<std::int32_t> s;
    s.paramLast = 0;
    s.varCount = 1;
    s.consts = {2};
    s.code = {OpIncVar, OpPushVar, OpPushConst, OpMul, OpCommaList};
    s.ops = {0, 0, 1};
    return s;  // value: a_orig*2 + 2
}

TEST_F(Eval, RealCallsIntegerAndComplexFormulas) {
    CompiledFormula *ih = Make(DomainInt, IntTwice());
    // f(x) = ih(&x)
    asmf::Recipe<double> s;
    s.paramLast = 0;
    s.varCount = 1;
    s.code = {OpPushVar, OpCallIntFor, CopyBackVar, 0};
    s.ops = {0, reinterpret_cast<Operand>(ih), 0, 0, 0};
    CompiledFormula *f = Make(DomainReal, s);
    double x = 3.9;
    EXPECT_EQ(RealCal(f, &x), 8.0);  // a = 3 -> 4, 4 * 2
    EXPECT_EQ(x, 4.0);
    EXPECT_EQ(GetLastCross<std::int32_t>(), 8);
    EXPECT_EQ(GetLastCross<QuorelComplex>().im, 0.0);
    double big = 1e300;  // out of range: saturates, then wraps on a = a + 1
    RealCal(f, &big);
    EXPECT_EQ(big, -2147483648.0);
    EXPECT_EQ(GetLastCross<std::int32_t>(), 0);

    // cz(z) = z * z; the real caller passes (re, im) and gets the real part.
    asmf::Recipe<QuorelComplex> c;
    c.paramLast = 0;
    c.varCount = 1;
    c.code = {OpPushVar, OpPushVar, OpMul};
    c.ops = {0, 0};
    CompiledFormula *cz = Make(DomainComplex, c);
    asmf::Recipe<double> r;
    r.paramLast = 1;
    r.varCount = 2;
    r.code = {OpPushVar, OpPushVar, OpCallComplexFor, CopyBackVar, 0};
    r.ops = {0, 1, reinterpret_cast<Operand>(cz), 1, 1, 0};  // copy back im into var 0
    CompiledFormula *rf = Make(DomainReal, r);
    double p[2] = {1, 2};
    EXPECT_EQ(RealCal(rf, p), -3.0);
    EXPECT_EQ(GetLastCross<QuorelComplex>().im, 4.0);
    EXPECT_EQ(p[0], 2.0);  // source 1: imaginary part of the callee's parameter 0
}

TEST_F(Eval, ComplexAndIntegerCallersConvertResults) {
    // rh(x) = x = x * 1.5, x + 0.9  (real)
    asmf::Recipe<double> rs;
    rs.paramLast = 0;
    rs.varCount = 1;
    rs.consts = {1.5, 0.9};
    rs.code = {OpPushVar, OpPushConst, OpMul, OpStoreVar,
               OpPushVar, OpPushConst, OpAdd, OpCommaList};
    rs.ops = {0, 0, 0, 1};
    CompiledFormula *rh = Make(DomainReal, rs);

    // complex caller: k(z) = rh(&z): result (r, 0), z's real part only written back.
    asmf::Recipe<QuorelComplex> cs;
    cs.paramLast = 0;
    cs.varCount = 1;
    cs.code = {OpPushVar, OpCallRealFor, CopyBackVar, 0};
    cs.ops = {0, reinterpret_cast<Operand>(rh), 0, 0, 0};
    CompiledFormula *k = Make(DomainComplex, cs);
    QuorelComplex z = C(2, 7), out;
    ComplexCal(&out, k, &z);
    EXPECT_DOUBLE_EQ(out.re, 3.9);
    EXPECT_EQ(out.im, 0.0);
    EXPECT_EQ(z.re, 3.0);
    EXPECT_EQ(z.im, 7.0);

    // integer caller: j(a) = rh(a): 7 passes 7.0, 11.4 comes back as 11.
    asmf::Recipe<std::int32_t> is;
    is.paramLast = 0;
    is.varCount = 1;
    is.code = {OpPushVar, OpCallRealFor, CopyBackVar, 0};
    is.ops = {0, reinterpret_cast<Operand>(rh), 0, 0, 0};
    CompiledFormula *j = Make(DomainInt, is);
    int a = 7;
    EXPECT_EQ(IntCal(j, &a), 11);
    EXPECT_EQ(a, 10);  // 10.5 truncated
    EXPECT_EQ(GetLastCross<double>(), 11.4);
}

TEST_F(Eval, IntegerArithmeticIsDefinedEverywhere) {
    using D = IntDomain;
    EXPECT_EQ(FoldBinary<D>(OpDiv, 7, 2), 3);
    EXPECT_EQ(FoldBinary<D>(OpDiv, -7, 2), -3);
    EXPECT_EQ(FoldBinary<D>(OpPow, -7, 2), -1);
    EXPECT_EQ(FoldBinary<D>(OpDiv, 5, 0), 0);
    EXPECT_EQ(FoldBinary<D>(OpPow, 5, 0), 5);
    EXPECT_EQ(FoldBinary<D>(OpDiv, INT32_MIN, -1), INT32_MIN);
    EXPECT_EQ(FoldBinary<D>(OpPow, INT32_MIN, -1), 0);
    EXPECT_EQ(FoldBinary<D>(OpAdd, INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(FoldBinary<D>(OpMul, 65536, 65536), 0);
    EXPECT_EQ(FoldUnary<D>(OpNeg, INT32_MIN), INT32_MIN);
    EXPECT_EQ(FoldUnary<D>(50, INT32_MIN), INT32_MIN);  // abs
    EXPECT_EQ(FoldUnary<D>(50, -4), 4);
    EXPECT_EQ(FoldUnary<D>(46, 17), 4);           // sqrt truncated
    EXPECT_EQ(FoldUnary<D>(48, 0), INT32_MIN);    // ln 0 = -inf saturates
    EXPECT_EQ(FoldUnary<D>(46, -1), 0);           // NaN becomes 0
    EXPECT_EQ(FoldUnary<D>(47, 100), INT32_MAX);  // exp overflow saturates
    EXPECT_EQ(FoldUnary<D>(OpNot, 0), 1);
    EXPECT_EQ(FoldBinary<D>(OpAnd, 2, 0), 0);
    // Codes outside the domain's table do nothing.
    EXPECT_EQ(FoldUnary<D>(51, 9), 9);
}

TEST_F(Eval, RealComparisonsWithNaN) {
    using D = RealDomain;
    double nan = std::nan("");
    EXPECT_EQ(FoldBinary<D>(OpEq, nan, nan), 0.0);
    EXPECT_EQ(FoldBinary<D>(OpNe, nan, 1), 1.0);
    EXPECT_EQ(FoldBinary<D>(OpGe, nan, 1), 0.0);
    EXPECT_EQ(FoldUnary<D>(OpNot, nan), 0.0);  // NaN counts as true
    EXPECT_EQ(FoldBinary<D>(OpAnd, nan, 1), 1.0);
    EXPECT_EQ(FoldBinary<D>(OpPow, 2, 10), 1024.0);
    EXPECT_EQ(FoldUnary<D>(60, -1.5), -2.0);  // int = floor
    EXPECT_EQ(FoldUnary<D>(49, 1000), 3.0);   // lg
}

TEST_F(Eval, ComplexArithmetic) {
    using D = ComplexDomain;
    auto eq = [](QuorelComplex a, double re, double im) {
        EXPECT_NEAR(a.re, re, 1e-12);
        EXPECT_NEAR(a.im, im, 1e-12);
    };
    eq(FoldBinary<D>(OpMul, C(1, 2), C(3, 4)), -5, 10);
    eq(FoldBinary<D>(OpDiv, C(1, 2), C(3, 4)), 0.44, 0.08);
    eq(FoldBinary<D>(OpDiv, C(1, 2), C(0.5, 4)), (0.5 + 8) / 16.25, (1 - 4) / 16.25);
    eq(FoldBinary<D>(OpPow, C(0, 0), C(0, 0)), 0, 0);
    eq(FoldBinary<D>(OpPow, FoldUnary<D>(OpNeg, C(1, 0)), C(0.5, 0)), 0, 1);
    // Large parts keep their digits and do not overflow.
    QuorelComplex sq = FoldBinary<D>(OpMul, C(1e16, 1), C(1e16, 1));
    EXPECT_EQ(sq.im, 2e16);
    eq(FoldBinary<D>(OpDiv, C(1e200, 1e200), C(1e200, 1e200)), 1, 0);
    // Comparisons see real parts only and keep the left imaginary part.
    eq(FoldBinary<D>(OpEq, C(1, 2), C(1, 5)), 1, 2);
    eq(FoldBinary<D>(OpLt, C(1, 2), C(1, 5)), 0, 2);
    eq(FoldUnary<D>(OpNot, C(0, 3)), 1, 3);
    eq(FoldBinary<D>(OpAdd, FoldUnary<D>(55, C(3, 4)), C(1, 0)), 1, 4);  // x0(3+4i)+1
    eq(FoldUnary<D>(46, C(-4, 0)), 0, 2);                                // sqrt
    eq(FoldUnary<D>(51, C(3, 4)), 5, 0);                                 // abs
    eq(FoldUnary<D>(53, C(3, 4)), 3, -4);                                // con
    eq(FoldUnary<D>(54, C(3, 4)), 4, 3);                                 // xy
    QuorelComplex s = FoldUnary<D>(49, C(1, 1));
    eq(s, std::sin(1.0) * std::cosh(1.0), std::cos(1.0) * std::sinh(1.0));
    QuorelComplex e = FoldUnary<D>(47, C(0, M_PI));
    eq(e, -1, 0);
}

TEST_F(Eval, StackResizeWaitsForRunningNestedActivations) {
    ResizeEvalStack(DomainReal, 100, sizeof(double));
    static void *before, *during;
    static int resized, calls;
    before = StackOf(DomainReal).data;
    auto resize = [](int, double *, CallerInfo *) QUOREL_CALL -> double {
        if (calls++) return 0;
        EXPECT_EQ(StackOf(DomainReal).nestedDepth, 1);
        resized = ResizeEvalStack(DomainReal, 500, sizeof(double));
        during = StackOf(DomainReal).data;
        return 1;
    };
    FunctionNode node{reinterpret_cast<void *>(+resize), -1, 0};
    // r(d) = if(d, r(d - 1)), fn() -- fn first runs inside the nested activation.
    asmf::Recipe<double> s;
    s.paramLast = 0;
    s.varCount = 1;
    s.consts = {1};
    s.stack = 6;
    s.code = {OpPushVar, OpIfTest, OpPushVar, OpPushConst, OpSub,      OpCallRealFor,
              0,         OpIfEnd,  OpCallFun, 0,           OpCommaList};
    s.ops = {0,  CodeAt(8), 2, OpAt(8), 0, 0 /*self*/, 0, 1, reinterpret_cast<Operand>(&node),
             -1, 1};
    CompiledFormula *f = Make(DomainReal, s);
    f->ints[OpAt(5)] = reinterpret_cast<Operand>(f);
    double d = 1;
    RealCal(f, &d);
    EXPECT_EQ(resized, 500);
    EXPECT_EQ(during, before);  // not freed under the running frame
    EXPECT_NE(StackOf(DomainReal).data, before);
    EXPECT_EQ(StackOf(DomainReal).max, 500);
    EXPECT_EQ(StackOf(DomainReal).pendingData, nullptr);
}

}  // namespace
