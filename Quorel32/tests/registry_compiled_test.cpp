// The registry, modules and messages with formulas made by the compiler.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "Quorel32.h"
#include "base/formula.h"

using quorel::CompiledFormula;

namespace {

int lockCalls = 0;
void QUOREL_CALL LockF() {
    ++lockCalls;
}
void QUOREL_CALL LockG() {
    ++lockCalls;
}

class Compiled : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override {
        GetRunErr(nullptr, nullptr, nullptr, nullptr, nullptr);
        FreeQuorel();
    }

    // Compiles a real formula; returns its handle, or null with the code in *code.
    static void *Real(const char *text, int module, LockFn lock = nullptr, int *code = nullptr) {
        void *h = reinterpret_cast<void *>(lock);
        int nPara = 0, b = 0, e = 0;
        double *para = nullptr;
        int r = RealCom(text, module, &h, &nPara, &para, &b, &e);
        if (code) *code = r;
        return r == 0 ? h : nullptr;
    }
    static double Run(void *h, double x = 0) {
        double args[1] = {x};
        return RealCal(h, args);
    }
    static void *Find(const char *name, int type, void *caller, int callerType = 2,
                      int *module = nullptr) {
        CallerInfo info{static_cast<signed char>(callerType), caller};
        int m = 0, code = 0;
        void *h = nullptr, *para = nullptr;
        bool ok = GetFor(name, type, &info, &m, &h, &para, &code);
        if (module) *module = m;
        return ok ? h : nullptr;
    }
};

TEST_F(Compiled, GetForFollowsTheModuleRules) {
    void *pub = Real("f(x)=x", 1);
    void *priv = Real("f(x)=2*x", -2);
    ASSERT_TRUE(pub && priv);
    void *in2 = Real("1", 2);
    void *in3 = Real("1", 3);
    int module = 0;
    EXPECT_EQ(Find("f", 2, in2, 2, &module), priv);
    EXPECT_EQ(module, -2);
    EXPECT_EQ(Find("f", 2, in3, 2, &module), pub);
    EXPECT_EQ(module, 1);
    EXPECT_EQ(Find("f", 1, in3), nullptr);
    EXPECT_EQ(Find("f", -2, in3), pub);
    EXPECT_EQ(Find("f", -1, in3), nullptr);
    DeleteFor(2, pub);
    EXPECT_EQ(Find("f", 2, in3), nullptr);
    EXPECT_EQ(Find("f", 2, in2), priv);
}

TEST_F(Compiled, PrivateFormulaIsNotFoundFromOtherModules) {
    ASSERT_NE(Real("f(x)=x", -1), nullptr);
    ASSERT_NE(Real("f(x)=2*x", -2), nullptr);
    EXPECT_EQ(Find("f", 2, Real("1", 3)), nullptr);
}

// A host function that finds a formula by the name given as a string literal and
// calls it with its own argument.
double QUOREL_CALL CallByName(int m, double *x, CallerInfo *caller) {
    if (m != 1) return -1;
    char *strings = nullptr;
    int length = 0;
    GetForStr(caller, &strings, &length);
    int k = static_cast<int>(x[0]);
    if (k < 0 || k >= length) return -2;
    void *h = nullptr, *para = nullptr;
    int module = 0, paraCode = 0;
    if (!GetFor(strings + k, 2, caller, &module, &h, &para, &paraCode)) return -3;
    if (paraCode != 0) return -4;
    double args[1] = {x[1]};
    return RealCal(h, args);
}

TEST_F(Compiled, HostFunctionUsesItsCallerInfo) {
    ASSERT_EQ(SetFunction(5, "callByName", reinterpret_cast<void *>(CallByName), -2), 0);
    ASSERT_NE(Real("sq(x)=x*x", 4), nullptr);
    void *h = Real("callByName(\"sq\", 7)", 9);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Run(h), 49);
    void *missing = Real("callByName(\"nope\", 7)", 9);
    EXPECT_EQ(Run(missing), -3);
}

// Records what ExMsgWithQuorel says about the calling formula.
std::string callerName;
std::intptr_t callerModule = 0;
double QUOREL_CALL WhoCalls(int, double *, CallerInfo *caller) {
    int type = 0;
    void *handle = nullptr;
    const char *name = static_cast<const char *>(ExMsgWithQuorel(1, caller, &type, &handle));
    callerName = name ? name : "(null)";
    callerModule = reinterpret_cast<std::intptr_t>(ExMsgWithQuorel(3, caller, &type, &handle));
    static char fn[] = "whoCalls";  // the slot keeps the pointer, not the text
    SetRunErr(11, fn, 2, 0, caller);
    return type;
}

TEST_F(Compiled, MessagesAndErrorsFromInsideAHostFunction) {
    ASSERT_EQ(SetFunction(5, "whoCalls", reinterpret_cast<void *>(WhoCalls), -1), 0);
    void *h = Real("probe(x)=whoCalls()", -6);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Run(h), 2);
    EXPECT_EQ(callerName, "probe");
    EXPECT_EQ(callerModule, -6);
    int type, code, forType;
    char *fn;
    void *handle;
    GetRunErr(&type, &fn, &code, &forType, &handle);
    EXPECT_EQ(type, 11);
    EXPECT_STREQ(fn, "whoCalls");
    EXPECT_EQ(forType, 2);
    EXPECT_EQ(handle, h);
    int two = 2;
    EXPECT_STREQ(static_cast<char *>(ExMsgWithQuorel(2, h, &two, nullptr)), "probe");
}

TEST_F(Compiled, LockedModuleAcceptsOnlyItsLock) {
    EXPECT_TRUE(LockModule(5, LockF, true));
    int code = 0;
    EXPECT_EQ(Real("a(x)=x", 5, LockG, &code), nullptr);
    EXPECT_EQ(code, -2);
    void *a = Real("a(x)=x", 5, LockF);
    void *b = Real("b(x)=x", 5);
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(LockModule(5, LockF, false));
    DeleteFor(2, a);
    DeleteFor(2, b);
    EXPECT_EQ(Real("c(x)=x", 5, LockG, &code), nullptr);  // the lock outlived them
    EXPECT_TRUE(LockModule(5, LockF, false));
    EXPECT_NE(Real("c(x)=x", 5, LockG), nullptr);
    EXPECT_NE(Real("d(x)=x", 8, LockG), nullptr);         // no record yet
    EXPECT_EQ(Real("e(x)=x", 8, LockF, &code), nullptr);  // 8 has formulas, no lock
    EXPECT_EQ(code, -2);
}

TEST_F(Compiled, ModuleVariablesLiveAndDieWithTheirModule) {
    void *one = Real("h1( : : m) = m++", -1);
    void *twelve = Real("h1( : : m) = m++", -12);
    ASSERT_TRUE(one && twelve);
    Run(one);
    Run(twelve);
    Run(twelve);
    EXPECT_EQ(Run(twelve), 2);
    EXPECT_EQ(SearchKey("1m", 2, 11), nullptr);  // engine types are not for hosts
    DeleteFor(2, one);
    EXPECT_EQ(Run(twelve), 3);
    void *again = Real("h1( : : m) = m++", -1);  // module 1 starts afresh
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Run(again), 0);
}

TEST_F(Compiled, ModuleBuiltinAndQualifiedCalls) {
    void *name3 = Real("Module(\"Geo\", \"Base\")", 3);
    ASSERT_NE(name3, nullptr);
    EXPECT_EQ(Run(name3), 0);
    EXPECT_EQ(Run(Real("Module(\"Geo2\")", 3)), 2);
    EXPECT_EQ(Run(Real("Module(\"Geo\")", 4)), 5);
    EXPECT_EQ(Run(Real("Module(\"Base\")", 4)), 0);

    ASSERT_NE(Real("area(r)=r*r", -3), nullptr);
    ASSERT_NE(Real("vol(r)=r*r*r", -4), nullptr);
    int code = 0;
    EXPECT_EQ(Real("Geo::area(3)", 7, nullptr, &code), nullptr);  // not exported yet
    EXPECT_EQ(code, 25);
    EXPECT_EQ(Run(Real("OutFun(\"area\")", 3)), 0);
    EXPECT_EQ(Run(Real("OutFun(\"vol\")", 4)), 0);
    EXPECT_EQ(Run(Real("OutFun(\"area\", \"nothing\")", 3)), 2);
    void *call = Real("Geo::area(3)", 7, nullptr, &code);
    ASSERT_NE(call, nullptr) << code;
    EXPECT_EQ(Run(call), 9);
    void *viaImport = Real("Geo::vol(2)", 7, nullptr, &code);  // Base is imported by Geo
    ASSERT_NE(viaImport, nullptr) << code;
    EXPECT_EQ(Run(viaImport), 8);
    EXPECT_EQ(Real("Base::area(2)", 7, nullptr, &code), nullptr);
}

}  // namespace

namespace {

void *victim = nullptr;
double QUOREL_CALL DeleteVictim(int, double *, CallerInfo *) {
    DeleteFor(2, victim);
    return 1;
}

TEST_F(Compiled, DeleteForRefusesFormulasThatAreRunning) {
    ASSERT_EQ(SetFunction(5, "deleteVictim", reinterpret_cast<void *>(DeleteVictim), -1), 0);
    void *self = Real("self(x)=deleteVictim()+x", 1);
    ASSERT_NE(self, nullptr);
    victim = self;
    EXPECT_EQ(Run(self, 2), 3);
    EXPECT_TRUE(IsFor("self", 2, 1, self, static_cast<CompiledFormula *>(self)->values, 0));

    // The running formula calls the victim after the host function tried to delete it.
    void *callee = Real("callee(x)=10*x", 1);
    void *caller = Real("caller(x)=deleteVictim()+callee(x)", 1);
    ASSERT_TRUE(callee && caller);
    victim = callee;
    EXPECT_EQ(Run(caller, 2), 21);
    EXPECT_EQ(TestRunErr(), 0);

    // Nothing of it runs any more: the deletion goes through.
    double *values = static_cast<double *>(static_cast<CompiledFormula *>(callee)->values);
    DeleteFor(2, callee);
    EXPECT_FALSE(IsFor("callee", 2, 1, callee, values, 0));
    EXPECT_EQ(Run(caller, 2), 0);
    EXPECT_EQ(TestRunErr(), 4);
}

}  // namespace

namespace {

int hostDeletes = 0;
void QUOREL_CALL CountHostDelete(void *) {
    ++hostDeletes;
}
double QUOREL_CALL One(int, double *, CallerInfo *) {
    return 1;
}

TEST(EngineCycle, SecondInitStartsAfresh) {
    ASSERT_TRUE(InitQuorel());
    void *h = nullptr;
    int n, b, e;
    double *para;
    ASSERT_EQ(RealCom("f(x)=x", 1, &h, &n, &para, &b, &e), 0);
    double pi = 3.25;
    ASSERT_EQ(SetConst(8, "c", &pi), 0);
    ASSERT_EQ(SetFunction(5, "one", reinterpret_cast<void *>(One), -1), 0);
    hostDeletes = 0;
    ASSERT_EQ(InsertKey("k", 1, 256, &pi, CountHostDelete, nullptr), 0);
    ASSERT_TRUE(LockModule(3, LockF, true));

    ASSERT_TRUE(InitQuorel());
    EXPECT_EQ(hostDeletes, 1);
    EXPECT_EQ(SearchKey("k", 1, 256), nullptr);
    EXPECT_EQ(ExMsgWithQuorel(8, const_cast<char *>("c"), nullptr, nullptr), nullptr);
    h = nullptr;
    EXPECT_EQ(RealCom("g(x)=f(x)", 1, &h, &n, &para, &b, &e), 25);
    EXPECT_EQ(RealCom("g(x)=one()", 1, &h, &n, &para, &b, &e), 25);
    EXPECT_EQ(RealCom("f(x)=x", 3, &h, &n, &para, &b, &e), 0);  // no clash, no lock
    FreeQuorel();
}

}  // namespace
