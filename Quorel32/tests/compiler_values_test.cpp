// Compiled formulas evaluated end to end: the statement forms, the control forms
// and the integer and complex variants.
#include <cmath>

#include "compiler_util.h"

namespace quorel::test {
namespace {

double RealValue(const std::string &text, std::vector<double> args = {}) {
    Compiled r = RealC(text, -77);
    EXPECT_EQ(r.code, 0) << text << " at " << r.begin << ".." << r.end;
    if (r.code) return NAN;
    double value = RealCal(r.f, args.empty() ? nullptr : args.data());
    DeleteFor(2, r.f);
    return value;
}

int IntValue(const std::string &text) {
    Compiled r = IntC(text, -77);
    EXPECT_EQ(r.code, 0) << text << " at " << r.begin << ".." << r.end;
    return r.code ? -12345 : IntCal(r.f, nullptr);
}

QuorelComplex ComplexValue(const std::string &text) {
    Compiled r = ComplexC(text, -77);
    EXPECT_EQ(r.code, 0) << text << " at " << r.begin << ".." << r.end;
    QuorelComplex out{NAN, NAN};
    if (r.code == 0) ComplexCal(&out, r.f, nullptr);
    return out;
}

TEST_F(CompilerTest, ExpressionValues) {
    EXPECT_EQ(RealValue("1+2"), 3);
    EXPECT_EQ(RealValue("(-2)^2"), 4);
    EXPECT_EQ(RealValue("-(2^2)"), -4);
    EXPECT_EQ(RealValue("2*(-3)"), -6);
    EXPECT_EQ(RealValue("f(x)= x=-3", {0}), -3);
    EXPECT_EQ(RealValue("2^3^2"), 64);
    EXPECT_EQ(RealValue("10-4-3"), 3);
    EXPECT_EQ(RealValue("1<2 & 3>=3 | 0"), 1);
    EXPECT_EQ(RealValue("(x,y)=x-y*2^(-1)", {7, 2}), 6);
    EXPECT_EQ(RealValue("(x)=-x*2+(!x)", {3}), -6);
    EXPECT_EQ(RealValue(".+1"), 1);
    EXPECT_EQ(RealValue("(x)=x=1: x+1", {0}), 2);
    EXPECT_EQ(RealValue("1.5E+1+.5+3e-1"), 15.8);
}

TEST_F(CompilerTest, StatementAndLoopValues) {
    const char *sum = "f(n : s, i) = s = 0, i = 1, while(i <= n, s = s + i, i++), s";
    EXPECT_EQ(RealValue(sum, {4}), 10);
    EXPECT_EQ(RealValue("while(1, break())"), 0);
    EXPECT_EQ(RealValue("(x)=x + while(1, break())", {7}), 7);
    EXPECT_EQ(RealValue("(x:i)=i=0, until(i++, if(i>5, break()), 0), i", {0}), 6);
    EXPECT_EQ(RealValue("(n:i,s)=i=0,s=0,while(i<n, i++, if(i==2, continue()), s=s+i), s", {4}), 8);
    EXPECT_EQ(RealValue("(n:i,s)=i=0,s=0,until(i++, if(i==2, continue()), s=s+i, i>=n), s", {4}),
              8);
    EXPECT_EQ(RealValue("which(0, 1, 0, 2, 3)"), 3);
    EXPECT_EQ(RealValue("which(0, 1, 1, 2, 3)"), 2);
    EXPECT_EQ(RealValue("(x)=5 + which(x<0, -1, x>0, 1, 0)", {-4}), 4);
    EXPECT_EQ(RealValue("(x)=5 + which(x<0, -1, x>0, 1, 0)", {0}), 5);
    EXPECT_EQ(RealValue("if(1, 2)"), 0);
    EXPECT_EQ(RealValue("(x)=if(x, x=7), x", {1}), 7);
    EXPECT_EQ(RealValue("(x)=if(x, x=7), x", {0}), 0);
    EXPECT_EQ(RealValue("return(3), 4"), 3);
    // A break inside a form inside the loop: the form's records stay on top.
    EXPECT_EQ(RealValue("while(1, which(1, break(), 2))"), 0);
    EXPECT_EQ(RealValue("(x:i)=i=0, while(1, i++, which(i>3, if(1, break()), 0)), i", {0}), 4);
    EXPECT_EQ(RealValue("(x:i)=i=0, 10*until(i++, which(i>2, break(), 0), 0) + i", {0}), 3);
    EXPECT_EQ(RealValue("(n:i,j,s)=s=0,i=0,while(i<n, i++, j=0, while(1, j++, if(j>=i, break()), "
                        "s=s+1)), s",
                        {4}),
              6);
}

TEST_F(CompilerTest, WhichWithoutDefaultFailsAtRunTime) {
    Compiled r = RealC("which(0, 1, 0, 2)", -5);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(RealCal(r.f, nullptr), 0);
    EXPECT_NE(TestRunErr(), 0);
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
}

TEST_F(CompilerTest, StaticVariablesCountAcrossEvaluations) {
    Compiled g = RealC("g( : static, n) = n++", 1);
    ASSERT_EQ(g.code, 0);
    EXPECT_EQ(RealCal(g.f, nullptr), 0);
    EXPECT_EQ(RealCal(g.f, nullptr), 1);
    EXPECT_EQ(RealCal(g.f, nullptr), 2);
    Compiled u = RealC("u( : static, i, runs) = until(i++, runs++, i >= 3), runs", 1);
    ASSERT_EQ(u.code, 0);
    EXPECT_EQ(RealCal(u.f, nullptr), 3);
}

TEST_F(CompilerTest, RecursionThroughSelfCalls) {
    ASSERT_EQ(RealC("fact(n)=if(n>1, return(n*fact(n-1))), 1").code, 0);
    RealValue("SetRealStackMax(1000)");
    EXPECT_EQ(RealValue("fact(5)"), 120);
}

TEST_F(CompilerTest, BuiltinCallersDependOnTheirFunction) {
    Compiled r = RealC("(x)=max(x, 1, 2) + max(3, x)", 1);
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(Deps(r.f).size(), 1u);
    double x = 5;
    EXPECT_EQ(RealCal(r.f, &x), 10);
    DeleteConstOrFunction(5, "max");
    EXPECT_EQ(r.f->ints[CodeStart], -5);
    EXPECT_EQ(RealCal(r.f, &x), 0);
    EXPECT_EQ(TestRunErr(), 5);
}

TEST_F(CompilerTest, IntegerVariant) {
    Compiled r = IntC("7%3");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(Code(r.f), (std::vector<int>{OpPushConst, OpEnd}));
    EXPECT_EQ(ValueAt<int>(r.f, 0), 1);
    EXPECT_EQ(IntValue("2.9+0.9"), 2);
    EXPECT_EQ(IntValue("7/2"), 3);
    EXPECT_EQ(IntValue("1e3"), 1000);
    EXPECT_EQ(IntValue("-7%3"), -1);
    EXPECT_EQ(IntValue("!5"), 0);
    EXPECT_EQ(IntValue("-(0-2147483647-1)"), INT32_MIN);  // wraps, never traps
    EXPECT_EQ(IntValue("99999999999"), INT32_MAX);
    EXPECT_EQ(IntValue("abs(-3)+sqrt(16)"), 7);
    Compiled d = IntC("(x)=7/x, 7%x, (0-2147483647-1)/(-1)");
    ASSERT_EQ(d.code, 0);  // division by zero folds and runs without trapping
}

TEST_F(CompilerTest, ComplexVariant) {
    QuorelComplex v = ComplexValue("(1+2i)*(3-i)");
    EXPECT_EQ(v.re, 5);
    EXPECT_EQ(v.im, 5);
    Compiled r = ComplexC("(1+2i)*(3-i)");
    EXPECT_EQ(Code(r.f), (std::vector<int>{OpPushConst, OpEnd}));
    v = ComplexValue("2+3 I");
    EXPECT_EQ(v.re, 2);
    EXPECT_EQ(v.im, 3);
    v = ComplexValue("2.5I*I");
    EXPECT_EQ(v.re, -2.5);
    v = ComplexValue("-(3+4i)");
    EXPECT_EQ(v.re, -3);
    EXPECT_EQ(v.im, -4);
    v = ComplexValue("!(2i)");  // the real part is tested, the imaginary part stays
    EXPECT_EQ(v.re, 1);
    EXPECT_EQ(v.im, 2);
    Compiled f = ComplexC("f(x)=x*i");
    ASSERT_EQ(f.code, 0);
    QuorelComplex x{2, 0}, out;
    ComplexCal(&out, f.f, &x);
    EXPECT_EQ(out.im, 2);
}

}  // namespace
}  // namespace quorel::test
