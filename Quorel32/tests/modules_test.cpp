#include "registry/modules.h"

#include <gtest/gtest.h>

#include <string>

#include "Quorel32.h"
#include "base/alloc.h"
#include "base/engine.h"
#include "hand_formula.h"
#include "keys/keytree.h"

using namespace quorel;

namespace {

int lockCalls = 0;
void QUOREL_CALL LockF() {
    ++lockCalls;
}
void QUOREL_CALL LockG() {
    ++lockCalls;
}
void QUOREL_CALL FreeCell(void *p) {
    qfree(p);
}

class Modules : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InitQuorel());
        lockCalls = 0;
    }
    void TearDown() override { FreeQuorel(); }

    static void Var(const std::string &key, int type = KeyRealModuleVar) {
        ASSERT_EQ(KeyInsert(key.data(), static_cast<int>(key.size()), type, qcalloc(1, 8), FreeCell,
                            nullptr),
                  InsertNew);
    }
    static bool HasVar(const std::string &key, int type = KeyRealModuleVar) {
        return KeySearch(key.data(), static_cast<int>(key.size()), type) != nullptr;
    }
    static ImportList *Imports(const char *name) {
        KeyEntry *e = KeySearch(name, KeyLen(name), KeyModuleImports);
        return e ? static_cast<ImportList *>(e->value) : nullptr;
    }
};

TEST_F(Modules, CountsCreateAndRemoveTheRecord) {
    EXPECT_EQ(FindModule(-7), nullptr);
    ModuleCountUp(-7);
    ModuleCountUp(7);
    ASSERT_NE(FindModule(7), nullptr);
    EXPECT_EQ(FindModule(7)->count, 2);
    EXPECT_NE(KeySearch("7", 1, KeyModule), nullptr);
    ModuleCountDown(7);
    EXPECT_EQ(FindModule(-7)->count, 1);
    ModuleCountDown(-7);
    EXPECT_EQ(FindModule(7), nullptr);
    ModuleCountDown(7);  // no record: nothing
    ModuleCountUp(0);
    EXPECT_NE(KeySearch("0", 1, KeyModule), nullptr);
}

TEST_F(Modules, LastFormulaTakesOnlyItsOwnVariables) {
    ModuleCountUp(1);
    ModuleCountUp(12);
    Var("1x");
    Var("1_y", KeyIntModuleVar);
    Var("1abc", KeyComplexModuleVar);
    Var("1x", KeyIntModuleVar);
    Var("12x");  // module 12's
    Var("x");    // a common variable
    Var("1x", 300);
    ASSERT_EQ(KeyInsert("1x", 2, 300, nullptr, nullptr, nullptr), InsertExists);
    ModuleCountDown(1);
    EXPECT_FALSE(HasVar("1x"));
    EXPECT_FALSE(HasVar("1_y", KeyIntModuleVar));
    EXPECT_FALSE(HasVar("1abc", KeyComplexModuleVar));
    EXPECT_FALSE(HasVar("1x", KeyIntModuleVar));
    EXPECT_TRUE(HasVar("12x"));
    EXPECT_TRUE(HasVar("x"));
    EXPECT_TRUE(HasVar("1x", 300));
    EXPECT_EQ(FindModule(1), nullptr);
    ASSERT_NE(FindModule(12), nullptr);
}

TEST_F(Modules, ImportsAndTheirResults) {
    ModuleCountUp(3);
    ModuleCountUp(4);
    EXPECT_EQ(handmade::Attach(3, {"Geo", "Base", "Util"}), 0);
    ImportList *list = Imports("Geo");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->module, 3);
    ASSERT_EQ(list->count, 2);
    EXPECT_STREQ(list->names[0], "Base");
    EXPECT_STREQ(list->names[1], "Util");
    EXPECT_STREQ(FindModule(3)->importText, "Geo");

    EXPECT_EQ(handmade::Attach(4, {"Geo"}), 5);
    EXPECT_EQ(handmade::Attach(4, {""}), 6);
    EXPECT_EQ(FindModule(4)->importText, nullptr);
    for (long n = 1; n <= 4; ++n) {
        qallocFailAt(n);
        EXPECT_EQ(handmade::Attach(4, {"Geo4", "X"}), 4) << n;
        qallocFailAt(0);
        EXPECT_EQ(FindModule(4)->importText, nullptr);
        EXPECT_EQ(Imports("Geo4"), nullptr);
    }
    ModuleCountDown(3);  // the import list goes with the module
    EXPECT_EQ(Imports("Geo"), nullptr);
}

TEST_F(Modules, LockModuleRules) {
    EXPECT_FALSE(LockModule(5, nullptr, true));
    EXPECT_TRUE(LockModule(5, LockF, true));
    EXPECT_EQ(lockCalls, 1);
    EXPECT_TRUE(LockModule(-5, LockF, true));  // same lock again
    EXPECT_FALSE(LockModule(5, LockG, true));
    EXPECT_FALSE(ModuleAllowed(5, LockG));
    EXPECT_TRUE(ModuleAllowed(5, LockF));
    EXPECT_TRUE(ModuleAllowed(5, nullptr));
    EXPECT_TRUE(ModuleAllowed(6, LockG));  // no record yet
    lockCalls = 0;
    ModuleAllowed(6, nullptr);
    EXPECT_EQ(lockCalls, 0);

    ModuleCountUp(5);
    EXPECT_FALSE(LockModule(5, LockF, false));  // formulas live
    ModuleCountDown(5);
    ASSERT_NE(FindModule(5), nullptr);  // the lock keeps the record
    EXPECT_FALSE(ModuleAllowed(5, LockG));
    EXPECT_TRUE(LockModule(5, LockG, false));  // unlock does not compare
    EXPECT_EQ(FindModule(5), nullptr);
    EXPECT_TRUE(LockModule(5, LockG, false));

    ModuleCountUp(8);  // formulas but no lock: cannot be locked
    EXPECT_FALSE(LockModule(8, LockF, true));
    EXPECT_FALSE(ModuleAllowed(8, LockF));
}

TEST_F(Modules, LockedModuleLosesVariablesAndImportsButKeepsLock) {
    ASSERT_TRUE(LockModule(9, LockF, true));
    ModuleCountUp(9);
    ASSERT_EQ(handmade::Attach(9, {"Nine", "Other"}), 0);
    Var("9v");
    ModuleCountDown(9);
    ModuleRecord *rec = FindModule(9);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->lock, LockF);
    EXPECT_EQ(rec->count, 0);
    EXPECT_EQ(rec->importText, nullptr);
    EXPECT_EQ(Imports("Nine"), nullptr);
    EXPECT_FALSE(HasVar("9v"));
    ASSERT_EQ(handmade::Attach(9, {"Nine", "Other"}), 0);  // a new life may name it again
}

TEST_F(Modules, OutOfMemoryLeavesNoRecord) {
    qallocFailAt(1);
    ModuleCountUp(2);
    qallocFailAt(0);
    EXPECT_EQ(FindModule(2), nullptr);
    ModuleCountDown(2);
    for (long n = 1; n <= 3; ++n) {
        qallocFailAt(n);
        EXPECT_FALSE(LockModule(21, LockF, true)) << n;
        qallocFailAt(0);
    }
    EXPECT_TRUE(LockModule(21, LockF, true));
}

}  // namespace
