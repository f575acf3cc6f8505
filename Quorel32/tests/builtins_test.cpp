// The built-in functions of the three domains, called from formula text.
#include "eval/builtins.h"

#include <chrono>
#include <utility>
#include <vector>

#include "base/engine.h"
#include "eval_text_util.h"
#include "keys/keytree.h"

using namespace evaltext;

namespace {

using Builtins = EvalText;

TEST_F(Builtins, RegisteredInTheirDocumentedOrder) {
    const char *real[] = {
        "CalFun", "atan2",         "max",    "min",   "fmod",    "modf",    "sign",
        "dim",    "SimpIntegrate", "sum",    "pro",   "DataSum", "DataPro", "SetRealStackMax",
        "const",  "GetCalByte",    "Module", "OutFun"};
    const int realCodes[] = {-2, 1, -2, -2, 1, 0, 1, 1, 3, -2, -2, -2, -2, 0, -2, -2, -2, -2};
    quorel::BuiltinTable t = quorel::RealBuiltins();
    ASSERT_EQ(t.count, 18);
    for (int i = 0; i < t.count; ++i) {
        EXPECT_STREQ(t.defs[i].name, real[i]);
        EXPECT_EQ(t.defs[i].paraCode, realCodes[i]) << real[i];
        quorel::KeyEntry *e = quorel::KeySearch(real[i], quorel::KeyLen(real[i]), 5);
        ASSERT_NE(e, nullptr) << real[i];
    }
    const char *ints[] = {"CalFun",         "max",   "min",        "pow",    "sign",  "dim",
                          "SetIntStackMax", "const", "GetCalByte", "Module", "OutFun"};
    t = quorel::IntBuiltins();
    ASSERT_EQ(t.count, 11);
    for (int i = 0; i < t.count; ++i) EXPECT_STREQ(t.defs[i].name, ints[i]);
    const char *cplx[] = {"CalFun", "SetComplexStackMax", "const", "GetCalByte", "Module",
                          "OutFun"};
    t = quorel::ComplexBuiltins();
    ASSERT_EQ(t.count, 6);
    for (int i = 0; i < t.count; ++i) EXPECT_STREQ(t.defs[i].name, cplx[i]);
}

TEST_F(Builtins, ScalarFunctions) {
    EXPECT_DOUBLE_EQ(Real("atan2(1, -1)"), 3 * M_PI / 4);
    EXPECT_EQ(Real("fmod(7, -3)"), 1.0);
    EXPECT_EQ(Real("modf(-2.75)"), -0.75);
    EXPECT_EQ(Real("sign(-2, 0)"), -2.0);
    EXPECT_EQ(Real("sign(-2, 1)"), 2.0);
    EXPECT_EQ(Real("sign(2, -0.5)"), -2.0);
    EXPECT_EQ(Real("f(y) = sign(-2, y)", {std::nan("")}), -2.0);
    EXPECT_EQ(Real("dim(1, 3)"), 0.0);
    EXPECT_EQ(Real("dim(5, 3)"), 2.0);
    EXPECT_EQ(Real("f(y) = dim(5, y)", {std::nan("")}), 0.0);
}

TEST_F(Builtins, MaxAndMin) {
    EXPECT_EQ(Real("max(1, 3, 3, 2)"), 3.0);
    EXPECT_EQ(Real("min(4, -1, 7)"), -1.0);
    EXPECT_EQ(Real("f(n) = max(1, n, 2)", {std::nan("")}), 2.0);  // NaN skipped
    EXPECT_TRUE(std::isnan(Real("f(n) = max(n, 5)", {std::nan("")})));
    EXPECT_EQ(Real("min()"), 0.0);
    Err e = TakeErr();
    EXPECT_EQ(e.type, 2);
    EXPECT_EQ(e.name, "min");
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(e.forType, 2);
    EXPECT_NE(e.handle, nullptr);
    EXPECT_EQ(Int("max()"), 0);
    e = TakeErr();
    EXPECT_EQ(e.type, 1);
    EXPECT_EQ(e.name, "max");
}

// Records the points a grid visits.
std::vector<std::pair<double, double>> visited;
double QUOREL_CALL Visit(int m, double *x, CallerInfo *) {
    visited.emplace_back(x[0], m >= 1 ? x[1] : 0);
    return x[0];
}

TEST_F(Builtins, SumAndProVisitEveryGridPointOnce) {
    RealF("id(x) = x");
    EXPECT_EQ(Real("sum(\"id\", 0, 1, 0.25)"), 2.5);
    EXPECT_EQ(Real("pro(\"id\", 1, 4, 1)"), 24.0);
    EXPECT_EQ(Real("sum(\"id\", 0, 1, 0)"), 0.0);
    EXPECT_EQ(TakeErr().code, 6);
    EXPECT_EQ(Real("sum(\"id\", 1, 0, 1)"), 0.0);
    EXPECT_EQ(TakeErr().code, 6);
    EXPECT_EQ(Real("sum(\"id\", 0, 1)"), 0.0);
    EXPECT_EQ(TakeErr().code, 3);
    EXPECT_EQ(Real("sum(\"nothing\", 0, 1, 1)"), 0.0);
    EXPECT_EQ(TakeErr().code, 2);
    EXPECT_EQ(Real("sum()"), 0.0);
    EXPECT_EQ(TakeErr().code, 3);
    EXPECT_EQ(Real("sum(999, 0, 1, 1)"), 0.0);
    EXPECT_EQ(TakeErr().code, 1);
    RealF("none() = 1");
    EXPECT_EQ(Real("sum(\"none\", 0, 1, 1)"), 0.0);
    Err e = TakeErr();
    EXPECT_EQ(e.code, 4);
    EXPECT_EQ(e.name, "sum");

    ASSERT_EQ(SetFunction(5, "visit", reinterpret_cast<void *>(Visit), -2), 0);
    RealF("g(x, y) = visit(x, y)");
    visited.clear();
    EXPECT_EQ(Real("sum(\"g\", 0, 1, 1, 0, 2, 1)"), 3.0);
    std::vector<std::pair<double, double>> grid = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}};
    EXPECT_EQ(visited, grid);

    // A formula that assigns to its parameters does not shift later points.
    RealF("w(x) = visit(x), x = x + 100");
    visited.clear();
    Real("sum(\"w\", 0, 2, 1)");
    ASSERT_EQ(visited.size(), 3u);
    EXPECT_EQ(visited[2].first, 2.0);

    // Pending error on entry: nothing runs.
    void *h = RealF("sum(\"g\", 0, 1, 1, 0, 2, 1)", -7);
    SetRunErr(9, nullptr, 0, 0, nullptr);
    visited.clear();
    EXPECT_EQ(RealCal(h, nullptr), 0.0);
    EXPECT_TRUE(visited.empty());
    TakeErr();
}

TEST_F(Builtins, DataSumAndDataPro) {
    RealF("sq(x) = x * x");
    RealF("two(x, y) = x * y");
    EXPECT_EQ(Real("DataSum(\"sq\", 1, 2, 3)"), 14.0);
    EXPECT_EQ(Real("DataPro(\"sq\", 1, 2, 3)"), 36.0);
    EXPECT_EQ(Real("DataSum(\"two\", 1, 2, 3, 4)"), 14.0);
    EXPECT_EQ(Real("DataSum(\"two\", 1, 2, 3)"), 0.0);
    Err e = TakeErr();
    EXPECT_EQ(e.name, "DataSum");
    EXPECT_EQ(e.code, 3);
    EXPECT_EQ(Real("DataPro(\"sq\")"), 0.0);
    EXPECT_EQ(TakeErr().code, 3);
}

TEST_F(Builtins, SimpIntegrate) {
    RealF("sq(x) = x * x");
    EXPECT_NEAR(Real("SimpIntegrate(0, 1, 1e-10, \"sq\")"), 1.0 / 3, 1e-10);
    RealF("two(x, y) = x * y");
    EXPECT_EQ(Real("SimpIntegrate(0, 1, 1e-10, \"two\")"), 0.0);
    Err e = TakeErr();
    EXPECT_EQ(e.name, "SimpIntegrate");
    EXPECT_EQ(e.code, 3);
    EXPECT_EQ(Real("f(e) = SimpIntegrate(2, 3, e, \"sq\")", {std::nan("")}), 2.0);
    // eps <= 0 never converges: refinement is bounded and reported.
    auto start = std::chrono::steady_clock::now();
    EXPECT_NEAR(Real("SimpIntegrate(0, 1, 0, \"sq\")"), 1.0 / 3, 1e-9);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    e = TakeErr();
    EXPECT_EQ(e.name, "SimpIntegrate");
    EXPECT_EQ(e.code, 4);
}

TEST_F(Builtins, ConstDefinesAndRemovesConstants) {
    EXPECT_EQ(Real("const(\"k\", 2.5)"), 0.0);
    EXPECT_EQ(*static_cast<double *>(ExMsgWithQuorel(8, const_cast<char *>("k"), 0, 0)), 2.5);
    EXPECT_EQ(Real("k * 2"), 5.0);
    EXPECT_EQ(Real("const(\"k\", 9)"), 1.0);  // exists: value kept
    EXPECT_EQ(Real("const(\"\", 9)"), 3.0);
    EXPECT_EQ(Real("const(\"k\")"), 4.0);
    EXPECT_EQ(Real("const(999, 1)"), 5.0);
    EXPECT_EQ(Real("const(\"k\", 0, 0)"), 6.0);  // the host's kind: not removed here
    DeleteConstOrFunction(8, "k");
    EXPECT_EQ(ExMsgWithQuorel(8, const_cast<char *>("k"), 0, 0), nullptr);

    EXPECT_EQ(Real("const(\"stay\", 7, 1)"), 0.0);
    DeleteConstOrFunction(8, "stay");
    EXPECT_NE(ExMsgWithQuorel(8, const_cast<char *>("stay"), 0, 0), nullptr);
    EXPECT_EQ(Real("const(\"stay\", 0, 0)"), 0.0);
    EXPECT_EQ(ExMsgWithQuorel(8, const_cast<char *>("stay"), 0, 0), nullptr);
    EXPECT_EQ(Real("const(\"absent\", 0, 0)"), 0.0);

    EXPECT_EQ(Int("const(\"ik\", 7)"), 0);
    EXPECT_EQ(*static_cast<int *>(ExMsgWithQuorel(7, const_cast<char *>("ik"), 0, 0)), 7);
    QuorelComplex z = Complex("const(\"ck\", 1 + 2i)");
    EXPECT_EQ(z.re, 0.0);
    EXPECT_EQ(static_cast<QuorelComplex *>(ExMsgWithQuorel(9, const_cast<char *>("ck"), 0, 0))->im,
              2.0);
    EXPECT_EQ(TestRunErr(), 0);
}

std::vector<QuorelComplex> complexArgs;
int complexM;
void QUOREL_CALL TakesComplex(QuorelComplex *r, int m, QuorelComplex *x, CallerInfo *) {
    complexM = m;
    complexArgs.assign(x, x + m + 1);
    for (int i = 0; i <= m; ++i) x[i].im += 10;  // reaches the caller through copy-back
    *r = {x[0].re + 0.5, 9};
}
CallerInfo seenCaller;
int QUOREL_CALL IntHost(int m, int *x, CallerInfo *ci) {
    seenCaller = *ci;
    int s = 0;
    for (int i = 0; i <= m; ++i) s += x[i]++;
    return s;
}
double QUOREL_CALL RealHost(int m, double *x, CallerInfo *) {
    if (m >= 0) x[0] = x[0] * 2;
    return 2.75;
}

TEST_F(Builtins, CalFunCallsFunctionsOfTheOtherDomains) {
    ASSERT_EQ(SetFunction(6, "G", reinterpret_cast<void *>(TakesComplex), 1), 0);
    ASSERT_EQ(SetFunction(4, "I", reinterpret_cast<void *>(IntHost), -2), 0);
    ASSERT_EQ(SetFunction(5, "R", reinterpret_cast<void *>(RealHost), 0), 0);

    EXPECT_EQ(Real("CalFun(6, \"G\", 1, 2, 3, 4)"), 1.5);
    EXPECT_EQ(complexM, 1);
    ASSERT_EQ(complexArgs.size(), 2u);
    EXPECT_EQ(complexArgs[1].re, 3.0);
    EXPECT_EQ(complexArgs[1].im, 4.0);
    EXPECT_EQ(Real("f( : a) = a = 2, CalFun(6, \"G\", 1, &a, 3, 4), a"), 12.0);
    EXPECT_EQ(Real("CalFun(6, \"G\", 1, 2, 3)"), 0.0);
    EXPECT_EQ(TakeErr().code, 1);

    void *f = RealF("calls(x) = CalFun(4, \"I\", x, 2.9, -1.9)");
    double x = 5.5;
    EXPECT_EQ(RealCal(f, &x), 6.0);  // 5 + 2 - 1
    EXPECT_EQ(seenCaller.type, 2);
    EXPECT_EQ(seenCaller.handle, f);
    EXPECT_EQ(Real("f( : a) = a = 4, CalFun(4, \"I\", &a), a"), 5.0);

    struct Case {
        const char *text;
        int code;
    };
    for (Case c : {Case{"CalFun(4)", 1}, Case{"CalFun(4, 999)", 2}, Case{"CalFun(5, \"R\", 1)", 3},
                   Case{"CalFun(7, \"I\")", 3}, Case{"CalFun(4, \"nope\")", 4},
                   Case{"CalFun(4, \"\")", 4}}) {
        EXPECT_EQ(Real(c.text), 0.0) << c.text;
        Err e = TakeErr();
        EXPECT_EQ(e.code, c.code) << c.text;
        EXPECT_EQ(e.name, "CalFun");
        EXPECT_EQ(e.type, 2);
    }

    // Integer caller: real (5) and complex (6) targets.
    EXPECT_EQ(Int("CalFun(5, \"R\", 3)"), 2);
    EXPECT_EQ(Int("f( : a) = a = 3, CalFun(5, \"R\", &a), a"), 6);
    EXPECT_EQ(Int("CalFun(6, \"G\", 1, 2, 3, 4)"), 1);
    EXPECT_EQ(Int("CalFun(4, \"I\")"), 0);
    Err e = TakeErr();
    EXPECT_EQ(e.type, 1);
    EXPECT_EQ(e.code, 3);

    // Complex caller: integer (4) and real (5) targets, arguments back into real parts.
    QuorelComplex z = Complex("CalFun(4, \"I\", 2.7 + 5i, 3)");
    EXPECT_EQ(z.re, 5.0);
    EXPECT_EQ(z.im, 0.0);
    z = Complex("f( : w) = w = 3 + 4i, CalFun(5, \"R\", &w), w");
    EXPECT_EQ(z.re, 6.0);
    EXPECT_EQ(z.im, 4.0);
    z = Complex("CalFun(6, \"G\", 1, 2)");
    EXPECT_EQ(z.re, 0.0);
    e = TakeErr();
    EXPECT_EQ(e.type, 3);
    EXPECT_EQ(e.code, 3);

    // Any count and an odd number of elements: the last has no partner.
    ASSERT_EQ(SetFunction(6, "Gany", reinterpret_cast<void *>(TakesComplex), -2), 0);
    EXPECT_EQ(Real("CalFun(6, \"Gany\", 1, 2, 3)"), 1.5);
    EXPECT_EQ(complexM, 0);
}

TEST_F(Builtins, GetCalByteInEachDomain) {
    ComplexF("cz(z) = z * 2");
    EXPECT_EQ(Real("f( : a, b) = cz(1, 2), GetCalByte(&a, &b) * 100 + a * 10 + b"), 224.0);
    QuorelComplex z = Complex("f( : w) = CalFun(5, \"SetRealStackMax\", 3), GetCalByte(&w), w");
    EXPECT_EQ(z.re, 10.0);  // the double 10 left by the real function
    EXPECT_EQ(z.im, 0.0);   // the rest of a shorter value is zero
    EXPECT_EQ(Int("f( : a, b, c, d, e) = e = 7, CalFun(5, \"SetRealStackMax\", 20), "
                  "GetCalByte(&a, &b, &c, &d, &e), c * 10 + e"),
              7);
}

}  // namespace
