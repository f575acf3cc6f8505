// Host code that re-enters the engine from inside an engine call: host functions,
// the free callback, the enumeration callback. Whatever it asks for, the call under way must not
// lose the code, stacks or function records it is running on.
#include <gtest/gtest.h>

#include <cstring>

#include "Quorel32.h"
#include "base/formula.h"
#include "eval_text_util.h"

using namespace evaltext;

namespace {

class ReEntry : public EvalText {
  protected:
    void SetUp() override {
        EvalText::SetUp();
        calls = 0;
        initResult = true;
    }
    static int calls;
    static bool initResult;

    static double QUOREL_CALL DeleteSelf(int, double *, CallerInfo *) {
        ++calls;
        DeleteConstOrFunction(5, "victim");
        return 1;
    }
    static double QUOREL_CALL DeleteSum(int, double *, CallerInfo *) {
        ++calls;
        DeleteConstOrFunction(5, "sum");
        return 1;
    }
    static double QUOREL_CALL Free(int, double *, CallerInfo *) {
        ++calls;
        FreeQuorel();
        return 1;
    }
    static double QUOREL_CALL Reinit(int, double *, CallerInfo *) {
        ++calls;
        initResult = InitQuorel();
        return 1;
    }
};
int ReEntry::calls = 0;
bool ReEntry::initResult = true;

TEST_F(ReEntry, AFunctionIsNotDeletedWhileAFormulaCallingItRuns) {
    ASSERT_EQ(SetFunction(5, "victim", (void *)DeleteSelf, -1), 0);
    void *h = RealF("f( : i) = i = 0, while(i < 3, victim(), i++), i");
    EXPECT_EQ(RealCal(h, nullptr), 3);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(TestRunErr(), 0);
    // Once the caller has ended the deletion goes through and marks it unusable.
    DeleteConstOrFunction(5, "victim");
    EXPECT_EQ(RealCal(h, nullptr), 0);
    EXPECT_EQ(TakeErr().type, 5);
}

TEST_F(ReEntry, ABuiltinIsNotDeletedUnderTheLoopThatRunsIt) {
    ASSERT_EQ(SetFunction(5, "ds", (void *)DeleteSum, -1), 0);
    RealF("inner(x) = ds() + x");
    void *h = RealF(
        "outer( : i, s) = i = 0, s = 0, while(i < 2, s = s + sum(\"inner\", 0, 2, 1), i++), s");
    EXPECT_EQ(RealCal(h, nullptr), 2 * (3 + 3));
    EXPECT_EQ(calls, 6);
    EXPECT_EQ(TestRunErr(), 0);
}

TEST_F(ReEntry, FreeAndInitFromInsideAnEvaluationAreIgnored) {
    ASSERT_EQ(SetFunction(5, "fr", (void *)Free, -1), 0);
    ASSERT_EQ(SetFunction(5, "ri", (void *)Reinit, -1), 0);
    void *f = RealF("g( : i) = i = 0, while(i < 3, fr(), ri(), i++), i");
    EXPECT_EQ(RealCal(f, nullptr), 3);
    EXPECT_EQ(calls, 6);
    EXPECT_FALSE(initResult);
    // The engine is as it was: the formula still runs, and outside any call the
    // host can reset it.
    EXPECT_EQ(RealCal(f, nullptr), 3);
    EXPECT_TRUE(InitQuorel());
}

// The enumeration walks the tree while its callback runs; a callback that asks for
// FreeQuorel or InitQuorel would pull the nodes from under it.
int enumerated = 0;
bool ReEntryInit = true;
bool QUOREL_CALL ResetFromEnumeration(char *, int, void *) {
    ++enumerated;
    FreeQuorel();
    ReEntryInit = InitQuorel();
    return true;
}

TEST_F(ReEntry, FreeAndInitFromAnEnumerationCallbackAreIgnored) {
    static int values[4];
    const char *const keys[] = {"a", "ab", "b", "zz"};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(InsertKey(keys[i], static_cast<int>(std::strlen(keys[i])), 256, &values[i],
                            nullptr, nullptr),
                  0);
    void *f = RealF("ef(x) = x + 1");
    char buffer[8];
    enumerated = 0;
    ReEntryInit = true;
    EnumKeyTypeValue(256, buffer, sizeof buffer, ResetFromEnumeration);
    EXPECT_EQ(enumerated, 4);
    EXPECT_FALSE(ReEntryInit);
    // Nothing went: the keys and the formula are still there.
    EXPECT_EQ(SearchKey("zz", 2, 256), &values[3]);
    double x = 1;
    EXPECT_EQ(RealCal(f, &x), 2);
    // Outside the enumeration the host can reset the engine.
    EXPECT_TRUE(InitQuorel());
    EXPECT_EQ(SearchKey("zz", 2, 256), nullptr);
}

void *dying = nullptr;
int callbacks = 0;
void QUOREL_CALL DeleteAgain(int type, void *, int) {
    ++callbacks;
    DeleteFor(type, dying);
}

TEST_F(ReEntry, TheFreeCallbackCannotDestroyTheFormulaTwice) {
    void *callee = RealF("gg(x) = x");
    void *f = RealF("ff(x : static, a, free) = gg(x)");
    ASSERT_TRUE(callee && f);
    ExMsgWithQuorel(5, (void *)DeleteAgain, nullptr, nullptr);
    DeleteFor(2, callee);  // ff is now unusable, so its statics go to the callback
    dying = f;
    callbacks = 0;
    DeleteFor(2, f);
    ExMsgWithQuorel(6, nullptr, nullptr, nullptr);
    EXPECT_EQ(callbacks, 1);
    EXPECT_FALSE(IsFor("ff", 2, 1, f, nullptr, 0));
}

}  // namespace

namespace {

class HostMistakes : public EvalText {};

TEST_F(HostMistakes, DeleteForWithTheWrongTypeLeavesTheFormulaAlone) {
    void *named = RealF("rf(x) = x + 1");
    void *unnamed = RealF("(x) = x + 2");
    void *caller = RealF("rc(x) = rf(x)");
    DeleteFor(1, named);  // an integer formula is asked for: not this one
    DeleteFor(3, unnamed);
    EXPECT_TRUE(IsFor("rf", 2, 1, named, static_cast<quorel::CompiledFormula *>(named)->values, 0));
    double one = 1;
    EXPECT_EQ(RealCal(caller, &one), 2);
    EXPECT_EQ(RealCal(unnamed, &one), 3);
    EXPECT_EQ(TestRunErr(), 0);
}

}  // namespace

namespace {

// A host key whose delete function asks for FreeQuorel: it runs inside the teardown
// sweep, which must not restart in the middle (formulas swept later would then be
// destroyed as if alive, reaching into callers already freed).
int sweeps = 0;
void QUOREL_CALL FreeingDeleter(void *) {
    ++sweeps;
    FreeQuorel();
}

TEST(TearDown, FreeQuorelFromADeleteFunctionOfTheSweep) {
    ASSERT_TRUE(InitQuorel());
    // Swept in key order: the caller "a", then the host key "b", then the callee "c".
    ASSERT_NE(RealF("c(x) = x + 1"), nullptr);
    ASSERT_NE(RealF("a(x) = c(x)"), nullptr);
    ASSERT_EQ(InsertKey("b", 1, 256, nullptr, FreeingDeleter, nullptr), 0);
    sweeps = 0;
    FreeQuorel();
    EXPECT_EQ(sweeps, 1);
    EXPECT_EQ(SearchKey("b", 1, 256), nullptr);
}

}  // namespace
