// The compile driver: growth and restart, the name-clash rule, the module lock, the
// unnamed lists, outputs, and failures (of the text or of memory) that leave
// nothing behind.
#include <cstdlib>
#include <cstring>

#include "base/alloc.h"
#include "base/engine.h"
#include "compiler_util.h"
#include "keys/keytree.h"
#include "registry/modules.h"

namespace quorel::test {
namespace {

void QUOREL_CALL LockA() {}
void QUOREL_CALL LockB() {}

// Everything of a compiled record except its own address.
struct Image {
    std::vector<std::uint8_t> code;
    std::vector<Operand> ints;
    std::vector<double> values;
    bool operator==(const Image &) const = default;
};

Image ImageOf(const CompiledFormula *f) {
    Image m;
    m.code.assign(f->code, f->code + f->ints[CodeLength]);
    m.ints.assign(f->ints, f->ints + f->ints[IntCount]);
    m.ints[Self] = 0;
    auto *v = static_cast<const double *>(f->values);
    m.values.assign(v, v + f->ints[ValueCount]);
    return m;
}

// Compiles with the initial buffers (forcing restarts) and again with the grown
// ones; both records must be the same.
void ExpectSameAfterRestarts(const std::string &text, double expected, std::vector<double> args) {
    FreeQuorel();
    ASSERT_TRUE(InitQuorel());
    Compiled first = RealC(text, -1);
    ASSERT_EQ(first.code, 0) << first.begin;
    Compiled second = RealC(text, -2);
    ASSERT_EQ(second.code, 0);
    EXPECT_EQ(ImageOf(first.f).code, ImageOf(second.f).code);
    Image a = ImageOf(first.f), b = ImageOf(second.f);
    a.ints[ModuleNo] = b.ints[ModuleNo] = 0;
    EXPECT_TRUE(a == b);
    std::vector<double> p = args;
    EXPECT_EQ(RealCal(first.f, p.empty() ? nullptr : p.data()), expected);
}

TEST_F(CompilerTest, LargeTextsCompileIdenticallyAfterRestarts) {
    std::string sum = "(x)=0";
    for (int i = 0; i < 3000; ++i) sum += i % 2 ? "+x" : "+1";
    ExpectSameAfterRestarts(sum, 1500 + 1500 * 2, {2});

    std::string nest = "(x)=" + std::string(400, '(') + "x+1" + std::string(400, ')');
    ExpectSameAfterRestarts(nest, 3, {2});

    std::string deep = "(x)=x";
    for (int i = 0; i < 300; ++i) deep = "(x)=x+(" + deep.substr(4) + ")";
    ExpectSameAfterRestarts(deep, 301 * 2, {2});

    std::string longName(5000, 'v');
    ExpectSameAfterRestarts("(" + longName + ")=" + longName + "*2", 8, {4});

    std::string longString = "\"" + std::string(20000, 'q') + "\\065\"";
    ExpectSameAfterRestarts(longString + "+1", 4, {});

    std::string params = "(p0", body = "p0";
    for (int i = 1; i < 600; ++i) {
        params += ",p" + std::to_string(i);
        body += "+p" + std::to_string(i);
    }
    ExpectSameAfterRestarts(params + ")=" + body, 600, std::vector<double>(600, 1));

    std::string loops = "(n:i)=i=0, ";
    for (int i = 0; i < 120; ++i) loops += "while(i<n, if(i>=0, ";
    loops += "i++, break()";
    for (int i = 0; i < 120; ++i) loops += "))";
    loops += ", i";
    ExpectSameAfterRestarts(loops, 5, {5});

    std::string minus;
    for (int i = 0; i < 20000; ++i) minus += "-(";
    ExpectSameAfterRestarts(minus + "1" + std::string(20000, ')'), 1, {});

    std::string number = std::string(3000, '1') + "e-2999";
    ExpectSameAfterRestarts(number, std::strtod(number.c_str(), nullptr), {});
}

TEST_F(CompilerTest, NameClashRule) {
    EXPECT_EQ(RealC("f(x)=x", 1).code, 0);
    EXPECT_EQ(RealC("f(x)=x", 1).code, 29);
    EXPECT_EQ(IntC("f(x)=x", 5).code, 29);  // any domain, any public module
    EXPECT_EQ(RealC("f(x)=x", -1).code, 29);
    EXPECT_EQ(RealC("f(x)=x", -2).code, 0);
    EXPECT_EQ(RealC("f(x)=x", 2).code, 29);

    EXPECT_EQ(RealC("g(x)=x", -1).code, 0);
    EXPECT_EQ(RealC("g(x)=x", -1).code, 29);
    EXPECT_EQ(RealC("g(x)=x", -2).code, 0);
    EXPECT_EQ(RealC("g(x)=x", 1).code, 29);
    Compiled r = RealC("h(x)=x", 1);
    EXPECT_EQ(ComplexC("h(x)=x", -2).code, 0);
    EXPECT_EQ(r.begin, -1);
    r = RealC("  h (x)=x", 3);
    EXPECT_EQ(r.code, 29);
    EXPECT_EQ(r.begin, 2);
    EXPECT_EQ(r.end, 2);
    // Formulas of one name live side by side, newest first.
    KeyEntry *e = KeySearch("f", 1, KeyRealFor);
    ASSERT_NE(e, nullptr);
    auto *newest = static_cast<CompiledFormula *>(e->value);
    EXPECT_EQ(newest->ints[ModuleNo], -2);
    ASSERT_NE(newest->next, nullptr);
    EXPECT_EQ(newest->next->ints[ModuleNo], 1);
    EXPECT_EQ(newest->next->prev, newest);
}

TEST_F(CompilerTest, ModuleLockAndCounts) {
    EXPECT_TRUE(LockModule(7, LockA, true));
    EXPECT_EQ(RealC("1", 7).code, 0);  // no lock presented: accepted
    EXPECT_EQ(RealC("2", 7, reinterpret_cast<void *>(LockA)).code, 0);
    Compiled r = RealC("3", 7, reinterpret_cast<void *>(LockB));
    EXPECT_EQ(r.code, -2);
    EXPECT_EQ(r.begin, 0);
    EXPECT_EQ(r.end, 0);
    EXPECT_EQ(FindModule(7)->count, 2);
    EXPECT_EQ(RealC("4", 8).code, 0);
    EXPECT_EQ(RealC("5", 8, reinterpret_cast<void *>(LockA)).code, -2);
    EXPECT_EQ(RealC("6", 9, reinterpret_cast<void *>(LockA)).code, 0);
}

TEST_F(CompilerTest, OutputsAndUnnamedLists) {
    void *h = nullptr;
    int nPara = 99, b = -1, e = -1;
    double *para = nullptr;
    ASSERT_EQ(RealCom("f(x,y)=x+y", 1, &h, &nPara, &para, &b, &e), 0);
    EXPECT_EQ(nPara, 1);
    EXPECT_EQ(para, static_cast<CompiledFormula *>(h)->values);
    EXPECT_EQ(b, -1);  // offsets untouched on success
    para[0] = 2;
    para[1] = 5;
    EXPECT_EQ(RealCal(h, para), 7);
    Compiled u1 = RealC("2+3"), u2 = RealC("2+3");
    EXPECT_EQ(u1.nPara, -1);
    EXPECT_EQ(g.unnamed[DomainReal - 1], u2.f);
    EXPECT_EQ(u2.f->next, u1.f);
    EXPECT_EQ(u1.f->prev, u2.f);
    Compiled c = ComplexC("1");
    EXPECT_EQ(g.unnamed[DomainComplex - 1], c.f);
    EXPECT_EQ(c.f->code[NameOffset], 0);
    // Without build buffers (after FreeQuorel) the driver grows them from nothing.
    FreeQuorel();
    Compiled fresh = RealC("f(x)=x*2+1");
    ASSERT_EQ(fresh.code, 0);
    double x = 4;
    EXPECT_EQ(RealCal(fresh.f, &x), 9);
    // Null output pointers are tolerated.
    EXPECT_EQ(RealCom("1", 1, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(RealCom(nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr), 3);
}

// The state a failed compile must not change.
struct Trace {
    Operand calleeReferrers;
    int moduleCount;
    bool named;
    CompiledFormula *unnamed;
};

Trace TraceOf(CompiledFormula *callee, int module, const char *name) {
    ModuleRecord *m = FindModule(module);
    return {callee->ints[Referrers], m ? m->count : -1,
            KeySearch(name, KeyLen(name), KeyRealFor) != nullptr, g.unnamed[DomainReal - 1]};
}

TEST_F(CompilerTest, FailedCompilesLeaveNothingBehind) {
    Compiled callee = RealC("callee(x)=x", 1);
    ASSERT_EQ(callee.code, 0);
    Trace before = TraceOf(callee.f, 4, "caller");
    for (const char *text : {"caller(x)=callee(x)+nosuch", "caller(x)=callee(x)+(", "callee(2)+",
                             "caller(x)=callee(x,1)"}) {
        EXPECT_NE(RealC(text, 4).code, 0) << text;
        Trace after = TraceOf(callee.f, 4, "caller");
        EXPECT_EQ(after.calleeReferrers, before.calleeReferrers) << text;
        EXPECT_EQ(after.moduleCount, before.moduleCount) << text;
        EXPECT_EQ(after.named, before.named) << text;
        EXPECT_EQ(after.unnamed, before.unnamed) << text;
    }
}

TEST_F(CompilerTest, OutOfMemoryAtEveryAllocation) {
    struct Disarm {
        ~Disarm() { qallocFailAt(0); }
    } disarm;
    const std::string text = "caller(x : : m, common, t)=callee(x)+callee(m)+t+\"" +
                             std::string(100, 's') + "\"+" + std::string(40, '(') + "1" +
                             std::string(40, ')');
    long needed = 0;
    for (long n = 1;; ++n) {
        FreeQuorel();
        ASSERT_TRUE(InitQuorel());
        Compiled callee = RealC("callee(x)=x", 1);
        ASSERT_EQ(callee.code, 0);
        qallocFailAt(n);
        Compiled r = RealC(text, 4);
        bool failed = qallocCount() >= n;
        qallocFailAt(0);
        if (!failed) {
            EXPECT_EQ(r.code, 0);
            needed = n;
            break;
        }
        if (r.code == 0) continue;  // a cell made earlier or a grown buffer was enough
        EXPECT_EQ(r.code, 1) << n;
        EXPECT_EQ(callee.f->ints[Referrers], 0) << n;
        EXPECT_EQ(KeySearch("caller", 6, KeyRealFor), nullptr) << n;
        ModuleRecord *m = FindModule(4);
        EXPECT_TRUE(!m || m->count == 0) << n;
        // The engine stays usable.
        EXPECT_EQ(RealC("1+1", 5).code, 0) << n;
    }
    EXPECT_GT(needed, 10);
}

// Every compiled formula is counted in its module. One that compiled without its
// module's record would, once deleted, count down the record a later formula made and
// take that formula's module variable with it.
TEST_F(CompilerTest, AFormulaIsCountedInItsModuleOrNotCompiled) {
    struct Disarm {
        ~Disarm() { qallocFailAt(0); }
    } disarm;
    for (long n = 1;; ++n) {
        FreeQuorel();
        ASSERT_TRUE(InitQuorel());
        ASSERT_EQ(RealC("warm(x : : mv) = mv", 6).code, 0);  // grows the build buffers
        qallocFailAt(n);
        Compiled a = RealC("a(x : : mv) = mv = mv + x, mv", 5);
        bool failed = qallocCount() >= n;
        qallocFailAt(0);
        if (a.code == 0) {
            ModuleRecord *m = FindModule(5);
            ASSERT_NE(m, nullptr) << n;
            EXPECT_EQ(m->count, 1) << n;
        } else {
            EXPECT_EQ(a.code, 1) << n;
            EXPECT_EQ(FindModule(5), nullptr) << n;
        }
        Compiled b = RealC("b(x : : mv) = mv = mv + x, mv", 5);
        ASSERT_EQ(b.code, 0) << n;
        if (a.code == 0) DeleteFor(2, a.f);
        double x = 1;
        RealCal(b.f, &x);
        EXPECT_EQ(RealCal(b.f, &x), 2) << n;  // the cell is still b's
        if (!failed) break;
    }
}

// A record given up for lack of memory never ran: its `free` hook does not run either.
// (It would run half-linked: a callee the hook's host function deleted, unprotected
// by a link, would then be called after it had gone.)
CompiledFormula *hookCallee = nullptr;
int hookRuns = 0;
double QUOREL_CALL DeleteCallee(int, double *, CallerInfo *) {
    ++hookRuns;
    DeleteFor(2, hookCallee);
    return 0;
}

TEST_F(CompilerTest, AFormulaGivenUpForMemoryDoesNotRunItsFreeHook) {
    struct Disarm {
        ~Disarm() { qallocFailAt(0); }
    } disarm;
    int failures = 0;
    for (long n = 1;; ++n) {
        FreeQuorel();
        ASSERT_TRUE(InitQuorel());
        ASSERT_EQ(SetFunction(5, "del", reinterpret_cast<void *>(DeleteCallee), -1), 0);
        hookCallee = RealC("hc(x) = x * 2", 1).f;
        ASSERT_NE(hookCallee, nullptr);
        hookRuns = 0;
        qallocFailAt(n);
        Compiled r = RealC("(x : static, free) = if(free, del(), hc(1)), x", 2);
        bool failed = qallocCount() >= n;
        qallocFailAt(0);
        if (!failed) {
            ASSERT_EQ(r.code, 0);
            break;
        }
        failures += r.code != 0;
        EXPECT_EQ(hookRuns, 0) << n;
    }
    EXPECT_GT(failures, 3);
    FreeQuorel();
}

}  // namespace
}  // namespace quorel::test
