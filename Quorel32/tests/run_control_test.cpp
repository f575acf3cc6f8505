// Stopping runaway evaluations: InterruptQuorel from another thread, SetRunLimit, and
// an engine that is whole afterwards.
#include <chrono>
#include <thread>

#include "eval_text_util.h"

using namespace evaltext;
using Clock = std::chrono::steady_clock;

namespace {

void *g_spin = nullptr;  // what the host function below runs

double QUOREL_CALL CallBack(int, double *, CallerInfo *) {
    return RealCal(g_spin, nullptr) + 1;
}

double QUOREL_CALL Nap(int, double *, CallerInfo *) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 1;
}

class RunControl : public EvalText {
  protected:
    void SetUp() override {
        EvalText::SetUp();
        ASSERT_EQ(Real("SetRealStackMax(100000)"), 100000);
        ASSERT_TRUE(ComplexF("cspin() = while(1, 1)"));
        g_spin = RealF("while(1, 1)");
        ASSERT_EQ(SetFunction(5, "back", reinterpret_cast<void *>(CallBack), 0), 0);
        ASSERT_EQ(SetFunction(5, "nap", reinterpret_cast<void *>(Nap), 0), 0);
        fib_ = RealF("fib(n) = which(n < 2, n, fib(n - 1) + fib(n - 2))");
        ASSERT_TRUE(fib_);
        ASSERT_TRUE(RealF("id(x) = x"));
        ASSERT_TRUE(RealF("spinx(x) = while(1, x)"));
        ASSERT_TRUE(RealF("count(: static, k) = k = k + 1"));
    }
    void TearDown() override {
        SetRunLimit(0);
        EvalText::TearDown();
    }
    void *fib_ = nullptr;
};

// Runaway evaluations of every kind the checks must reach.
const char *const kRunaways[] = {
    "while(1, 1)",                          // a loop
    "(: i) = until(i = i + 1, 0)",          // the other loop form
    "cspin() + 1",                          // inside a formula of another domain
    "sum(\"id\", 0, 1e12, 1)",              // inside a built-in over many points
    "back(1) * 2",                          // inside a host function's call back into the engine
    "count() + fib(60)",                    //
                                            // exponential recursion
    "SimpIntegrate(0, 1, 1e-9, \"spinx\")"  // inside a formula a built-in evaluates
};

TEST_F(RunControl, InterruptStopsEveryKindOfRunawayPromptly) {
    SetRunLimit(2000000000);  // a hang would show as a limit, not as a stuck test
    std::vector<const char *> texts(std::begin(kRunaways), std::end(kRunaways));
    texts.push_back("while(1, nap(1))");  // slow host calls: no waiting for 1024 of them
    for (const char *text : texts) {
        void *h = RealF(text, -1);
        ASSERT_TRUE(h) << text;
        Clock::time_point asked;
        std::thread timer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            asked = Clock::now();
            InterruptQuorel();
        });
        double v = RealCal(h, nullptr);
        Clock::time_point back = Clock::now();
        timer.join();
        EXPECT_EQ(v, 0) << text;
        Err e = TakeErr();
        EXPECT_EQ(e.type, QUOREL_RUNERR_INTERRUPTED) << text;
        EXPECT_LT(back - asked, std::chrono::milliseconds(200)) << text;
    }
}

TEST_F(RunControl, LimitStopsRunawaysAndSparesFormulasWithinIt) {
    SetRunLimit(5000);
    for (const char *text : kRunaways) {
        EXPECT_EQ(Real(text), 0) << text;
        EXPECT_EQ(TakeErr().type, QUOREL_RUNERR_STEP_LIMIT) << text;
    }
    // 100 iterations are 100 steps: exactly the limit passes, one step fewer stops.
    void *h = RealF("(: s, i) = s = 0, i = 0, while(i < 100, s = s + i, i++), s", -1);
    SetRunLimit(100);
    EXPECT_EQ(RealCal(h, nullptr), 4950);
    EXPECT_EQ(TestRunErr(), 0);
    SetRunLimit(99);
    EXPECT_EQ(RealCal(h, nullptr), 0);
    EXPECT_EQ(TakeErr().type, QUOREL_RUNERR_STEP_LIMIT);
    // Each outermost evaluation gets the whole budget again.
    SetRunLimit(100);
    EXPECT_EQ(RealCal(h, nullptr), 4950);
    EXPECT_EQ(RealCal(h, nullptr), 4950);
    EXPECT_EQ(TestRunErr(), 0);
}

TEST_F(RunControl, EngineIsWholeAfterAStop) {
    ASSERT_TRUE(IntF("isum(n : s, i) = s = 0, i = 0, while(i < n, s = s + i, i++), s"));
    void *mixed = RealF("(x : m) = m = count(), fib(x) + isum(x)", -1);
    double x = 40;
    SetRunLimit(20000);
    EXPECT_EQ(RealCal(mixed, &x), 0);
    EXPECT_EQ(TakeErr().type, QUOREL_RUNERR_STEP_LIMIT);
    SetRunLimit(0);
    // Stacks, statics and run states as before: recursion and loops run in full.
    x = 20;
    EXPECT_EQ(RealCal(mixed, &x), 6765 + 190);
    EXPECT_EQ(Real("count()"), 3);
    EXPECT_EQ(Real("fib(25)"), 75025);
    EXPECT_EQ(TestRunErr(), 0);
    DeleteFor(2, fib_);
    EXPECT_EQ(RealCal(mixed, &x), 0);  // its callee is gone
    EXPECT_EQ(TakeErr().type, QUOREL_RUNERR_FORMULA_DELETED);
}

TEST_F(RunControl, InterruptWithNothingRunningIsForgotten) {
    InterruptQuorel();
    EXPECT_EQ(Real("(: i) = i = 0, while(i < 5000, i++), i"), 5000);
    EXPECT_EQ(TestRunErr(), 0);
}

TEST_F(RunControl, BatchIsOneEvaluationForInterruptsAndPointsAreForTheLimit) {
    void *h = RealF("(n : i) = i = 0, while(i < n, i++), i", -1);
    const double ns[] = {10, 50, 20};
    const double *cols[] = {ns};
    double out[3];
    SetRunLimit(50);
    ASSERT_EQ(RealCalBatch(h, 3, cols, out), 0);
    EXPECT_EQ(out[2], 20);
    EXPECT_EQ(TestRunErr(), 0);
    SetRunLimit(30);
    ASSERT_EQ(RealCalBatch(h, 3, cols, out), 0);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);  // the points after a stop are not run
    EXPECT_EQ(TakeErr().type, QUOREL_RUNERR_STEP_LIMIT);
}

}  // namespace
