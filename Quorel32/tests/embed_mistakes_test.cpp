// Mistakes a host makes when it embeds the engine: none of them may crash it, and
// each refused text or call is explained.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "Quorel32.h"

namespace {

struct Slot {
    int type = -1, code = -1, forType = -1;
    char *name = nullptr;
    void *handle = nullptr;
};

Slot TakeErr() {
    Slot s;
    GetRunErr(&s.type, &s.name, &s.code, &s.forType, &s.handle);
    return s;
}

int lockCalls = 0;
void QUOREL_CALL CountingLock() {
    ++lockCalls;
}

double QUOREL_CALL Twice(int, double *x, CallerInfo *) {
    return 2 * x[0];
}

class EmbedMistakes : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override {
        TakeErr();
        FreeQuorel();
    }
    int Real(const char *text, void **h, double **para = nullptr, int module = 1) {
        int n, b, e;
        double *p;
        return RealCom(text, module, h, &n, para ? para : &p, &b, &e);
    }
};

TEST(ErrorText, EveryCodeHasItsOwnTextAndOthersNone) {
    std::set<std::string> seen;
    for (int code = QUOREL_ERR_MODULE_LOCKED; code <= QUOREL_ERR_RUN_ERROR_PENDING; ++code) {
        if (code == -1) continue;
        const char *t = QuorelErrorText(code);
        ASSERT_NE(t, nullptr) << code;
        EXPECT_TRUE(seen.insert(t).second) << "shared text for " << code;
    }
    for (int type = QUOREL_RUNERR_NONE; type <= QUOREL_RUNERR_STEP_LIMIT; ++type) {
        const char *t = QuorelErrorText(QUOREL_RUNERR_CODE(type));
        ASSERT_NE(t, nullptr) << type;
        if (type != QUOREL_RUNERR_NONE) EXPECT_TRUE(seen.insert(t).second) << type;
    }
    for (int code : {-3, -1, 37, 999, QUOREL_RUNERR_CODE(-1), QUOREL_RUNERR_CODE(9), 1 << 30})
        EXPECT_EQ(QuorelErrorText(code), nullptr) << code;
}

// The named codes are the ones the compiler really returns.
TEST_F(EmbedMistakes, NamedCodesMatchWhatTheEngineReturns) {
    void *h = nullptr;
    EXPECT_EQ(Real("x + y", &h), QUOREL_ERR_UNKNOWN_NAME);
    EXPECT_EQ(Real("nosuch(1)", &h), QUOREL_ERR_UNKNOWN_FUNCTION);
    EXPECT_EQ(Real("(1 + 2", &h), QUOREL_ERR_BRACKETS);
    EXPECT_EQ(Real("1 2", &h), QUOREL_ERR_SEQUENCE);
    EXPECT_EQ(SetFunction(QUOREL_KEY_REAL_FUN, "twice", (void *)Twice, QUOREL_ARGS(1)),
              QUOREL_SET_DONE);
    EXPECT_EQ(SetFunction(QUOREL_KEY_REAL_FUN, "twice", (void *)Twice, QUOREL_ARGS(1)),
              QUOREL_SET_EXISTS);
    EXPECT_EQ(SetConst(QUOREL_KEY_REAL_FUN, "c", &lockCalls), QUOREL_SET_BAD_TYPE);
    EXPECT_EQ(Real("twice(1, 2)", &h), QUOREL_ERR_FUNCTION_ARGS);
    EXPECT_EQ(Real("twice(4)", &h), QUOREL_OK);
    EXPECT_EQ(RealCal(h, nullptr), 8.0);
    EXPECT_EQ(InsertKey("k", 1, 5, nullptr, nullptr, nullptr), QUOREL_KEY_RESERVED_TYPE);
    SetRunErr(QUOREL_RUNERR_REAL, nullptr, 0, 0, nullptr);
    EXPECT_EQ(Real("1", &h), QUOREL_ERR_RUN_ERROR_PENDING);
}

// A host that compiles a user's formula again into the variable holding the previous
// one presents a formula handle where a lock function may stand.
TEST_F(EmbedMistakes, RecompilingIntoTheSameVariableKeepsBothFormulas) {
    void *h = nullptr;
    double *para;
    ASSERT_EQ(Real("f(x) = x + 1", &h, &para), QUOREL_OK);
    void *first = h;
    ASSERT_EQ(Real("g(x) = x * 10", &h, &para), QUOREL_OK);
    ASSERT_NE(h, first);
    para[0] = 2;
    EXPECT_EQ(RealCal(h, para), 20.0);
    double one = 1;
    EXPECT_EQ(RealCal(first, &one), 2.0);
    // A formula of another domain, and a deleted one's successor, are no locks either.
    void *ih = nullptr;
    int n, b, e, *ip;
    ASSERT_EQ(IntCom("7", 1, &ih, &n, &ip, &b, &e), QUOREL_OK);
    void *slot = ih;
    ASSERT_EQ(Real("3", &slot), QUOREL_OK);
    EXPECT_EQ(RealCal(slot, nullptr), 3.0);
    // A real lock function is still called and still guards its module.
    ASSERT_TRUE(LockModule(7, CountingLock, true));
    void *lock = reinterpret_cast<void *>(CountingLock);
    lockCalls = 0;
    EXPECT_EQ(Real("1", &lock, nullptr, 7), QUOREL_OK);
    EXPECT_EQ(lockCalls, 1);
    EXPECT_EQ(Real("1", &h, nullptr, 7), QUOREL_OK);  // no lock presented: allowed
}

TEST_F(EmbedMistakes, EvaluatorsRefuseNullAndForeignHandles) {
    void *ih = nullptr, *rh = nullptr, *ch = nullptr;
    int n, b, e, *ip;
    QuorelComplex *cp;
    ASSERT_EQ(IntCom("x = 5", 1, &ih, &n, &ip, &b, &e), QUOREL_ERR_UNKNOWN_NAME);
    ASSERT_EQ(IntCom("5", 1, &ih, &n, &ip, &b, &e), QUOREL_OK);
    ASSERT_EQ(Real("2.5", &rh), QUOREL_OK);
    ASSERT_EQ(ComplexCom("1+i", 1, &ch, &n, &cp, &b, &e), QUOREL_OK);

    auto expectBad = [](const char *exportName) {
        Slot s = TakeErr();
        EXPECT_EQ(s.type, QUOREL_RUNERR_BAD_HANDLE) << exportName;
        EXPECT_STREQ(s.name, exportName);
        EXPECT_EQ(s.handle, nullptr);
    };
    double p = 1;
    EXPECT_EQ(RealCal(nullptr, &p), 0.0);
    expectBad("RealCal");
    EXPECT_EQ(RealCal(ih, &p), 0.0);
    expectBad("RealCal");
    EXPECT_EQ(IntCal(rh, nullptr), 0);
    expectBad("IntCal");
    QuorelComplex r{9, 9};
    ComplexCal(&r, ih, nullptr);
    EXPECT_EQ(r.re, 0.0);
    EXPECT_EQ(r.im, 0.0);
    expectBad("ComplexCal");
    ComplexCal(&r, nullptr, nullptr);
    expectBad("ComplexCal");
    // The right domain still works, and a formula of a domain calls across domains.
    EXPECT_EQ(IntCal(ih, nullptr), 5);
    EXPECT_EQ(RealCal(rh, nullptr), 2.5);
    EXPECT_EQ(TestRunErr(), 0);
}

// A host that keeps a handle after deleting its formula must not reach freed memory.
TEST_F(EmbedMistakes, StaleHandlesAreIgnored) {
    void *h = nullptr, *keep = nullptr;
    ASSERT_EQ(Real("f(x) = x = x + 1", &h), QUOREL_OK);
    ASSERT_EQ(Real("g(x) = x", &keep), QUOREL_OK);
    int type = QUOREL_REAL;
    EXPECT_STREQ(static_cast<char *>(ExMsgWithQuorel(QUOREL_MSG_FORMULA_NAME, h, &type, nullptr)),
                 "f");
    EXPECT_TRUE(ParaModify(QUOREL_REAL, h));
    DeleteFor(QUOREL_REAL, h);
    DeleteFor(QUOREL_REAL, h);
    DeleteFor(QUOREL_REAL, &type);  // never a formula
    EXPECT_FALSE(ParaModify(QUOREL_REAL, h));
    EXPECT_EQ(ExMsgWithQuorel(QUOREL_MSG_FORMULA_NAME, h, &type, nullptr), nullptr);
    EXPECT_EQ(ExMsgWithQuorel(QUOREL_MSG_FORMULA_MODULE, h, &type, nullptr), nullptr);
    double one = 1;
    EXPECT_EQ(RealCal(keep, &one), 1.0);
}

// Without an array the formula's own parameter slots serve, for straight-line
// formulas and for those the general evaluator runs.
TEST_F(EmbedMistakes, NullParameterArrayUsesTheFormulasOwnSlots) {
    for (const char *text :
         {"f(x, y) = x * y", "g(x, y : a) = a = x, while(a < 100, a = a * y), a"}) {
        void *h = nullptr;
        double *para;
        ASSERT_EQ(Real(text, &h, &para), QUOREL_OK) << text;
        para[0] = 3;
        para[1] = 4;
        double expected = text[0] == 'f' ? 12 : 192;
        EXPECT_EQ(RealCal(h, nullptr), expected) << text;
    }
    void *h = nullptr;
    int n, b, e, *ip;
    ASSERT_EQ(IntCom("k(x) = x + 1", 1, &h, &n, &ip, &b, &e), QUOREL_OK);
    ip[0] = 41;
    EXPECT_EQ(IntCal(h, nullptr), 42);
    EXPECT_EQ(TestRunErr(), 0);
}

}  // namespace
