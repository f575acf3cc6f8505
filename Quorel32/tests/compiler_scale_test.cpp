// Long dot chains and long headers: results as for short ones, and compile time that
// grows with the text, not with its square (each case here would take many seconds
// otherwise, so the test's own run time is the check).
#include <cstring>
#include <string>
#include <vector>

#include "base/alloc.h"
#include "base/engine.h"
#include "compiler/build_buffers.h"
#include "compiler_util.h"

namespace quorel::test {
namespace {

constexpr int kCalls = 20000;
constexpr int kParams = 50000;

std::string Params(int count) {
    std::string s = "(";
    for (int i = 0; i < count; ++i) s += (i ? ",p" : "p") + std::to_string(i);
    return s + ")";
}

class ScaleTest : public CompilerTest {
  protected:
    void SetUp() override {
        CompilerTest::SetUp();
        // Cold, these texts would restart some thirty times to grow the work areas
        // (restarts have tests of their own) and that would dominate the run time.
        const struct {
            int code;
            const int *cap;
        } groups[] = {{GrowTokens, &g.build.tokenCap},
                      {GrowCodeBuf, &g.build.codeCap},
                      {GrowInts, &g.build.intCap},
                      {GrowValues, &g.build.valueCap[1]},
                      {GrowCalls, &g.build.callCap}};
        for (const auto &group : groups) {
            while (*group.cap < 4 * kParams) {
                ASSERT_TRUE(GrowBuildBuffers(g.build, group.code, DomainReal));
            }
        }
        ASSERT_EQ(RealC("f(x)=x+1").code, 0);
        ASSERT_EQ(RealC("g(x,y)=x-y").code, 0);
    }
};

TEST_F(ScaleTest, LongDotChainsCompileLikeNestedCallsAndKeepErrorOffsets) {
    std::string chain = "(x)=x", nested = "(x)=";
    for (int i = 0; i < kCalls; ++i) {
        chain += ".f()";
        nested += "f(";
    }
    nested += "x" + std::string(kCalls, ')');
    Compiled a = RealC(chain), b = RealC(nested);
    ASSERT_EQ(a.code, 0);
    ASSERT_EQ(b.code, 0);
    EXPECT_EQ(Code(a.f), Code(b.f));
    double x = 0.5;
    EXPECT_EQ(RealCal(a.f, &x), 0.5 + kCalls);

    // Leading arguments of every form mixed; each step is g(previous, b).
    std::string mixed = "(a,b)=a", expect = "(a,b)=";
    const char *const kSteps[] = {".b.g()", ".(b).g()", ".g(b)", ".[b].g()"};
    for (int i = 0; i < kCalls; ++i) {
        mixed += kSteps[i % 4];
        expect += "g(";
    }
    expect += "a";
    for (int i = 0; i < kCalls; ++i) expect += ",b)";
    a = RealC(mixed);
    b = RealC(expect);
    ASSERT_EQ(a.code, 0);
    EXPECT_EQ(Code(a.f), Code(b.f));
    double ab[2] = {1, 0.25};
    EXPECT_EQ(RealCal(a.f, ab), 1 - 0.25 * kCalls);

    // The operand before the last dot is the last call, so the error starts at its name.
    int lastCall = static_cast<int>(chain.rfind('f'));
    for (const char *tail : {".y", ".1", ".", ".(x)"}) {
        Compiled r = RealC(chain + tail);
        EXPECT_EQ(r.code, 31) << tail;
        EXPECT_EQ(r.begin, lastCall) << tail;
        EXPECT_EQ(r.end, static_cast<int>(chain.size() + std::strlen(tail)) - 1) << tail;
    }
    // Rewriting moves tokens; errors of later passes still name the right one.
    a = RealC(chain + ".nosuch()");
    EXPECT_EQ(a.code, 25);
    EXPECT_EQ(a.begin, static_cast<int>(chain.size()) + 1);
}

TEST_F(ScaleTest, LongHeadersFindTheirNamesAndTheFirstRepeat) {
    std::string body;
    for (int i = 0; i < kParams; i += 97) body += "+p" + std::to_string(i);
    Compiled r = RealC(Params(kParams) + "=p49999" + body);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.nPara, kParams - 1);
    std::vector<double> p(kParams);
    for (int i = 0; i < kParams; ++i) p[i] = i;
    double expect = kParams - 1;
    for (int i = 0; i < kParams; i += 97) expect += i;
    EXPECT_EQ(RealCal(r.f, p.data()), expect);

    std::string params = Params(kParams);
    params.pop_back();
    const int end = static_cast<int>(params.size());
    struct Case {
        std::string tail;
        int code, begin, end;
    };
    const Case cases[] = {
        // The repeat at the far end.
        {",p0)=1", 35, end + 1, end + 2},
        // Of two repeats the one met first counts, though p3 was declared before p7.
        {",p7,p3)=1", 35, end + 1, end + 2},
        {",q:r,q)=1", 35, end + 5, end + 5},
        // Errors before the repeat still win, a misplaced `common` after it does not.
        {",,p1)=1", 11, end + 1, end + 1},
        {",p1,common)=1", 35, end + 1, end + 2},
        {",common,p1)=1", 28, end + 1, end + 6},
        {",q r,p1)=1", 9, end + 3, end + 3},
        {",x::x)=1", 35, end + 4, end + 4},
        {",free::free)=1", 35, end + 7, end + 10},
    };
    for (const Case &c : cases) {
        r = RealC(params + c.tail);
        EXPECT_EQ(r.code, c.code) << c.tail;
        EXPECT_EQ(r.begin, c.begin) << c.tail;
        EXPECT_EQ(r.end, c.end) << c.tail;
    }
}

// From cold buffers, so that the growth of the token group's scratch arrays fails too.
TEST_F(CompilerTest, DotChainCompileSurvivesEveryFailedAllocation) {
    struct Disarm {
        ~Disarm() { qallocFailAt(0); }
    } disarm;
    ASSERT_EQ(RealC("f(x)=x+1").code, 0);
    ASSERT_EQ(RealC("g(x,y)=x-y").code, 0);
    std::string text = "(a,b)=a";
    for (int i = 0; i < 40; ++i) text += i % 2 ? ".b.g()" : ".f()";
    for (long n = 1;; ++n) {
        qallocFailAt(n);
        Compiled r = RealC(text, 3);
        bool failed = qallocCount() >= n;
        qallocFailAt(0);
        if (!failed) {
            ASSERT_EQ(r.code, 0);
            double ab[2] = {1, 2};
            EXPECT_EQ(RealCal(r.f, ab), 1 + 20 - 2 * 20);
            break;
        }
        if (r.code != 0) {
            EXPECT_EQ(r.code, 1) << n;
        }
    }
}

}  // namespace
}  // namespace quorel::test
