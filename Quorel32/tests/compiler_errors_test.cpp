// Every compile error code with both offsets, in the domain where it arises.
#include "compiler_util.h"
#include "registry/functions.h"

namespace quorel::test {
namespace {

struct ErrCase {
    const char *text;
    int code, begin, end;
};

void ExpectErrors(Compiled (*compile)(const std::string &, int),
                  const std::vector<ErrCase> &cases) {
    int module = -1000;
    for (const ErrCase &e : cases) {
        Compiled r = compile(e.text, module--);
        EXPECT_EQ(r.code, e.code) << e.text;
        if (r.code == e.code) {
            EXPECT_EQ(r.begin, e.begin) << e.text;
            EXPECT_EQ(r.end, e.end) << e.text;
        }
    }
}

Compiled Real(const std::string &t, int m) {
    return RealC(t, m);
}
Compiled Int(const std::string &t, int m) {
    return IntC(t, m);
}
Compiled Cplx(const std::string &t, int m) {
    return ComplexC(t, m);
}

TEST_F(CompilerTest, LexicalErrors) {
    ExpectErrors(Real, {
                           {"", 3, 0, 0},         {"   ", 3, 0, 2},      {"f(x)=", 3, 4, 4},
                           {"f(x)=  ", 3, 4, 6},  {"a;b", 7, 1, 1},      {"1 # 2", 7, 2, 2},
                           {"1 % 2", 7, 2, 2},    {"x\x80", 7, 1, 1},    {"1e", 17, 0, 1},
                           {"1e+", 17, 0, 2},     {"2*1E-x", 17, 2, 4},  {"1e5.", 17, 0, 3},
                           {"1.2.3", 17, 0, 3},   {"3.5.f()", 17, 0, 3}, {"\"\\x4a\"", 5, 1, 3},
                           {"\"\\65\"", 5, 1, 3}, {"\"\\q\"", 5, 1, 2},  {"1+\"abc", 6, 2, 5},
                           {"\"ab\\\"", 6, 0, 4}, {"(a]", 2, 0, 2},      {"1)", 2, 1, 1},
                           {"((1)", 2, 0, 3},     {"f[x)=x", 2, 1, 3},
                       });
}

TEST_F(CompilerTest, HeaderErrors) {
    ExpectErrors(Real, {
                           {"f(x,,y)=x", 11, 4, 4},
                           {"f(,x)=x", 11, 2, 2},
                           {"f(x,)=x", 11, 3, 3},
                           {"f(x,:y)=x", 11, 3, 3},
                           {"f(x:y:z:w)=x", 10, 7, 7},
                           {"f(x::y:z)=x", 10, 6, 6},
                           {"f(x,x)=x", 35, 4, 4},
                           {"f(x:static,static)=x", 35, 11, 16},
                           {"f(static)=1", 28, 2, 7},
                           {"f(x:common)=1", 28, 4, 9},
                           {"f(x::static)=1", 28, 5, 10},
                           {"f(1)=1", 9, 2, 2},
                           {"f(x y)=1", 9, 4, 4},
                           {"f(x+y)=1", 9, 3, 3},
                           {"1(x)=1", 8, 0, 0},
                           {"f+(x)=1", 8, 0, 0},
                           {"A::f(x)=1", 8, 0, 3},
                       });
}

TEST_F(CompilerTest, ExpressionErrors) {
    ASSERT_EQ(
        RegisterFunction(
            5, "h1", reinterpret_cast<void *>(+[](int, double *, CallerInfo *) { return 0.0; }), 0),
        0);
    ExpectErrors(Real, {
                           {"-2^2", 30, 0, 2},
                           {"(x)=-x^2", 30, 4, 6},
                           {"(x)=-sqrt(x)^2", 30, 4, 12},
                           {"(a)=-(a)^2", 30, 4, 8},
                           {"2*-3", 23, 1, 2},
                           {"2 3", 23, 0, 2},
                           {"(x)=2x", 23, 4, 5},
                           {"2x", 24, 1, 1},
                           {"(x)=x(2)", 25, 4, 4},
                           {"2(3)", 23, 0, 1},
                           {"(2)3", 23, 2, 3},
                           {"(2)(3)", 23, 2, 3},
                           {"(*2)", 23, 0, 1},
                           {"(2*)", 23, 2, 3},
                           {"(1,)", 23, 2, 3},
                           {"(a,b)=a--b", 19, 7, 8},
                           {"(x)=x++*2", 19, 5, 6},
                           {"(x)=2*++x", 19, 6, 7},
                           {"(x)=++2", 19, 4, 5},
                           {"(x)=++x++", 19, 4, 5},
                           {"(x)=2*!x", 21, 6, 6},
                           {"(x)=(!)", 21, 5, 5},
                           {"1+", 21, 1, 1},
                           {"(1-)", 21, 2, 2},
                           {"()", 20, 0, 1},
                           {"(x)=x+()", 20, 6, 7},
                           {"(x,y)= y = x = 1", 22, 13, 13},
                           {"1=2", 22, 1, 1},
                           {"(x)=x=", 22, 5, 5},
                           {"(x)=(x)=1", 22, 7, 7},
                           {"sqrt(1,2)", 26, 0, 8},
                           {"sqrt()", 26, 0, 5},
                           {"h1(1,2)", 27, 0, 6},
                           {"h1()", 27, 0, 3},
                           {"nosuch(1)", 25, 0, 5},
                           {"nosuch", 24, 0, 5},
                           {"(x)=sqrt(&x+1)", 18, 9, 10},
                           {"x.5", 31, 0, 2},
                           {"x .5", 31, 0, 3},
                           {"a.f", 31, 0, 2},
                           {"(a,b)=a.b+sqrt(1)", 31, 6, 9},
                           {"1.f()", 25, 2, 2},
                           {"1 :: 2", 7, 2, 3},
                       });
}

TEST_F(CompilerTest, ControlFormErrors) {
    ExpectErrors(Real, {
                           {"while(1, break(1))", 14, 9, 16},
                           {"while(1, continue(1))", 12, 9, 19},
                           {"continue()", 13, 0, 9},
                           {"break()", 15, 0, 6},
                           {"if(1)", 16, 0, 4},
                           {"if()", 16, 0, 3},
                           {"while(1)", 16, 0, 7},
                           {"until(1)", 16, 0, 7},
                           {"which(1)", 16, 0, 7},
                           {"(x)=which(x)", 16, 4, 11},
                       });
}

TEST_F(CompilerTest, DomainSpecificErrors) {
    ExpectErrors(Int, {{"2^3", 7, 1, 1}, {"(x)=-x^2", 7, 6, 6}, {"f(x)=i", 24, 5, 5}});
    ExpectErrors(Cplx, {
                           {"f(i)=1", 4, 2, 2},
                           {"f(x:y:I)=1", 4, 6, 6},
                           {"7%2", 7, 1, 1},
                           {"-i^2", 30, 0, 2},
                           {"3ix", 24, 1, 2},
                           {"(ix)=3ix", 23, 5, 7},
                       });
}

TEST_F(CompilerTest, PendingRunErrorRefusesCompiles) {
    SetRunErr(3, nullptr, 0, 0, nullptr);
    Compiled r = RealC("1+2");
    EXPECT_EQ(r.code, 36);
    EXPECT_EQ(r.begin, 0);
    EXPECT_EQ(r.end, 0);
    EXPECT_EQ(IntC("1").code, 36);
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
    EXPECT_EQ(RealC("1+2").code, 0);
}

}  // namespace
}  // namespace quorel::test
