// A batch that a host function starts during an evaluation belongs to that
// evaluation: its points count against the run limit instead of restarting it.
#include "eval_text_util.h"

using namespace evaltext;

namespace {

using BatchNested = EvalText;

void *inner = nullptr;
int calls = 0;

// Evaluates `inner` at one point; gives up by interrupting, should the limit never come.
double QUOREL_CALL Batcher(int, double *x, CallerInfo *) {
    if (++calls > 100000) InterruptQuorel();
    const double *columns[1] = {x};
    double out = 0;
    RealCalBatch(inner, 1, columns, &out);
    return out;
}

TEST_F(BatchNested, EndlessLoopStillMeetsTheRunLimit) {
    ASSERT_EQ(SetFunction(QUOREL_KEY_REAL_FUN, "batcher", reinterpret_cast<void *>(Batcher), 0), 0);
    inner = RealF("(x : i) = (i = 0, while(i < 2, i = i + 1), x)");
    void *outer = RealF("(x : s) = (while(1, s = s + batcher(x)), s)");
    ASSERT_TRUE(inner && outer);
    calls = 0;
    SetRunLimit(5000);
    double x = 1;
    EXPECT_EQ(RealCal(outer, &x), 0.0);
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
    SetRunLimit(0);
    EXPECT_EQ(type, QUOREL_RUNERR_STEP_LIMIT);
    EXPECT_LT(calls, 5000);
}

}  // namespace
