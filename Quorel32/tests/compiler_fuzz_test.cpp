// Mutated formula texts, arbitrary bytes included, fed to the three compile exports
// with a fixed seed: every result is a documented code with offsets inside the text,
// and successful records are evaluated once. Meant for the sanitizer build.
#include <random>

#include "compiler_util.h"

namespace quorel::test {
namespace {

const char *const kSeeds[] = {
    "f(x,y)=x*y+1",
    "g(n : i, s, static, count : m, common, total) = count++, s = 0, i = 1, "
    "while(i <= n, s = s + i, i++), s",
    "(x)=which(x<0, -1, x>0, 1, 0) + if(x, x=2) + until(x++, x>3)",
    "(a,b)=a.f(b).g(\"s\\x41\\065\").h()",
    "-(2^2)+[3]*{4}-sqrt(&a)+1e-3+.5+3i+2.5I",
    "(x : : m)=x++, --m, !x, x>=1 & m<=2 | x!=m, x==m, 7%2",
    "while(1, if(1, break()), continue())",
    "f(x)=f(x-1), Mod::f(1), A :: B :: c[2]",
    "1+2*3-4/5",
    "(x)=x^2-3*x+sqrt(4)-sin(x)*cos(2)",
    "(x,y)=x>y | x==y & (!x), (x+y).g(2), f(x)",
    "(x : a, b)=a=x*2, b=a+1, a*b",
    "(z : : m)=m=z, m+1, (m++)",
};

const char kAlphabet[] = "()[]{}+-*/^%<>=!&|,.:\"\\ xiI019e_abfnwq;#\x80\xff";

std::string Mutate(std::mt19937 &rng, std::string s) {
    int edits = 1 + rng() % 4;
    for (int k = 0; k < edits; ++k) {
        std::size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
        switch (rng() % 5) {
            case 0:
                if (!s.empty() && at < s.size()) s.erase(at, 1 + rng() % 3);
                break;
            case 1:
                s.insert(at, 1, kAlphabet[rng() % (sizeof(kAlphabet) - 1)]);
                break;
            case 2:
                s.insert(at, 1, static_cast<char>(1 + rng() % 255));
                break;
            case 3:
                if (at < s.size()) s[at] = kAlphabet[rng() % (sizeof(kAlphabet) - 1)];
                break;
            default: {
                std::size_t from = s.empty() ? 0 : rng() % s.size();
                s.insert(at, s.substr(from, rng() % 12));
            }
        }
    }
    return s;
}

void CheckResult(const Compiled &r, const std::string &text, int domain) {
    ASSERT_TRUE(r.code == 0 || r.code == -2 || (r.code >= 2 && r.code <= 36)) << text;
    if (r.code > 0) {
        int last = text.empty() ? 0 : static_cast<int>(text.size()) - 1;
        EXPECT_GE(r.begin, 0) << text;
        EXPECT_LE(r.begin, r.end) << text;
        EXPECT_LE(r.end, last) << text;
        if (r.code == 4) {
            EXPECT_EQ(domain, DomainComplex);
        }
        if (r.code == 36) {
            int t, c, ft;
            char *n;
            void *h;
            GetRunErr(&t, &n, &c, &ft, &h);
        }
    }
}

TEST_F(CompilerTest, RandomizedTextsNeverBreakTheCompiler) {
    std::mt19937 rng(20261208);
    int compiled = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text = Mutate(rng, kSeeds[rng() % std::size(kSeeds)]);
        int module = static_cast<int>(rng() % 7) - 3;
        // Loops may legitimately never end, so only loop-free records are run.
        bool runnable =
            text.find("while") == std::string::npos && text.find("until") == std::string::npos;
        Compiled r = RealC(text, module);
        CheckResult(r, text, DomainReal);
        if (r.code == 0) ++compiled;
        if (r.code == 0 && runnable) {
            std::vector<double> args(r.nPara + 1, 1.0);
            RealCal(r.f, args.empty() ? nullptr : args.data());
            DeleteFor(DomainReal, r.f);
        }
        r = IntC(text, module);
        CheckResult(r, text, DomainInt);
        if (r.code == 0 && runnable) {
            std::vector<int> args(r.nPara + 1, 1);
            IntCal(r.f, args.empty() ? nullptr : args.data());
        }
        r = ComplexC(text, module);
        CheckResult(r, text, DomainComplex);
        if (TestRunErr()) {
            int t, c, ft;
            char *n;
            void *h;
            GetRunErr(&t, &n, &c, &ft, &h);
        }
        if (round % 2000 == 1999) {  // keep the key tree small
            FreeQuorel();
            ASSERT_TRUE(InitQuorel());
            ASSERT_EQ(RealC("f(x)=x+1", 1).code, 0);
            ASSERT_EQ(RealC("g(x,y)=x-y", 1).code, 0);
        }
    }
    EXPECT_GT(compiled, 400);
}

}  // namespace
}  // namespace quorel::test
