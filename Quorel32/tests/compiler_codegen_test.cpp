// What the compiler emits: instruction shapes, folding, constants, calls with their
// dependency entries and copy-back entries, variables and cells.
#include "compiler_util.h"
#include "keys/keytree.h"
#include "registry/functions.h"

namespace quorel::test {
namespace {

using V = std::vector<int>;
using O = std::vector<Operand>;

void *Find(const char *key, int type) {
    KeyEntry *e = KeySearch(key, KeyLen(key), type);
    return e ? e->value : nullptr;
}

double QUOREL_CALL HostTwice(int, double *x, CallerInfo *) {
    return 2 * x[0];
}

TEST_F(CompilerTest, FoldsConstantsThroughTheEvaluator) {
    Compiled r = RealC("2*3+4");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(Code(r.f), (V{OpPushConst, OpEnd}));
    EXPECT_EQ(RealConst(r.f, 0), 10);
    EXPECT_EQ(r.nPara, -1);

    r = RealC("(x)=x*(2+3)");
    EXPECT_EQ(Code(r.f), (V{OpPushVar, OpPushConst, OpMul, OpEnd}));
    EXPECT_EQ(Operands(r.f), (O{0}));
    EXPECT_EQ(RealConst(r.f, 0), 5);

    r = RealC("(x)=-(x^2)");
    EXPECT_EQ(Code(r.f), (V{OpPushVar, OpPushConst, OpPow, OpNeg, OpEnd}));
    r = RealC("sin(0)+sqrt(4)*(-3)");
    EXPECT_EQ(Code(r.f), (V{OpPushConst, OpEnd}));
    EXPECT_EQ(RealConst(r.f, 0), -6);
    r = RealC("!0 + (!(2>1)) + [1+2]*{3}");
    EXPECT_EQ(RealConst(r.f, 0), 10);
    // Constants are consumed in order; folded-away slots stay in the pool.
    r = RealC("(x)=1+x+(2+3)*x");
    EXPECT_EQ(Code(r.f),
              (V{OpPushConst, OpPushVar, OpAdd, OpPushConst, OpPushVar, OpMul, OpAdd, OpEnd}));
    EXPECT_EQ(RealConst(r.f, 0), 1);
    EXPECT_EQ(RealConst(r.f, 1), 5);
    EXPECT_EQ(r.f->ints[StackBase], 1 + 3);
}

TEST_F(CompilerTest, ReturnAndCommaLists) {
    Compiled r = RealC("return(3), 4");
    EXPECT_EQ(Code(r.f), (V{OpPushConst, OpEnd, OpPushConst, OpCommaList, OpEnd}));
    EXPECT_EQ(Operands(r.f), (O{1}));
    EXPECT_EQ(RealCal(r.f, nullptr), 3);
    r = RealC("f(x)= x=1, x+1");
    EXPECT_EQ(Code(r.f),
              (V{OpPushConst, OpStoreVar, OpPushVar, OpPushConst, OpAdd, OpCommaList, OpEnd}));
    EXPECT_EQ(r.f->code[FlagsByte] & FlagParamModified, FlagParamModified);
    double p = 5;
    EXPECT_EQ(RealCal(r.f, &p), 2);
    r = RealC("(a:b)=b=a, b*2, b++");
    EXPECT_FALSE(ParaModify(DomainReal, r.f));
    // Increments write into the parameter array too.
    EXPECT_TRUE(ParaModify(DomainReal, RealC("(a)=(a++) + 0, 1").f));
    EXPECT_TRUE(ParaModify(DomainReal, RealC("(a)=--a").f));
}

TEST_F(CompilerTest, IncrementsReplaceThePush) {
    Compiled r = RealC("(x)=++x, --x, (x++), (x--)");
    EXPECT_EQ(Code(r.f), (V{OpIncVar, OpDecVar, OpVarInc, OpVarDec, OpCommaList, OpEnd}));
    r = RealC("(::m)=++m+1, (m--)", 7);
    EXPECT_EQ(Code(r.f), (V{OpIncCommon, OpPushConst, OpAdd, OpCommonDec, OpCommaList, OpEnd}));
}

TEST_F(CompilerTest, StringsLiveBetweenNameAndCode) {
    Compiled r = RealC("\"a\\x41\"");
    ASSERT_EQ(r.code, 0);
    EXPECT_STREQ(reinterpret_cast<char *>(r.f->code + 3), "aA");
    EXPECT_EQ(RealConst(r.f, 0), 3);
    EXPECT_EQ(r.f->ints[CodeStart], 6);
    r = RealC("fs(x)=\"\\065\\\\\\\"\", \"\xb0\xa1\"");
    EXPECT_STREQ(reinterpret_cast<char *>(r.f->code + 2), "fs");
    EXPECT_STREQ(reinterpret_cast<char *>(r.f->code + 5), "A\\\"");
    EXPECT_EQ(RealConst(r.f, 0), 5);
    EXPECT_EQ(RealConst(r.f, 1), 9);
    EXPECT_STREQ(reinterpret_cast<char *>(r.f->code + 9), "\xb0\xa1");
}

TEST_F(CompilerTest, CallsRecordEachCalleeOnce) {
    Compiled f = RealC("f(x)=x+1");
    ASSERT_EQ(f.code, 0);
    ASSERT_EQ(RegisterFunction(KeyRealFun, "tw", reinterpret_cast<void *>(HostTwice), 0), 0);
    Compiled r = RealC("(x)=f(x)+f(1)*tw(x)+tw(2)");
    ASSERT_EQ(r.code, 0);
    std::vector<Operand> deps = Deps(r.f);
    ASSERT_EQ(deps.size(), 2u);
    EXPECT_EQ(deps[0], reinterpret_cast<Operand>(&f.f->ints[Referrers]));
    auto *node = static_cast<FunctionNode *>(Find("tw", KeyRealFun));
    EXPECT_EQ(deps[1], reinterpret_cast<Operand>(&node->referrers));
    double x = 3;
    EXPECT_EQ(RealCal(r.f, &x), 4 + 2 * 6 + 4);
    // Self calls add no entry.
    r = RealC("fact(n)=if(n>1, return(n*fact(n-1))), 1", 3);
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(Deps(r.f).empty());
    EXPECT_EQ(Operands(r.f)[0], 0);
}

TEST_F(CompilerTest, DotCallsAreOrdinaryCalls) {
    ASSERT_EQ(RealC("f(x,y)=x*10+y").code, 0);
    ASSERT_EQ(RealC("g(x)=x+1").code, 0);
    Compiled a = RealC("(a,b)=a.f(b)"), b = RealC("(a,b)=f(a,b)");
    EXPECT_EQ(Code(a.f), Code(b.f));
    EXPECT_EQ(Operands(a.f), Operands(b.f));
    a = RealC("(a)=a.g()");
    b = RealC("(a)=g(a)");
    EXPECT_EQ(Code(a.f), Code(b.f));
    double p[2] = {1, 2};
    EXPECT_EQ(RealCal(RealC("(a,b)=a.b.f()").f, p), 12);
    EXPECT_EQ(RealCal(RealC("(a,b)=a.f(b).g()").f, p), 13);
    EXPECT_EQ(RealCal(RealC("(a,b)=(a+1).f(b).f(3)").f, p), 223);
    EXPECT_EQ(RealCal(RealC("(a,b)=g(a).f(b)").f, p), 22);
    // A bracketed leading argument may hold dot calls of its own.
    a = RealC("(a,b)=a.(b.g()).f()");
    b = RealC("(a,b)=f(a,(g(b)))");
    ASSERT_EQ(a.code, 0);
    EXPECT_EQ(Code(a.f), Code(b.f));
    EXPECT_EQ(RealCal(RealC("(a,b)=(a.g()).(b.g().g()).f().g()").f, p), 2 * 10 + 4 + 1);
}

TEST_F(CompilerTest, ByReferenceArgumentsGetCopyBackEntries) {
    ASSERT_EQ(RealC("inc(v)=v=v+1").code, 0);
    Compiled r = RealC("(x : : m)=inc(&x), inc(&m), x*100+m", 4);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.f->code[FlagsByte] & FlagParamModified, FlagParamModified);
    V code = Code(r.f);
    V expect{OpPushVar,    OpCallRealFor, CopyBackVar,  CopyBackEnd,
             OpPushCommon, OpCallRealFor, CopyBackCell, CopyBackEnd};
    EXPECT_EQ(V(code.begin(), code.begin() + 8), expect);
    O ops = Operands(r.f);
    EXPECT_EQ(ops[0], 0);
    EXPECT_EQ(ops[3], 0);  // argument index
    EXPECT_EQ(ops[4], 0);  // variable x
    double x = 5;
    EXPECT_EQ(RealCal(r.f, &x), 601);
    // `&` in a plain bracket has no effect; after an operand it is logical and.
    EXPECT_EQ(RealCal(RealC("(x)=(&x, x&1)").f, &x), 1);
}

TEST_F(CompilerTest, CallsResolveByModule) {
    Compiled own = RealC("g(x)=2", -2), pub = RealC("g(x)=3", 3);
    ASSERT_EQ(own.code + pub.code, 0);
    EXPECT_EQ(Operands(RealC("g(1)", 2).f)[0], reinterpret_cast<Operand>(own.f));
    EXPECT_EQ(Operands(RealC("g(1)", -5).f)[0], reinterpret_cast<Operand>(pub.f));
    // A callee must exist before its caller; only a formula's own name is known early.
    EXPECT_EQ(RealC("a1(x)=a2(x)", 1).code, 25);
}

TEST_F(CompilerTest, ArgumentCountsPerCalleeDomain) {
    ASSERT_EQ(IntC("fi(a,b)=a+b").code, 0);
    ASSERT_EQ(RealC("fr(a)=a").code, 0);
    ASSERT_EQ(ComplexC("fc(z)=z*2").code, 0);
    EXPECT_EQ(RealC("fi(1)").code, 32);
    EXPECT_EQ(RealC("fr(1,2)").code, 33);
    EXPECT_EQ(RealC("fc(1)").code, 34);
    Compiled r = RealC("fc(1,2)");  // re, im of the one complex parameter
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(RealCal(r.f, nullptr), 2);
    EXPECT_EQ(ComplexC("fc(1,2)").code, 34);
    Compiled c = ComplexC("fr(1+2i)+fi(3,4)");
    ASSERT_EQ(c.code, 0);
    QuorelComplex out;
    ComplexCal(&out, c.f, nullptr);
    EXPECT_EQ(out.re, 8);
    EXPECT_EQ(ComplexC("fi(3)").code, 32);
    EXPECT_EQ(IntC("fr(1,2)").code, 33);
}

TEST_F(CompilerTest, ModuleAndCommonCells) {
    Compiled h1 = RealC("h1( : : m) = m++", 1), h2 = RealC("h2( : : m) = m++", 1);
    Compiled h3 = RealC("h3( : : m) = m++", 2);
    ASSERT_EQ(h1.code + h2.code + h3.code, 0);
    EXPECT_EQ(Operands(h1.f)[0], Operands(h2.f)[0]);
    EXPECT_NE(Operands(h1.f)[0], Operands(h3.f)[0]);
    EXPECT_EQ(RealCal(h1.f, nullptr), 0);
    EXPECT_EQ(RealCal(h2.f, nullptr), 1);
    EXPECT_EQ(RealCal(h3.f, nullptr), 0);
    EXPECT_NE(Find("1m", KeyRealModuleVar), nullptr);
    Compiled t1 = RealC("t1( : : common, t) = t = t + 1", 5);
    Compiled t2 = RealC("t2( : : common, t) = t = t + 10", -6);
    RealCal(t1.f, nullptr);
    EXPECT_EQ(RealCal(t2.f, nullptr), 11);
    // A section-2 name that the body never uses gets no cell; domains keep their own.
    ASSERT_EQ(RealC("( : : unused) = 1", 1).code, 0);
    EXPECT_EQ(Find("1unused", KeyRealModuleVar), nullptr);
    Compiled i1 = IntC("( : : m) = m + 1", 1);
    EXPECT_EQ(IntCal(i1.f, nullptr), 1);
}

TEST_F(CompilerTest, HeaderSlots) {
    Compiled r = RealC("g(n : i, s, static, count, free : m, common, total) = count++", 3);
    ASSERT_EQ(r.code, 0);
    const Operand *h = r.f->ints;
    EXPECT_EQ(h[ParamLast], 0);
    EXPECT_EQ(h[VarCount], 6);
    EXPECT_EQ(h[StaticFirst], 3);
    EXPECT_EQ(h[FreeVar], 5);
    EXPECT_EQ(h[ModuleNo], 3);
    EXPECT_EQ(h[Self], reinterpret_cast<Operand>(r.f));
    EXPECT_EQ(h[CodeLength], static_cast<Operand>(4 + 2));
    EXPECT_EQ(h[ValueCount], h[StackBase] + 1);
    r = RealC("(a, b : c) = a", -3);
    EXPECT_EQ(r.nPara, 1);
    EXPECT_EQ(r.f->ints[StaticFirst], 3);
    EXPECT_EQ(r.f->ints[FreeVar], 0);
}

}  // namespace
}  // namespace quorel::test
