#include <gtest/gtest.h>

#include "Quorel32.h"
#include "eval/destroy.h"
#include "hand_formula.h"
#include "keys/keytree.h"
#include "registry/formula_lists.h"
#include "registry/name_builtins.h"
#include "registry/registry.h"

using namespace quorel;
using handmade::Add;

namespace {

class Registry : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override { FreeQuorel(); }

    struct Got {
        bool ok = false;
        int module = -99;
        void *handle = nullptr;
        void *para = nullptr;
        int paraCode = -99;
    };
    static Got Get(const char *name, int type, CompiledFormula *caller, int callerType = 2) {
        CallerInfo info{static_cast<signed char>(callerType), caller};
        Got g;
        g.ok = GetFor(name, type, &info, &g.module, &g.handle, &g.para, &g.paraCode);
        return g;
    }
};

TEST_F(Registry, GetForOldestPublicWhenSeveral) {
    // Cannot arise through the compiler (names clash), but the chain walk is defined.
    CompiledFormula *g4 = Add(DomainReal, "g", 4);
    Add(DomainReal, "g", 5);
    Add(DomainReal, "g", 6);
    Got g = Get("g", 2, Add(DomainReal, "", 7));
    EXPECT_TRUE(g.ok);
    EXPECT_EQ(g.handle, g4);
    EXPECT_EQ(g.module, 4);
}

TEST_F(Registry, GetForNegativeTypesResolveLikeCalls) {
    CompiledFormula *pub = Add(DomainReal, "r", 8);
    CompiledFormula *caller = Add(DomainInt, "", 9);
    Got g = Get("r", -2, caller, 1);
    EXPECT_TRUE(g.ok);
    EXPECT_EQ(g.handle, pub);
    EXPECT_EQ(g.module, 8);
    g = Get("r", -1, caller, 1);
    EXPECT_FALSE(g.ok);
    EXPECT_EQ(g.handle, pub);  // the handle is stored even so
    EXPECT_FALSE(Get("nothing", -2, caller, 1).ok);
    EXPECT_EQ(handmade::Attach(8, {"Eight"}), 0);
    EXPECT_FALSE(Get("Eight::r", -2, caller, 1).ok);  // not exported
    pub->code[FlagsByte] |= FlagExported;
    EXPECT_TRUE(Get("Eight::r", -2, caller, 1).ok);
}

TEST_F(Registry, IsForChecksEveryProperty) {
    CompiledFormula *f = Add(DomainComplex, "f", 3, 1);
    CompiledFormula *u = Add(DomainComplex, "", -3, -1);
    EXPECT_TRUE(IsFor("f", 3, 3, f, f->values, 1));
    EXPECT_FALSE(IsFor("f", 2, 3, f, f->values, 1));
    EXPECT_FALSE(IsFor("f", 3, -3, f, f->values, 1));
    EXPECT_FALSE(IsFor("f", 3, 3, f, u->values, 1));
    EXPECT_FALSE(IsFor("f", 3, 3, f, f->values, 0));
    EXPECT_FALSE(IsFor("g", 3, 3, f, f->values, 1));
    EXPECT_TRUE(IsFor("", 3, -3, u, u->values, -1));
    EXPECT_TRUE(IsFor(nullptr, 3, -3, u, u->values, -1));
    EXPECT_FALSE(IsFor("", 3, 3, f, f->values, 1));
    EXPECT_FALSE(IsFor("f", 4, 3, f, f->values, 1));
    void *values = f->values;
    DeleteFor(3, f);
    EXPECT_FALSE(IsFor("f", 3, 3, f, values, 1));
}

TEST_F(Registry, DeleteForInEveryPositionOfAChain) {
    CompiledFormula *a = Add(DomainReal, "f", -1);
    CompiledFormula *b = Add(DomainReal, "f", -2);
    CompiledFormula *c = Add(DomainReal, "f", -3);
    CompiledFormula *d = Add(DomainReal, "f", -4);
    DeleteFor(2, d);  // newest
    EXPECT_EQ(FormulaChain(DomainReal, "f", 1), c);
    EXPECT_EQ(c->prev, nullptr);
    DeleteFor(2, b);  // middle
    EXPECT_EQ(c->next, a);
    EXPECT_EQ(a->prev, c);
    DeleteFor(2, a);  // oldest
    EXPECT_EQ(c->next, nullptr);
    DeleteFor(2, c);
    EXPECT_EQ(KeySearch("f", 1, KeyRealFor), nullptr);
    DeleteFor(5, c);  // not a formula type: nothing (c is gone anyway)
}

TEST_F(Registry, DeleteForForgetsTheFormulaInTheErrorSlot) {
    CompiledFormula *f = Add(DomainReal, "f", 1);
    char name[] = "host";
    SetRunErr(9, name, 4, 2, f);
    DeleteFor(2, f);
    int type, code, forType;
    char *fn;
    void *handle;
    GetRunErr(&type, &fn, &code, &forType, &handle);
    EXPECT_EQ(type, 9);
    EXPECT_EQ(fn, name);
    EXPECT_EQ(code, 4);
    EXPECT_EQ(forType, 0);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(Registry, DeleteForUnnamed) {
    CompiledFormula *a = Add(DomainInt, "", 1);
    CompiledFormula *b = Add(DomainInt, "", 1);
    CompiledFormula *c = Add(DomainInt, "", 1);
    DeleteFor(1, c);
    EXPECT_EQ(g.unnamed[0], b);
    EXPECT_EQ(b->prev, nullptr);
    DeleteFor(1, a);
    EXPECT_EQ(b->next, nullptr);
    DeleteFor(1, b);
    EXPECT_EQ(g.unnamed[0], nullptr);
}

TEST_F(Registry, ParaModifyAndGetForStr) {
    CompiledFormula *f = Add(DomainReal, "f", 1, 0, FlagParamModified, {"abc"});
    CompiledFormula *h = Add(DomainReal, "h", 1, 0, FlagExported);
    EXPECT_TRUE(ParaModify(2, f));
    EXPECT_FALSE(ParaModify(2, h));
    EXPECT_FALSE(ParaModify(0, f));
    CallerInfo info{2, f};
    char *strings = nullptr;
    int length = 0;
    GetForStr(&info, &strings, &length);
    EXPECT_EQ(strings, reinterpret_cast<char *>(f->code));
    EXPECT_EQ(length, 8);
    EXPECT_STREQ(strings + 4, "abc");
}

// --- the "Module" and "OutFun" built-ins ---------------------------------------------

TEST_F(Registry, ModuleBuiltinResults) {
    // String offsets: name "m" at 2, then "Geo" at 4, "Base" at 8, "Geo" at 13.
    CompiledFormula *f = Add(DomainReal, "m", 5, 0, 0, {"Geo", "Base", "Geo"});
    CallerInfo info{2, f};
    double none[] = {0};
    EXPECT_EQ(RealModuleFn(-1, none, &info), 1);
    CallerInfo host{0, f};
    double geo[] = {4.9, 8};
    EXPECT_EQ(RealModuleFn(1, geo, &host), -1);
    double outside[] = {4, 17};
    EXPECT_EQ(RealModuleFn(1, outside, &info), 3);
    double negative[] = {-1};
    EXPECT_EQ(RealModuleFn(0, negative, &info), 3);
    EXPECT_EQ(RealModuleFn(1, geo, &info), 0);
    EXPECT_EQ(RealModuleFn(1, geo, &info), 2);
    auto *list = static_cast<ImportList *>(KeySearch("Geo", 3, KeyModuleImports)->value);
    ASSERT_EQ(list->count, 1);
    EXPECT_STREQ(list->names[0], "Base");
    EXPECT_EQ(list->module, 5);

    CompiledFormula *other = Add(DomainInt, "o", 6, 0, 0, {"Geo"});
    CallerInfo intInfo{1, other};
    int sameName[] = {4};
    EXPECT_EQ(IntModuleFn(0, sameName, &intInfo), 5);
    int empty[] = {3};  // the NUL after the name: an empty text
    EXPECT_EQ(IntModuleFn(0, empty, &intInfo), 6);

    CompiledFormula *unrecorded = handmade::Make("u", 77, 0, 0, {"X"});
    CallerInfo noRecord{3, unrecorded};
    QuorelComplex x[] = {{4, 9}};
    QuorelComplex r{-1, -1};
    ComplexModuleFn(&r, 0, x, &noRecord);
    EXPECT_EQ(r.re, -2);
    EXPECT_EQ(r.im, 0);
    DestroyFormula(DomainComplex, unrecorded);
}

TEST_F(Registry, ModuleBuiltinOutOfMemory) {
    CompiledFormula *f = Add(DomainReal, "m", 5, 0, 0, {"Geo", "Base"});
    CallerInfo info{2, f};
    double args[] = {4, 8};
    qallocFailAt(1);
    EXPECT_EQ(RealModuleFn(1, args, &info), 4);  // the temporary array
    qallocFailAt(2);
    EXPECT_EQ(RealModuleFn(1, args, &info), 4);  // the import text
    qallocFailAt(0);
    EXPECT_EQ(RealModuleFn(1, args, &info), 0);
}

TEST_F(Registry, OutFunMarksResolvedFormulas) {
    CompiledFormula *a = Add(DomainInt, "a", -4);
    CompiledFormula *b = Add(DomainComplex, "b", 9);
    CompiledFormula *hidden = Add(DomainReal, "c", -9);
    CompiledFormula *f = Add(DomainReal, "", 4, 0, 0, {"a", "b", "c", "a"});
    // Offsets: name "" at 2, "a" at 3, "b" at 5, "c" at 7, "a" at 9; CodeStart 11.
    CallerInfo info{2, f};
    double ab[] = {3, 5};
    EXPECT_EQ(RealOutFun(1, ab, &info), 0);
    EXPECT_TRUE(a->code[FlagsByte] & FlagExported);
    EXPECT_TRUE(b->code[FlagsByte] & FlagExported);
    double withHidden[] = {9, 7, 3};
    EXPECT_EQ(RealOutFun(2, withHidden, &info), 2);  // c is private to module 9
    EXPECT_FALSE(hidden->code[FlagsByte] & FlagExported);
    double outside[] = {3, 11};
    EXPECT_EQ(RealOutFun(1, outside, &info), 2);
    EXPECT_EQ(RealOutFun(-1, ab, &info), 0);
    CallerInfo host{7, f};
    EXPECT_EQ(RealOutFun(0, ab, &host), -2);
    CallerInfo intInfo{1, f};
    int ints[] = {5};
    EXPECT_EQ(IntOutFun(0, ints, &intInfo), 0);
    QuorelComplex cx[] = {{7.5, 3}};
    QuorelComplex r{};
    CallerInfo cInfo{3, f};
    ComplexOutFun(&r, 0, cx, &cInfo);
    EXPECT_EQ(r.re, 1);
    qallocFailAt(1);
    EXPECT_EQ(RealOutFun(0, ab, &info), -1);
    qallocFailAt(0);
}

}  // namespace

namespace {

TEST(NameBuiltins, RegisteredOnceInEveryDomain) {
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(InitQuorel());
        for (int type : {KeyIntFun, KeyRealFun, KeyComplexFun}) {
            for (const char *name : {"Module", "OutFun"}) {
                KeyNode *node = KeyNodeOf(name, 6);
                ASSERT_NE(node, nullptr);
                int found = 0;
                for (KeyEntry *e = node->entries; e; e = e->next) found += e->type == type;
                EXPECT_EQ(found, 1) << name << " " << type;
                auto *fn = static_cast<FunctionNode *>(KeyEntryAt(node, type)->value);
                EXPECT_EQ(fn->paraCode, -2);
            }
        }
    }
    FreeQuorel();
}

}  // namespace
