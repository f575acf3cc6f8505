// The evaluators through the exports, from formula text: recursion, activation kinds,
// loops ended by errors, calls across domains, invalidated formulas.
#include <climits>

#include "base/engine.h"
#include "base/formula.h"
#include "eval_text_util.h"

using namespace evaltext;

namespace {

using Recursion = EvalText;

TEST_F(Recursion, NeedsSetRealStackMaxAndIsBoundedByIt) {
    void *f = RealF("f(n) = which(n <= 1, 1, n * f(n - 1))");
    double n = 5;
    EXPECT_EQ(RealCal(f, &n), 0.0);
    Err e = TakeErr();
    EXPECT_EQ(e.type, 2);
    EXPECT_EQ(e.name, "StackOverFlow");
    EXPECT_EQ(e.handle, f);
    EXPECT_EQ(static_cast<unsigned char *>(*static_cast<void **>(f))[0], 0);  // RunState

    EXPECT_EQ(Real("SetRealStackMax(3)"), 10.0);
    EXPECT_EQ(Real("SetRealStackMax(1000)"), 1000.0);
    n = 10;
    EXPECT_EQ(RealCal(f, &n), 3628800.0);
    EXPECT_EQ(TestRunErr(), 0);
    n = 1000;
    RealCal(f, &n);
    EXPECT_EQ(TakeErr().name, "StackOverFlow");

    // A resize from inside a running recursion takes effect once it has ended.
    void *r = RealF("r(d) = if(d, r(d - 1)), which(d == 0, SetRealStackMax(50000), 1, 0)");
    double d = 3;
    EXPECT_EQ(RealCal(r, &d), 0.0);
    n = 1000;
    EXPECT_DOUBLE_EQ(RealCal(f, &n), INFINITY);
    EXPECT_EQ(TestRunErr(), 0);
}

// Recursion runs in the caller's dispatch loop up to a fixed depth and on the machine
// stack beyond it; results, automatic variables and copy-back must not tell the two
// apart.
TEST_F(Recursion, DeepAndShallowActivationsBehaveAlike) {
    Real("SetRealStackMax(100000)");
    void *s = RealF("s(n) = which(n == 0, 0, n + s(n - 1))");
    for (double n : {1.0, 1023.0, 1024.0, 1025.0, 2500.0}) {
        double a = n;
        EXPECT_EQ(RealCal(s, &a), n * (n + 1) / 2) << n;
        EXPECT_EQ(TestRunErr(), 0);
    }
    // Each activation has its own automatic variable, zero on entry.
    void *k = RealF("k(n : a, b) = b = b + a, a = n, if(n, k(n - 1)), a + b");
    double n = 1500;
    EXPECT_EQ(RealCal(k, &n), 1500.0);
    // A parameter passed by reference reaches every caller on the way back.
    void *c = RealF("c(x, d) = if(d, c(&x, d - 1)), x = x + 1");
    double p[2] = {0, 1200};
    EXPECT_EQ(RealCal(c, p), 1201.0);
    EXPECT_EQ(p[0], 1201.0);
    EXPECT_EQ(quorel::StackOf(quorel::DomainReal).used, 1);
    EXPECT_EQ(quorel::StackOf(quorel::DomainReal).nestedDepth, 0);
}

TEST_F(Recursion, IntegerAndComplexHaveTheirOwnStacks) {
    void *f = IntF("f(n) = which(n <= 1, 1, n * f(n - 1))");
    int n = 5;
    EXPECT_EQ(IntCal(f, &n), 0);
    Err e = TakeErr();
    EXPECT_EQ(e.type, 1);
    EXPECT_EQ(e.forType, 1);
    EXPECT_EQ(e.name, "StackOverFlow");
    EXPECT_EQ(Int("SetIntStackMax(1)"), 10);
    EXPECT_EQ(Int("SetIntStackMax(500)"), 500);
    EXPECT_EQ(IntCal(f, &n), 120);

    void *c = ComplexF("c(z) = which(z == 0, 0, z + c(z - 1))");
    QuorelComplex z{3, 1}, r;
    ComplexCal(&r, c, &z);
    EXPECT_EQ(TakeErr().type, 3);
    EXPECT_EQ(Complex("SetComplexStackMax(200)").re, 200.0);
    ComplexCal(&r, c, &z);
    EXPECT_EQ(r.re, 6.0);
    EXPECT_EQ(r.im, 3.0);
}

// An operand followed by an arithmetic operation, and a variable followed by a
// constant and one, are applied in one step; the results must be those of the
// separate instructions in every domain, including the integer domain's fixed
// results for division and remainder by zero.
using FusedOperands = EvalText;

TEST_F(FusedOperands, GiveTheResultsOfTheSeparateInstructions) {
    const double x = 1.7, y = -0.3;
    EXPECT_EQ(Real("(x, y) = x + 1", {x, y}), x + 1);
    EXPECT_EQ(Real("(x, y) = x - 2.5 + y", {x, y}), x - 2.5 + y);
    EXPECT_EQ(Real("(x, y) = 3 * x * y", {x, y}), 3 * x * y);
    EXPECT_EQ(Real("(x, y) = x / 7 - y / x", {x, y}), x / 7 - y / x);
    EXPECT_EQ(Real("(x, y) = x ^ 2 + y ^ 3", {x, y}), x * x + std::pow(y, 3.0));
    EXPECT_EQ(Real("(x, y) = 2 ^ x", {x, y}), std::pow(2.0, x));
    EXPECT_TRUE(std::isinf(Real("(x) = x / 0", {x})));
    EXPECT_EQ(Real("(x, y) = (x > y) * x + (x <= y) * y + (y == 0.5) + (x != 1.7)", {x, y}), x);
    EXPECT_EQ(Real("(x) = (x < 0 / 0) + (x >= 0 / 0) + (x != 0 / 0)", {x}), 1.0);  // NaN

    EXPECT_EQ(Int("(a, b) = a % 3 + a / 2 * b", {17, -4}), 17 % 3 + 17 / 2 * -4);
    EXPECT_EQ(Int("(a, b) = a / 0 + a % 0 + b - 1", {9, 5}), 0 + 9 + 5 - 1);
    EXPECT_EQ(Int("(a) = a * 65536 * 65536", {3}), 0);

    QuorelComplex z = Complex("(z) = z * 2 + z / z - 1", {{1, 2}});
    EXPECT_EQ(z.re, 2.0);
    EXPECT_EQ(z.im, 4.0);
    z = Complex("(z) = (z > 0) + (z < 2)", {{1, 2}});  // the left operand's imaginary part stays
    EXPECT_EQ(z.re, 2.0);
    EXPECT_EQ(z.im, 4.0);
}

using Activations = EvalText;

TEST_F(Activations, ParametersReachTheCallerInEveryKind) {
    Real("SetRealStackMax(1000)");
    // Outermost: the host's array.
    void *g = RealF("g(x) = x = x * 2");
    double x = 4;
    EXPECT_EQ(RealCal(g, &x), 8.0);
    EXPECT_EQ(x, 8.0);
    // Nested in place: each recursive call writes its caller's variable by reference.
    void *h = RealF("h(x, d) = x = x + 1, if(d, h(&x, d - 1)), x");
    double p[2] = {10, 3};
    EXPECT_EQ(RealCal(h, p), 14.0);
    EXPECT_EQ(p[0], 14.0);
    // Nested copy mode: sum evaluates the running formula with its parameter area.
    int n;
    double *area = nullptr;
    void *k = nullptr;
    int b, e;
    ASSERT_EQ(RealCom("k(x) = if(x < 1, sum(\"k\", 5, 5, 1)), x = x + 1", 1, &k, &n, &area, &b, &e),
              0);
    double outer = 0;
    EXPECT_EQ(RealCal(k, &outer), 1.0);
    EXPECT_EQ(area[0], 6.0);  // the nested run's x came back into the area
    EXPECT_EQ(TestRunErr(), 0);
}

double QUOREL_CALL DoubleAndReturn100(int m, double *x, CallerInfo *) {
    if (m >= 0) x[0] *= 2;
    return 100;
}

TEST_F(Activations, CopyBackRunsBeforeTheResultIsStored) {
    ASSERT_EQ(SetFunction(5, "dbl", reinterpret_cast<void *>(DoubleAndReturn100), 0), 0);
    EXPECT_EQ(Real("f( : a, b) = a = 3, b = dbl(&a), a * 1000 + b"), 6100.0);
    EXPECT_EQ(Real("f( : a) = a = 3, dbl(&a)"), 100.0);
}

TEST_F(Activations, LoopsEndAtTheFirstTestAfterAnError) {
    EXPECT_EQ(Real("s( : i) = i = 0, while(i < 10, i++, if(i == 3, max())), i"), 3.0);
    Err e = TakeErr();
    EXPECT_EQ(e.name, "max");
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(Real("u( : i) = i = 0, until(i++, if(i == 2, min()), i >= 5), i"), 2.0);
    EXPECT_EQ(TakeErr().name, "min");
    // continue() with an error pending ends the formula with what is on top.
    EXPECT_EQ(Real("c( : i) = i = 0, while(i < 10, i++, if(i == 4, max()), continue()), i"), 0.0);
    EXPECT_EQ(TakeErr().name, "max");
    // The first error of a run is the one kept.
    EXPECT_EQ(Real("max() + which(0, 1, 0, 2)"), 0.0);
    e = TakeErr();
    EXPECT_EQ(e.name, "max");
    EXPECT_EQ(TestRunErr(), 0);
}

TEST_F(Activations, ControlFormsKeepTheStackAsCompiled) {
    EXPECT_EQ(Real("x(y) = y + while(1, break())", {7}), 7.0);
    EXPECT_EQ(Real("f(n : s, i) = s = 0, i = 1, while(i <= n, s = s + i, i++), s", {4}), 10.0);
    EXPECT_EQ(Real("which(0, 1, 0, 2, 3)"), 3.0);
    EXPECT_EQ(Real("5 + which(0, 1, 0, 2)"), 5.0);
    EXPECT_EQ(TakeErr().name, "which");
    EXPECT_EQ(Real("if(1, 2)"), 0.0);
    void *g = RealF("g( : static, n) = n++");
    EXPECT_EQ(RealCal(g, nullptr), 0.0);
    EXPECT_EQ(RealCal(g, nullptr), 1.0);
    EXPECT_EQ(RealCal(g, nullptr), 2.0);
    EXPECT_EQ(Real("t( : static, i) = until(i++, i >= 3), i"), 3.0);
}

using CrossDomain = EvalText;

TEST_F(CrossDomain, RealCallsIntegerAndComplex) {
    IntF("ih(a) = a * 2");
    EXPECT_EQ(Real("ih(3.9)"), 6.0);
    // The integer GetCalByte reads the int that the call left.
    EXPECT_EQ(Real("f( : a, b) = ih(21), CalFun(4, \"GetCalByte\", a, b)"), 42.0);
    ComplexF("cz(z) = z * z");
    EXPECT_EQ(Real("cz(1, 2)"), -3.0);
    EXPECT_EQ(Real("f( : a, b) = cz(1, 2), GetCalByte(&a, &b), b"), 4.0);
    // Copy-back from a complex callee: elements by parity.
    ComplexF("sw(z) = z = xy(z), 0");
    EXPECT_EQ(Real("f( : a, b) = a = 1, b = 2, sw(&a, &b), a * 10 + b"), 21.0);
}

TEST_F(CrossDomain, IntegerAndComplexCallReal) {
    RealF("rr(x) = x + 0.9");
    EXPECT_EQ(Int("rr(7)"), 7);
    RealF("seven(x) = x");
    EXPECT_EQ(Int("seven(7)"), 7);
    QuorelComplex z = Complex("rr(2 + 3i)");
    EXPECT_DOUBLE_EQ(z.re, 2.9);
    EXPECT_EQ(z.im, 0.0);
    // Written back into the real part only.
    RealF("inc(x) = x = x + 1");
    z = Complex("f( : w) = w = 5 + 7i, inc(&w), w");
    EXPECT_EQ(z.re, 6.0);
    EXPECT_EQ(z.im, 7.0);
    IntF("half(a) = a / 2");
    z = Complex("half(7.9 + 2i)");
    EXPECT_EQ(z.re, 3.0);
    ComplexF("cc(z) = z * 2");
    EXPECT_EQ(Int("cc(3, 4)"), 6);  // two ints per complex parameter
}

TEST_F(CrossDomain, OutOfRangeRealsBecomeSaturatedInts) {
    IntF("id(a) = a");
    EXPECT_EQ(Real("id(1e300)"), 2147483647.0);
    EXPECT_EQ(Real("id(-1e300)"), -2147483648.0);
    EXPECT_EQ(Real("id(0 / 0)"), 0.0);
}

using Invalidated = EvalText;

TEST_F(Invalidated, DeletedCalleeAndDeletedFunction) {
    void *g = RealF("g(x) = x + 1");
    void *f = RealF("f(x) = g(x) * 2");
    double x = 1;
    EXPECT_EQ(RealCal(f, &x), 4.0);
    DeleteFor(2, g);
    EXPECT_EQ(RealCal(f, &x), 0.0);
    Err e = TakeErr();
    EXPECT_EQ(e.type, 4);
    EXPECT_EQ(e.handle, f);
    DeleteFor(2, f);

    ASSERT_EQ(SetFunction(5, "hf", reinterpret_cast<void *>(DoubleAndReturn100), 0), 0);
    void *c = RealF("c(x) = hf(x) + 1");
    EXPECT_EQ(RealCal(c, &x), 101.0);
    DeleteConstOrFunction(5, "hf");
    EXPECT_EQ(RealCal(c, &x), 0.0);
    EXPECT_EQ(TakeErr().type, 5);
    ASSERT_EQ(SetFunction(5, "hf", reinterpret_cast<void *>(DoubleAndReturn100), 0), 0);
    EXPECT_EQ(Real("c(x) = hf(x) + 1", {1}), 101.0);

    // Built-ins are linked the same way.
    void *m = RealF("m(x) = max(x, 2)");
    DeleteConstOrFunction(5, "max");
    EXPECT_EQ(RealCal(m, &x), 0.0);
    EXPECT_EQ(TakeErr().type, 5);
    ASSERT_EQ(SetFunction(5, "max", reinterpret_cast<void *>(DoubleAndReturn100), -2), 0);
    EXPECT_EQ(Real("max(1, 2)"), 100.0);

    QuorelComplex r{7, 7};
    void *cg = ComplexF("cg(z) = z");
    void *cf = ComplexF("cf(z) = cg(z)");
    DeleteFor(3, cg);
    QuorelComplex arg{1, 1};
    ComplexCal(&r, cf, &arg);
    EXPECT_EQ(r.re, 0.0);
    EXPECT_EQ(r.im, 0.0);
    EXPECT_EQ(TakeErr().forType, 3);
}

using Arithmetic = EvalText;

TEST_F(Arithmetic, IntegerDomain) {
    EXPECT_EQ(Int("f(a, b) = a / b", {7, 2}), 3);
    EXPECT_EQ(Int("f(a, b) = a / b", {-7, 2}), -3);
    EXPECT_EQ(Int("f(a, b) = a % b", {-7, 2}), -1);
    EXPECT_EQ(Int("f(a, b) = a / b", {5, 0}), 0);
    EXPECT_EQ(Int("f(a, b) = a / b", {INT_MIN, -1}), INT_MIN);
    EXPECT_EQ(Int("f(a, b) = a % b", {INT_MIN, -1}), 0);
    EXPECT_EQ(Int("f(a) = a + 1", {INT_MAX}), INT_MIN);
    EXPECT_EQ(Int("5 / 0 + 7 % 0"), 7);  // folded at compile time, same rules
    EXPECT_EQ(Int("ln(0)"), INT_MIN);
    EXPECT_EQ(Int("f(a) = abs(a) + sqrt(a * a)", {-3}), 6);
    EXPECT_EQ(Int("pow(2, 10)"), 1024);
    EXPECT_EQ(Int("pow(2, -1)"), 0);
    EXPECT_EQ(Int("pow(-3, 3)"), -27);
    EXPECT_EQ(Int("pow(2, 40)"), INT_MAX);
    EXPECT_EQ(Int("pow(0, -1)"), INT_MAX);
    EXPECT_EQ(Int("sign(-2, 0) * 100 + sign(-2, 1) * 10 + dim(1, 3)"), -200 + 20);
    EXPECT_EQ(Int("max(1, 3, 3, 2) * 10 + min(4, -1)"), 29);
}

TEST_F(Arithmetic, ComplexDomain) {
    QuorelComplex z = Complex("f(a, b) = a * b", {{1, 2}, {3, 4}});
    EXPECT_EQ(z.re, -5.0);
    EXPECT_EQ(z.im, 10.0);
    z = Complex("f(a, b) = a / b", {{1, 2}, {3, 4}});
    EXPECT_NEAR(z.re, 0.44, 1e-15);
    EXPECT_NEAR(z.im, 0.08, 1e-15);
    z = Complex("0^0");
    EXPECT_EQ(z.re, 0.0);
    EXPECT_EQ(z.im, 0.0);
    z = Complex("(-1)^0.5");
    EXPECT_NEAR(z.re, 0.0, 1e-15);
    EXPECT_NEAR(z.im, 1.0, 1e-15);
    z = Complex("f(a, b) = a == b", {{1, 2}, {1, 5}});
    EXPECT_EQ(z.re, 1.0);
    EXPECT_EQ(z.im, 2.0);
    z = Complex("x0(3 + 4i) + 1");
    EXPECT_EQ(z.re, 1.0);
    EXPECT_EQ(z.im, 4.0);
    z = Complex("f(a) = a * a", {{1e16, 1}});
    EXPECT_EQ(z.im, 2e16);
    z = Complex("f(a) = a / a", {{1e200, 1e200}});
    EXPECT_EQ(z.re, 1.0);
    EXPECT_EQ(z.im, 0.0);
}

// A part that cancels is +0 as in x - x, so computed negative reals stay on the upper
// side of the cut like literal ones; division by zero is NaN in both parts.
TEST_F(Arithmetic, ComplexCancellationKeepsTheBranchCut) {
    struct Case {
        const char *text;
        double re, im;
    } cases[] = {
        {"sqrt(4/(-1))", 0.0, 2.0}, {"ln(4/(-1))", std::log(4.0), M_PI},
        {"(4/(-1))^0.5", 0.0, 2.0}, {"sqrt((-2i)*(-2i))", 0.0, 2.0},
        {"sqrt(-4)", 0.0, 2.0},
    };
    for (const Case &c : cases) {
        QuorelComplex z = Complex(c.text);
        EXPECT_NEAR(z.re, c.re, 1e-15) << c.text;
        EXPECT_NEAR(z.im, c.im, 1e-15) << c.text;
    }
    QuorelComplex z = Complex("f(a, b) = a * b", {{0, -2}, {0, -2}});
    EXPECT_FALSE(std::signbit(z.im));
    z = Complex("f(a, b) = a / b", {{1e300, 0}, {-1e-10, 0}});  // beside an infinite part too
    EXPECT_EQ(z.re, -INFINITY);
    EXPECT_FALSE(std::signbit(z.im));
    z = Complex("f(a, b) = a / b", {{1e300, 1e300}, {1e300, 1e300}});  // scaling still holds
    EXPECT_EQ(z.re, 1.0);
    for (QuorelComplex a : {QuorelComplex{1, 2}, QuorelComplex{0, 0}, QuorelComplex{INFINITY, 0}}) {
        z = Complex("f(a) = a / 0", {a});
        EXPECT_TRUE(std::isnan(z.re) && std::isnan(z.im)) << a.re << "," << a.im;
    }
}

TEST_F(Arithmetic, RealDomainEdges) {
    EXPECT_EQ(Real("f(a) = a != a", {std::nan("")}), 1.0);
    EXPECT_EQ(Real("f(a) = (a >= 1) + (a == a)", {std::nan("")}), 0.0);
    EXPECT_EQ(Real("f(a) = if(a, 1), 5", {std::nan("")}), 5.0);
    EXPECT_EQ(Real("f(a) = !a", {std::nan("")}), 0.0);
    EXPECT_TRUE(std::isinf(Real("f(a) = 1 / a", {0})));
    EXPECT_EQ(Real("int(-1.5) + abs(-2)"), 0.0);
}

}  // namespace
