#include "base/runerr.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "Quorel32.h"
#include "hand_formula.h"
#include "keys/keytree.h"

using namespace quorel;

namespace {

struct Err {
    int type = -1, code = -1, forType = -1;
    char *name = reinterpret_cast<char *>(1);
    void *handle = reinterpret_cast<void *>(1);
};

Err Take() {
    Err e;
    GetRunErr(&e.type, &e.name, &e.code, &e.forType, &e.handle);
    return e;
}

class RunErr : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InitQuorel());
        Take();
    }
    void TearDown() override {
        Take();
        ExMsgWithQuorel(6, nullptr, nullptr, nullptr);
        FreeQuorel();
    }
};

TEST_F(RunErr, FirstInternalReportWinsAndGetClears) {
    CallerInfo caller{2, reinterpret_cast<void *>(0x1234)};
    ReportRunErr(2, "max", 1, &caller);
    ReportRunErr(2, "min", 2, nullptr);
    EXPECT_EQ(TestRunErr(), 2);
    EXPECT_EQ(TestRunErr(), 2);
    Err e = Take();
    EXPECT_EQ(e.type, 2);
    EXPECT_STREQ(e.name, "max");
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(e.forType, 2);
    EXPECT_EQ(e.handle, caller.handle);
    e = Take();
    EXPECT_EQ(e.type, 0);
    EXPECT_EQ(e.name, nullptr);
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.forType, 0);
    EXPECT_EQ(e.handle, nullptr);
    EXPECT_EQ(TestRunErr(), 0);
}

TEST_F(RunErr, SetRunErrOverwritesAndUnpacksCallerInfo) {
    char fn[] = "host";
    ReportRunErr(1, "pow", 3, nullptr);
    CallerInfo caller{3, reinterpret_cast<void *>(0x99)};
    SetRunErr(7, fn, 3, 0, &caller);
    Err e = Take();
    EXPECT_EQ(e.type, 7);
    EXPECT_EQ(e.name, fn);
    EXPECT_EQ(e.code, 3);
    EXPECT_EQ(e.forType, 3);
    EXPECT_EQ(e.handle, caller.handle);

    SetRunErr(7, fn, 3, 0, nullptr);
    e = Take();
    EXPECT_EQ(e.forType, 0);
    EXPECT_EQ(e.handle, nullptr);

    SetRunErr(8, nullptr, 0, 2, &caller);  // a handle, taken as it stands
    e = Take();
    EXPECT_EQ(e.forType, 2);
    EXPECT_EQ(e.handle, static_cast<void *>(&caller));
}

TEST_F(RunErr, InitClearsOnlyTheErrorType) {
    char fn[] = "host";
    SetRunErr(5, fn, 4, 2, reinterpret_cast<void *>(0x10));
    ASSERT_TRUE(InitQuorel());
    EXPECT_EQ(TestRunErr(), 0);
    Err e = Take();
    EXPECT_EQ(e.name, fn);
    EXPECT_EQ(e.code, 4);
    EXPECT_EQ(e.forType, 2);
    FreeQuorel();
    SetRunErr(5, fn, 4, 2, nullptr);
    FreeQuorel();
    EXPECT_EQ(TestRunErr(), 5);
    ASSERT_TRUE(InitQuorel());
}

TEST_F(RunErr, GetRunErrToleratesNullOutputs) {
    SetRunErr(3, nullptr, 0, 0, nullptr);
    GetRunErr(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(TestRunErr(), 0);
}

// --- messages ------------------------------------------------------------------------

void QUOREL_CALL FreeCb(int, void *, int) {}

TEST_F(RunErr, FormulaMessages) {
    CompiledFormula *named = handmade::Add(DomainReal, "area", -4);
    CompiledFormula *unnamed = handmade::Add(DomainReal, "", 3);
    CallerInfo caller{2, named};
    int type = 0;
    void *handle = nullptr;
    auto *name = static_cast<char *>(ExMsgWithQuorel(1, &caller, &type, &handle));
    EXPECT_STREQ(name, "area");
    EXPECT_EQ(name, reinterpret_cast<char *>(named->code + 2));
    EXPECT_EQ(type, 2);
    EXPECT_EQ(handle, named);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(ExMsgWithQuorel(3, &caller, &type, &handle)), -4);

    int two = 2, four = 4;
    EXPECT_STREQ(static_cast<char *>(ExMsgWithQuorel(2, unnamed, &two, nullptr)), "");
    EXPECT_EQ(ExMsgWithQuorel(2, unnamed, &four, nullptr), nullptr);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(ExMsgWithQuorel(4, unnamed, &two, nullptr)), 3);
    EXPECT_EQ(ExMsgWithQuorel(4, unnamed, &four, nullptr), nullptr);

    CallerInfo host{9, named};  // not a formula type: outputs still written
    type = 0;
    EXPECT_EQ(ExMsgWithQuorel(1, &host, &type, &handle), nullptr);
    EXPECT_EQ(type, 9);
    EXPECT_EQ(ExMsgWithQuorel(3, &host, &type, &handle), nullptr);
    EXPECT_EQ(ExMsgWithQuorel(1, nullptr, &type, &handle), nullptr);
    EXPECT_EQ(ExMsgWithQuorel(2, named, nullptr, nullptr), nullptr);
}

TEST_F(RunErr, ConstantAndCallbackMessages) {
    auto *value = static_cast<double *>(qalloc(sizeof(double)));
    *value = 2.5;
    ASSERT_EQ(KeyInsert("pi2", 3, KeyRealConst, value, nullptr, nullptr), InsertNew);
    EXPECT_EQ(ExMsgWithQuorel(8, const_cast<char *>("pi2"), nullptr, nullptr), value);
    EXPECT_EQ(ExMsgWithQuorel(7, const_cast<char *>("pi2"), nullptr, nullptr), nullptr);
    EXPECT_EQ(ExMsgWithQuorel(9, const_cast<char *>("pi2"), nullptr, nullptr), nullptr);
    EXPECT_EQ(ExMsgWithQuorel(8, const_cast<char *>(""), nullptr, nullptr), nullptr);
    EXPECT_EQ(ExMsgWithQuorel(8, nullptr, nullptr, nullptr), nullptr);
    KeyRemove("pi2", 3, KeyRealConst);
    qfree(value);

    EXPECT_EQ(ExMsgWithQuorel(5, reinterpret_cast<void *>(FreeCb), nullptr, nullptr), nullptr);
    EXPECT_EQ(g.freeCallback, FreeCb);
    FreeQuorel();
    ASSERT_TRUE(InitQuorel());
    EXPECT_EQ(g.freeCallback, FreeCb);  // survives the engine cycle
    EXPECT_EQ(ExMsgWithQuorel(6, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(g.freeCallback, nullptr);
    for (int m : {0, 10, -1, 1000})
        EXPECT_EQ(ExMsgWithQuorel(m, nullptr, nullptr, nullptr), nullptr);
}

}  // namespace
