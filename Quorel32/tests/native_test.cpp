// Native code for real programs: bit for bit what the program runner and the general
// evaluator compute, `which` failures reported alike, made safely while several
// threads run the formula, and the off switch.
#include "eval/native.h"

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "eval_text_util.h"

using namespace evaltext;

namespace {

using Native = EvalText;

quorel::ProgramHead *Head(void *h) {
    return static_cast<quorel::ProgramHead *>(static_cast<quorel::CompiledFormula *>(h)->program);
}

// Equal bits, or two NaNs: where two NaNs meet in a sum or product, which one passes
// on is the C++ compiler's choice of operand order (it differs between optimisation
// levels), so the paths agree on every bit except that one.
bool SameOrNaNs(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b);
}

// Plain expressions deep enough to keep intermediates beyond the register levels,
// over every operation, comparison, intrinsic and `which` shape.
std::string Gen(std::mt19937 &rng, int depth) {
    static const char *const bin[] = {
        "+", "-", "*", "/", "^", ">", ">=", "<", "<=", "==", "!=", "&", "|"};
    static const char *const un[] = {"-",    "!",    "sqrt", "exp",  "ln",   "lg",
                                     "sin",  "cos",  "tan",  "asin", "acos", "atan",
                                     "sinh", "cosh", "tanh", "abs",  "int"};
    static const char *const leaves[] = {"x", "y", "z",     "a",     "t",     "2",     "(-0.5)",
                                         "3", "0", "(x^2)", "(x+1)", "(2*y)", "(x*y)", "(1-z)"};
    int pick = depth <= 0 ? 0 : static_cast<int>(rng() % 8);
    auto sub = [&] { return Gen(rng, depth - 1); };
    if (pick == 0) return leaves[rng() % std::size(leaves)];
    if (pick == 1) {
        std::string op = un[rng() % std::size(un)], arg = "(" + sub() + ")";
        return op == "-" || op == "!" ? "(" + op + arg + ")" : op + arg;
    }
    if (pick == 2) {
        std::string w = "which(" + sub() + ", " + sub();
        if (rng() % 2) w += ", " + sub() + ", " + sub();
        if (rng() % 2) w += ", " + sub();
        return w + ")";
    }
    return "(" + sub() + bin[rng() % std::size(bin)] + sub() + ")";
}

TEST_F(Native, AgreesWithRunnerAndEvaluatorToTheBit) {
    if (!quorel::NativeAvailable()) GTEST_SKIP() << "no native code here";
    std::mt19937 rng(1307);
    RealF("(v : : common, t) = t = v", NextPrivateModule());
    const double special[] = {std::nan(""), -std::nan(""), INFINITY, -INFINITY, -0.0,
                              0.0,          1e300,         -2,       0.5,       3};
    int natives = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string text = "(x, y, z : a : common, t) = " + Gen(rng, 2 + round % 6);
        void *h = RealF(text, NextPrivateModule());
        ASSERT_NE(h, nullptr) << text;
        quorel::ProgramHead *p = Head(h);
        ASSERT_NE(p, nullptr) << text;
        natives += quorel::MakeNative(p);
        // The same text once more, run by the general evaluator (its program taken away).
        void *general = RealF(text, NextPrivateModule());
        quorel::DetachProgram(static_cast<quorel::CompiledFormula *>(general));
        for (int point = 0; point < 4; ++point) {
            double para[3];
            for (double &v : para) v = special[rng() % std::size(special)];
            double keep[3], keep2[3];
            std::memcpy(keep, para, sizeof keep);
            std::memcpy(keep2, para, sizeof keep);
            double native = RealCal(h, para);
            Err nativeErr = TakeErr();
            double runner = quorel::RunProgram<quorel::RealDomain>(p, keep);
            Err runnerErr = TakeErr();
            double slow = RealCal(general, keep2);
            Err slowErr = TakeErr();
            ASSERT_TRUE(SameOrNaNs(native, slow)) << text << " " << native << " " << slow;
            ASSERT_TRUE(SameOrNaNs(native, runner)) << text << " " << native << " " << runner;
            ASSERT_EQ(nativeErr.name, runnerErr.name) << text;
            ASSERT_EQ(nativeErr.handle, runnerErr.handle) << text;
            ASSERT_EQ(nativeErr.name, slowErr.name) << text;
        }
        DeleteFor(2, h);
        DeleteFor(2, general);
    }
    EXPECT_GT(natives, 1400);  // nearly every program is translated
}

// Constants fused with a logical operation make the most constant references a step
// can have; a long chain of them still gets its code.
TEST_F(Native, LongChainsOfConstantLogic) {
    if (!quorel::NativeAvailable()) GTEST_SKIP() << "no native code here";
    std::string text = "(x, y) = (2 & x)";
    for (int i = 0; i < 60; ++i) text += i % 2 ? " | (0 & y)" : " | (3 & x)";
    void *h = RealF(text, NextPrivateModule());
    ASSERT_TRUE(quorel::MakeNative(Head(h)));
    double p[2] = {0, 1};
    EXPECT_EQ(RealCal(h, p), 0.0);
    p[0] = -0.0 / 1;
    EXPECT_EQ(RealCal(h, p), 0.0);
    p[0] = std::nan("");
    EXPECT_EQ(RealCal(h, p), 1.0);
}

TEST_F(Native, WhichWithoutDefaultReportsAndGivesTheFirstCondition) {
    if (!quorel::NativeAvailable()) GTEST_SKIP() << "no native code here";
    void *h = RealF("(x, y) = 1 + which(x - y, 10, x, 20) * 2", NextPrivateModule());
    ASSERT_TRUE(quorel::MakeNative(Head(h)));
    double p[2] = {0, 0};
    EXPECT_EQ(RealCal(h, p), 1.0);  // nothing held: the first condition, 0
    Err e = TakeErr();
    EXPECT_EQ(e.name, "which");
    EXPECT_EQ(e.handle, h);
    p[0] = 3;
    EXPECT_EQ(RealCal(h, p), 21.0);
    EXPECT_EQ(TakeErr().name, "");
}

// Threads evaluating a fresh formula race through its warm-up: one of them makes
// the code while the others keep running the runner, all getting the same values.
TEST_F(Native, MadeWhileThreadsRun) {
    const std::string text =
        "(x, y) = which(x > y, x ^ 3 - y, y < 0, sin(y)) + (x + (y * (x - (y / (x + 3)))))";
    void *ref = RealF(text, NextPrivateModule());
    void *h = RealF(text, NextPrivateModule());
    constexpr int kThreads = 4, kPoints = 500;
    std::vector<double> want(kPoints);
    for (int k = 0; k < kPoints; ++k) {
        double p[2] = {k % 37 * 0.25 - 4, k % 23 * 0.5 - 5};
        want[k] = RealCal(ref, p);
    }
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
        pool.emplace_back([&, t] {
            for (int k = 0; k < kPoints; ++k) {
                double p[2] = {k % 37 * 0.25 - 4, k % 23 * 0.5 - 5};
                double got = RealCal(h, p);
                wrong[t] += std::memcmp(&got, &want[k], 8) != 0;
            }
        });
    for (std::thread &th : pool) th.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
    EXPECT_EQ(Head(h)->native != nullptr, quorel::NativeAvailable());
}

void SetOffSwitch(const char *value) {
#ifdef _WIN32
    _putenv_s("QUOREL_NO_JIT", value ? value : "");
#else
    if (value)
        setenv("QUOREL_NO_JIT", value, 1);
    else
        unsetenv("QUOREL_NO_JIT");
#endif
}

TEST_F(Native, OffSwitchKeepsTheRunner) {
    if (!quorel::NativeAvailable()) GTEST_SKIP() << "no native code here";
    SetOffSwitch("1");
    ASSERT_TRUE(InitQuorel());
    void *h = RealF("(x) = x * 2 + 1", NextPrivateModule());
    double x = 4;
    for (int i = 0; i < 2 * quorel::kNativeAfter; ++i) ASSERT_EQ(RealCal(h, &x), 9.0);
    EXPECT_EQ(Head(h)->native, nullptr);
    SetOffSwitch(nullptr);
    ASSERT_TRUE(InitQuorel());
    h = RealF("(x) = x * 2 + 1", NextPrivateModule());
    for (int i = 0; i < 2 * quorel::kNativeAfter; ++i) ASSERT_EQ(RealCal(h, &x), 9.0);
    EXPECT_NE(Head(h)->native, nullptr);
}

}  // namespace
