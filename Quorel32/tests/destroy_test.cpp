// Destroying formulas and deleting functions: callers become unusable, links are
// released exactly once, the free hook runs, and constants and functions register
// and go away by the rules of who owns them.
#include "eval/destroy.h"

#include <gtest/gtest.h>

#include "Quorel32.h"
#include "asm_formula.h"
#include "base/engine.h"
#include "eval/evaluator.h"
#include "keys/keytree.h"
#include "registry/functions.h"

using namespace quorel;
using asmf::CodeAt;
using asmf::OpAt;

namespace {

void *Find(const char *name, int type) {
    KeyEntry *e = KeySearch(name, KeyLen(name), type);
    return e ? e->value : nullptr;
}

class Destroy : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override {
        g.runErr = RunErrSlot{};
        g.freeCallback = nullptr;
        FreeQuorel();
    }
    // Puts a record on the domain's unnamed list, so FreeQuorel sweeps it if a test
    // leaves it alive.
    static void Own(int domain, CompiledFormula *f) {
        CompiledFormula *&head = g.unnamed[domain - 1];
        f->next = head;
        if (head) head->prev = f;
        head = f;
    }
    static void Disown(int domain, CompiledFormula *f) {
        if (f->prev)
            f->prev->next = f->next;
        else
            g.unnamed[domain - 1] = f->next;
        if (f->next) f->next->prev = f->prev;
        f->prev = f->next = nullptr;
    }
    static void Delete(int domain, CompiledFormula *f) {
        Disown(domain, f);
        DestroyFormula(domain, f);
    }
    // What the compile driver does for each dependency entry.
    static void Link(CompiledFormula *caller, Operand *calleeReferrers) {
        caller->ints[caller->ints[DepFirst]] = reinterpret_cast<Operand>(calleeReferrers);
        auto *link = qnew<ReferrerLink>();
        link->callerReferrers = &caller->ints[Referrers];
        link->next = RefHead(calleeReferrers);
        SetRefHead(calleeReferrers, link);
    }
    static CompiledFormula *Constant(double v, int deps = 0) {
        asmf::Recipe<double> s;
        s.consts = {v};
        s.code = {OpPushConst};
        s.deps.assign(deps, 0);
        CompiledFormula *f = asmf::Build(s);
        Own(DomainReal, f);
        return f;
    }
};

TEST_F(Destroy, DeletingACalleeMakesCallersUnusable) {
    CompiledFormula *callee = Constant(1);
    CompiledFormula *caller = Constant(2, 1);
    Link(caller, &callee->ints[Referrers]);
    EXPECT_EQ(RealCal(caller, nullptr), 2.0);

    Delete(DomainReal, callee);
    EXPECT_EQ(caller->ints[CodeStart], -4);
    EXPECT_EQ(caller->ints[caller->ints[DepFirst]], 0);
    EXPECT_EQ(RealCal(caller, nullptr), 0.0);
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
    EXPECT_EQ(type, 4);
    EXPECT_EQ(handle, caller);
    Delete(DomainReal, caller);  // must not touch the freed callee
}

TEST_F(Destroy, DeletingACallerLeavesTheCalleeUsable) {
    CompiledFormula *callee = Constant(1);
    CompiledFormula *a = Constant(2, 1);
    CompiledFormula *b = Constant(3, 1);
    Link(a, &callee->ints[Referrers]);
    Link(b, &callee->ints[Referrers]);
    Delete(DomainReal, a);
    ASSERT_NE(RefHead(&callee->ints[Referrers]), nullptr);
    EXPECT_EQ(RefHead(&callee->ints[Referrers])->callerReferrers, &b->ints[Referrers]);
    EXPECT_EQ(RefHead(&callee->ints[Referrers])->next, nullptr);
    EXPECT_EQ(RealCal(callee, nullptr), 1.0);
    EXPECT_EQ(b->ints[CodeStart], 3);
}

TEST_F(Destroy, TeardownFreesEveryLinkOnce) {
    // Checked by the leak sanitizer: links hanging in callee lists and function
    // nodes go with FreeQuorel, whatever order the sweep meets them in.
    CompiledFormula *callee = Constant(1);
    CompiledFormula *caller = Constant(2, 2);
    Link(caller, &callee->ints[Referrers]);
    auto fn = [](int, double *, CallerInfo *) QUOREL_CALL -> double { return 0; };
    ASSERT_EQ(SetFunction(5, "hostfn", reinterpret_cast<void *>(+fn), -1), 0);
    auto *node = static_cast<FunctionNode *>(Find("hostfn", 5));
    caller->ints[caller->ints[DepFirst] + 1] = reinterpret_cast<Operand>(&node->referrers);
    auto *link = qnew<ReferrerLink>();
    link->callerReferrers = &caller->ints[Referrers];
    SetRefHead(&node->referrers, link);
}

TEST_F(Destroy, RunErrorNamingTheFormulaForgetsIt) {
    CompiledFormula *f = Constant(1);
    SetRunErr(7, const_cast<char *>("fn"), 3, 2, f);
    Delete(DomainReal, f);
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
    EXPECT_EQ(type, 7);
    EXPECT_STREQ(name, "fn");
    EXPECT_EQ(code, 3);
    EXPECT_EQ(forType, 0);
    EXPECT_EQ(handle, nullptr);
}

double releasedWith = -1;
double QUOREL_CALL Release(int m, double *x, CallerInfo *) {
    releasedWith = m >= 0 ? x[0] : -2;
    return 0;
}

// f( : static, s, free) = if(free, release(s))
CompiledFormula *WithFreeHook(int domain) {
    asmf::Recipe<double> s;
    s.varCount = 3;
    s.staticFirst = 0;
    s.freeVar = 2;
    s.vars = {0, 42, 0};
    static FunctionNode node{reinterpret_cast<void *>(Release), 0, 0};
    s.code = {OpPushVar, OpIfTest, OpPushVar, OpCallFun, 0, OpIfEnd};
    s.ops = {2, CodeAt(6), 3, OpAt(8), 1, reinterpret_cast<Operand>(&node), 0, 1};
    CompiledFormula *f = asmf::Build(s);
    (void)domain;
    return f;
}

TEST_F(Destroy, FreeHookRunsOnceOnDestroyOrGoesToTheCallback) {
    CompiledFormula *f = WithFreeHook(DomainReal);
    EXPECT_EQ(RealCal(f, nullptr), 0.0);
    EXPECT_EQ(releasedWith, -1);  // free is 0 during ordinary runs
    DestroyFormula(DomainReal, f);
    EXPECT_EQ(releasedWith, 42.0);

    static int cbType, cbCount;
    static double cbFirst;
    auto cb = [](int type, void *slots, int count) QUOREL_CALL {
        cbType = type;
        cbCount = count;
        cbFirst = *static_cast<double *>(slots);
    };
    ExMsgWithQuorel(5, reinterpret_cast<void *>(+cb), nullptr, nullptr);
    releasedWith = -1;
    f = WithFreeHook(DomainReal);
    f->ints[CodeStart] = -5;
    DestroyFormula(DomainReal, f);
    EXPECT_EQ(releasedWith, -1);
    EXPECT_EQ(cbType, 2);
    EXPECT_EQ(cbCount, 1);  // the statics between `static` and `free`
    EXPECT_EQ(cbFirst, 42.0);

    // The sweep of FreeQuorel runs no hook.
    releasedWith = -1;
    Own(DomainReal, WithFreeHook(DomainReal));
    cbType = 0;
    FreeQuorel();
    EXPECT_EQ(releasedWith, -1);
    EXPECT_EQ(cbType, 0);
}

double QUOREL_CALL Seven(int, double *, CallerInfo *) {
    return 7;
}
double QUOREL_CALL Eight(int, double *, CallerInfo *) {
    return 8;
}

TEST_F(Destroy, SetFunctionResultsAndDeletion) {
    auto *seven = reinterpret_cast<void *>(Seven);
    EXPECT_EQ(SetFunction(5, "f", seven, 0), 0);
    EXPECT_EQ(SetFunction(5, "f", reinterpret_cast<void *>(Eight), 0), 1);
    EXPECT_EQ(static_cast<FunctionNode *>(Find("f", 5))->function, seven);
    EXPECT_EQ(SetFunction(4, "f", seven, 0), 0);  // another type: independent
    EXPECT_EQ(SetFunction(5, "", seven, 0), 3);
    EXPECT_EQ(SetFunction(7, "g", seven, 0), 4);
    EXPECT_EQ(SetFunction(5, "g", nullptr, 0), 4);

    // A formula calling f becomes unusable (error 5) when f is deleted.
    auto *node = static_cast<FunctionNode *>(Find("f", 5));
    CompiledFormula *caller = Constant(2, 1);
    Link(caller, &node->referrers);
    DeleteConstOrFunction(5, "f");
    EXPECT_EQ(Find("f", 5), nullptr);
    EXPECT_NE(Find("f", 4), nullptr);
    EXPECT_EQ(caller->ints[CodeStart], -5);
    EXPECT_EQ(caller->ints[caller->ints[DepFirst]], 0);
    EXPECT_EQ(RealCal(caller, nullptr), 0.0);
    EXPECT_EQ(TestRunErr(), 5);
    EXPECT_EQ(SetFunction(5, "f", reinterpret_cast<void *>(Eight), 0), 0);
    DeleteConstOrFunction(5, "nothing");
    DeleteConstOrFunction(3, "f");
}

TEST_F(Destroy, ConstantsBelongToWhoeverMayRemoveThem) {
    double tau = 6.28, other = 1;
    EXPECT_EQ(SetConst(8, "tau", &tau), 0);
    tau = 0;  // the engine keeps its own copy
    EXPECT_EQ(*static_cast<double *>(ExMsgWithQuorel(8, const_cast<char *>("tau"), 0, 0)), 6.28);
    EXPECT_EQ(SetConst(8, "tau", &other), 1);
    EXPECT_EQ(*static_cast<double *>(ExMsgWithQuorel(8, const_cast<char *>("tau"), 0, 0)), 6.28);
    EXPECT_EQ(SetConst(10, "x", &other), 4);
    EXPECT_EQ(SetConst(8, "", &other), 3);
    EXPECT_EQ(SetConst(8, "x", nullptr), 4);
    QuorelComplex z{1, 2};
    int i = 5;
    EXPECT_EQ(SetConst(9, "z", &z), 0);
    EXPECT_EQ(SetConst(7, "i", &i), 0);
    EXPECT_EQ(static_cast<QuorelComplex *>(ExMsgWithQuorel(9, const_cast<char *>("z"), 0, 0))->im,
              2.0);

    // A constant a formula made to stay is not the host's to delete.
    auto *kept = static_cast<double *>(qalloc(sizeof(double)));
    *kept = 3;
    ASSERT_EQ(KeyInsert("k", 1, 8, kept, FormulaConstDeleter, nullptr), 0);
    DeleteConstOrFunction(8, "k");
    EXPECT_NE(Find("k", 8), nullptr);
    DeleteConstOrFunction(8, "tau");
    EXPECT_EQ(Find("tau", 8), nullptr);
    EXPECT_NE(reinterpret_cast<void *>(HostConstDeleter),
              reinterpret_cast<void *>(FormulaConstDeleter));
}

TEST_F(Destroy, RegistrationSurvivesEveryAllocationFailure) {
    double v = 1;
    for (long n = 1; n <= 8; ++n) {
        qallocFailAt(n);
        int r = SetConst(8, "c", &v);
        int s = SetFunction(5, "fn", reinterpret_cast<void *>(Seven), 0);
        qallocFailAt(0);
        EXPECT_TRUE(r == 0 || r == 2);
        EXPECT_TRUE(s == 0 || s == 2);
        EXPECT_EQ(Find("c", 8) != nullptr, r == 0);
        DeleteConstOrFunction(8, "c");
        DeleteConstOrFunction(5, "fn");
    }
}

}  // namespace
