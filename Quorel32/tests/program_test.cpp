// Straight-line programs: which formulas get one, that a program computes exactly
// what the general evaluator computes, that it reads variables live, and that the
// program table stays right while formulas come and go.
#include "eval/program.h"

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "eval_text_util.h"

using namespace evaltext;

namespace {

using Programs = EvalText;

quorel::CompiledFormula *Rec(void *h) {
    return static_cast<quorel::CompiledFormula *>(h);
}

bool HasProgram(void *h) {
    return quorel::FindProgram(Rec(h)) != nullptr;
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(Programs, OnlyPlainExpressionsGetOne) {
    const char *plain[] = {"(x, y) = x + y",
                           "(x) = x^2 + 1",
                           "(x) = -sin(x) * (!x)",
                           "(x, y) = (x > y) * x + (x <= y) * y",
                           "(x : a) = a + x",
                           "( : : common, t) = t * 2",
                           "() = 42",
                           "(x, y) = x & y | (!(x == y))",
                           "(x) = which(x, 1, 2)",
                           "(x, y) = 2 * which(x > y, x, y < 0, which(y, 3)) + 1"};
    for (const char *text : plain) {
        void *h = RealF(text, NextPrivateModule());
        ASSERT_NE(h, nullptr);
        EXPECT_TRUE(HasProgram(h)) << text;
    }
    const char *general[] = {"(x) = if(x, 1), 2",       "(x) = x = x + 1",
                             "(x : a) = a = x, a * 2",  "(x) = max(x, 1)",
                             "(x) = while(x < 3, x++)", "(x : : common, t) = t++"};
    for (const char *text : general) {
        void *h = RealF(text, NextPrivateModule());
        ASSERT_NE(h, nullptr);
        EXPECT_FALSE(HasProgram(h)) << text;
    }
    void *callee = RealF("twice(x) = x * 2", 7);
    void *caller = RealF("(x) = twice(x) + 1", 7);
    EXPECT_TRUE(HasProgram(callee));
    EXPECT_FALSE(HasProgram(caller));
    double a = 5;
    EXPECT_EQ(RealCal(caller, &a), 11.0);  // a formula call enters the callee's program
    int ia = 7;
    void *icallee = IntF("(x) = x % 4 + x / 2", NextPrivateModule());
    ASSERT_TRUE(HasProgram(icallee));
    EXPECT_EQ(IntCal(icallee, &ia), 3 + 3);
}

// The same formula, run once through its program and once through the general
// evaluator (its program taken away), over random expressions in the three domains.
template <class V, class Cal>
void CompareBothPaths(void *h, V *para, int n, Cal cal, const std::string &text) {
    std::vector<V> keep(para, para + n);
    V fast = cal(h, para);
    Err fastErr = TakeErr();
    ASSERT_TRUE(HasProgram(h)) << text;
    quorel::DetachProgram(Rec(h));
    std::copy(keep.begin(), keep.end(), para);
    V slow = cal(h, para);
    Err slowErr = TakeErr();
    ASSERT_EQ(std::memcmp(&fast, &slow, sizeof fast), 0) << text;
    ASSERT_EQ(fastErr.name, slowErr.name) << text;
    ASSERT_EQ(fastErr.handle, slowErr.handle) << text;
}

std::string RandomText(std::mt19937 &rng, int depth, const std::vector<std::string> &bin,
                       const std::vector<std::string> &un, const std::vector<std::string> &leaves) {
    int pick = depth <= 0 ? 0 : static_cast<int>(rng() % 7);
    if (pick <= 1) return leaves[rng() % leaves.size()];
    if (pick == 6) {  // `which` with one or two choices, with or without a default
        auto sub = [&] { return RandomText(rng, depth - 1, bin, un, leaves); };
        std::string w = "which(" + sub() + ", " + sub();
        if (rng() % 2) w += ", " + sub() + ", " + sub();
        if (rng() % 2) w += ", " + sub();
        return w + ")";
    }
    if (pick == 2) {
        const std::string &op = un[rng() % un.size()];
        std::string arg = "(" + RandomText(rng, depth - 1, bin, un, leaves) + ")";
        return op == "-" || op == "!" ? "(" + op + arg + ")" : op + arg;
    }
    return "(" + RandomText(rng, depth - 1, bin, un, leaves) + bin[rng() % bin.size()] +
           RandomText(rng, depth - 1, bin, un, leaves) + ")";
}

TEST_F(Programs, AgreeWithTheGeneralEvaluatorToTheBit) {
    std::mt19937 rng(2026);
    const std::vector<std::string> realBin = {
        "+", "-", "*", "/", "^", ">", ">=", "<", "<=", "==", "!=", "&", "|"};
    const std::vector<std::string> realUn = {"-",  "!",  "sqrt", "sin", "cos",  "tan",  "exp",
                                             "ln", "lg", "abs",  "int", "atan", "sinh", "tanh"};
    // Parameters, an automatic variable, a common variable and constants, squares
    // among them, so that every fused step shape turns up.
    const std::vector<std::string> realLeaves = {"x",   "y",     "z",     "a",     "t",
                                                 "2",   "0.5",   "3",     "1e300", "x^2",
                                                 "y^2", "(x+1)", "(2*y)", "(x*y)", "(z-x)"};
    RealF("(v : : common, t) = t = v", NextPrivateModule());
    for (int round = 0; round < 2000; ++round) {
        std::string text =
            "(x, y, z : a : common, t) = " +
            RandomText(rng, 1 + static_cast<int>(rng() % 7), realBin, realUn, realLeaves);
        void *h = RealF(text, NextPrivateModule());
        ASSERT_NE(h, nullptr) << text;
        double para[3] = {static_cast<double>(static_cast<int>(rng() % 9)) - 4.5, 0.75, -2};
        if (round % 7 == 0) para[0] = std::nan("");
        CompareBothPaths(
            h, para, 3, [](void *f, double *p) { return RealCal(f, p); }, text);
        DeleteFor(2, h);
    }
    const std::vector<std::string> intBin = {"+", "-", "*", "/", "%", ">", "<=", "==", "&", "|"};
    const std::vector<std::string> intUn = {"-", "!", "abs", "sqrt", "ln"};
    const std::vector<std::string> intLeaves = {"x", "y", "0", "1", "7", "2147483647", "(x+1)"};
    for (int round = 0; round < 1000; ++round) {
        std::string text = "(x, y) = " + RandomText(rng, 1 + static_cast<int>(rng() % 6), intBin,
                                                    intUn, intLeaves);
        void *h = IntF(text, NextPrivateModule());
        ASSERT_NE(h, nullptr) << text;
        int para[2] = {static_cast<int>(rng() % 11) - 5, -2147483647 - 1};
        CompareBothPaths(
            h, para, 2, [](void *f, int *p) { return IntCal(f, p); }, text);
        DeleteFor(1, h);
    }
    const std::vector<std::string> cxBin = {"+", "-", "*", "/", "^", ">", "==", "&"};
    const std::vector<std::string> cxUn = {"-",   "!",   "sqrt", "exp", "ln", "sin",
                                           "abs", "con", "xy",   "x0",  "y0", "int"};
    const std::vector<std::string> cxLeaves = {"x", "y", "2", "i", "1.5i", "(x+1)", "x^2"};
    for (int round = 0; round < 1000; ++round) {
        std::string text =
            "(x, y) = " + RandomText(rng, 1 + static_cast<int>(rng() % 5), cxBin, cxUn, cxLeaves);
        void *h = ComplexF(text, NextPrivateModule());
        ASSERT_NE(h, nullptr) << text;
        QuorelComplex para[2] = {{0.5, -1}, {-2, 0.25}};
        CompareBothPaths(
            h, para, 2,
            [](void *f, QuorelComplex *p) {
                QuorelComplex r{};
                ComplexCal(&r, f, p);
                return r;
            },
            text);
        DeleteFor(3, h);
    }
}

TEST_F(Programs, ReadVariablesAsTheyAreNow) {
    void *set = RealF("(v : : common, shared) = shared = v", NextPrivateModule());
    void *read = RealF("( : : common, shared) = shared * 3 + 1", NextPrivateModule());
    ASSERT_TRUE(HasProgram(read));
    for (double v : {1.0, -2.5, 1e10}) {
        RealCal(set, &v);
        EXPECT_EQ(RealCal(read, nullptr), v * 3 + 1);
    }
    // The host's parameter array is read at each evaluation as well.
    void *f = RealF("(x, y) = x * y - y^2", NextPrivateModule());
    double p[2] = {3, 4};
    EXPECT_EQ(RealCal(f, p), 12.0 - 16.0);
    p[1] = -1;
    EXPECT_EQ(RealCal(f, p), -3.0 - 1.0);
}

// Many formulas filed and deleted in random order: every remaining formula still
// finds its own program (the table's deletions keep probe runs intact), and a
// record whose memory is reused by a formula without a program never runs a stale
// one.
TEST_F(Programs, TableSurvivesChurn) {
    std::mt19937 rng(5);
    struct Live {
        void *h;
        double k;
        bool plain;
    };
    std::vector<Live> live;
    for (int step = 0; step < 6000; ++step) {
        if (live.empty() || rng() % 3 != 0) {
            double k = static_cast<double>(step);
            bool plain = rng() % 4 != 0;
            std::string text = plain ? "(x) = x + " + std::to_string(step)
                                     : "(x) = if(1, 0), x + " + std::to_string(step);
            void *h = RealF(text, NextPrivateModule());
            ASSERT_NE(h, nullptr);
            live.push_back({h, k, plain});
        } else {
            size_t i = rng() % live.size();
            DeleteFor(2, live[i].h);
            live[i] = live.back();
            live.pop_back();
        }
        if (step % 500 == 499)
            for (const Live &l : live) {
                double x = 0.5;
                ASSERT_TRUE(SameBits(RealCal(l.h, &x), 0.5 + l.k));
                ASSERT_EQ(HasProgram(l.h), l.plain);
            }
    }
    EXPECT_EQ(quorel::g.programs.count,
              static_cast<size_t>(
                  std::count_if(live.begin(), live.end(), [](const Live &l) { return l.plain; })));
    FreeQuorel();
    EXPECT_EQ(quorel::g.programs.count, 0u);
}

}  // namespace
