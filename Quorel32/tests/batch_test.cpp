// RealCalBatch against RealCal point by point, over generated formulas: results equal
// to the bit, NULL columns, empty and one-point batches, formulas that are not plain,
// and the run-time error a point leaves behind.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/formula.h"
#include "eval/block_job.h"
#include "eval_text_util.h"

using namespace evaltext;

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A random expression in x, y and z with the operators, intrinsics and `which` forms
// of the language; constants include zeros of both signs so failed conditions show.
std::string Gen(std::mt19937 &rng, int depth) {
    static const char *const bin[] = {
        "+", "-", "*", "/", "^", ">", ">=", "<", "<=", "==", "!=", "&", "|"};
    static const char *const un[] = {"-", "!", "sqrt", "sin", "abs", "int", "exp", "ln", "atan"};
    static const char *const leaf[] = {"x", "y", "z", "0", "(-0)", "1", "2", "3", "0.5", "1e300"};
    int pick = depth <= 0 ? 0 : static_cast<int>(rng() % 10);
    if (pick <= 2) return leaf[rng() % 10];
    if (pick <= 4) {
        std::string u = un[rng() % 9];
        std::string call = u + "(" + Gen(rng, depth - 1) + ")";
        return u.size() == 1 ? "(" + call + ")" : call;  // a sign needs brackets after an operator
    }
    if (pick <= 8) return "(" + Gen(rng, depth - 1) + bin[rng() % 13] + Gen(rng, depth - 1) + ")";
    std::string w = "which(" + Gen(rng, depth - 1) + "," + Gen(rng, depth - 1);
    for (int pairs = static_cast<int>(rng() % 2); pairs > 0; --pairs)
        w += "," + Gen(rng, depth - 1) + "," + Gen(rng, depth - 1);
    if (rng() % 2) w += "," + Gen(rng, depth - 1);  // a default
    return w + ")";
}

class Batch : public EvalText {
  protected:
    // Runs the formula both ways over n points, some columns left NULL, and expects
    // the same bits and the same pending error.
    void Compare(void *h, int n, std::mt19937 &rng, const std::string &text) {
        auto *f = static_cast<quorel::CompiledFormula *>(h);
        const int count = static_cast<int>(f->ints[quorel::ParamLast]) + 1;
        double *slots = static_cast<double *>(f->values);  // the host's `para` from RealCom
        std::vector<std::vector<double>> cols(count, std::vector<double>(n));
        std::vector<const double *> ptrs(count);
        static const double vals[] = {0.0, -0.0, 1.5, -2.0, 3.0, 1e308, NAN, 0.25};
        for (int i = 0; i < count; ++i) {
            slots[i] = vals[rng() % 8];
            for (double &v : cols[i]) v = vals[rng() % 8];
            ptrs[i] = rng() % 4 == 0 ? nullptr : cols[i].data();
        }
        std::vector<double> want(n), got(n, 12345.0), para(count > 0 ? count : 1);
        for (int k = 0; k < n; ++k) {
            for (int i = 0; i < count; ++i) para[i] = ptrs[i] ? ptrs[i][k] : slots[i];
            want[k] = RealCal(h, para.data());
        }
        Err wantErr = TakeErr();
        ASSERT_EQ(RealCalBatch(h, n, ptrs.data(), got.data()), 0) << text;
        Err gotErr = TakeErr();
        EXPECT_EQ(gotErr.type, wantErr.type) << text;
        EXPECT_EQ(gotErr.name, wantErr.name) << text;
        for (int k = 0; k < n; ++k)
            ASSERT_TRUE(SameBits(got[k], want[k]))
                << text << " at " << k << ": " << got[k] << " vs " << want[k];
    }
};

// Every formula through the widest runner the processor has and through the baseline one.
TEST_F(Batch, GeneratedFormulasMatchRealCalBitForBit) {
    std::mt19937 rng(1313);
    for (bool baseline : {false, true}) {
        quorel::ForceBaselineBlocks(baseline);
        for (int round = 0; round < 400; ++round) {
            std::string text = "(x,y,z)=" + Gen(rng, 1 + static_cast<int>(rng() % 5));
            void *h = RealF(text, NextPrivateModule());
            ASSERT_NE(h, nullptr) << text;
            static const int sizes[] = {0, 1, 2, 7, 300, 1100};
            Compare(h, sizes[round % 6], rng, text);
            DeleteFor(2, h);
        }
    }
    quorel::ForceBaselineBlocks(false);
}

// Results may overwrite a column: every point still reads its own parameters.
TEST_F(Batch, ResultsMayTakeTheirColumnsPlace) {
    void *h = RealF("(x,y)=which(x>y, x*x-y, y-x)+x/y", NextPrivateModule());
    ASSERT_NE(h, nullptr);
    const int n = 300;
    std::vector<double> xs(n), ys(n), want(n);
    for (int k = 0; k < n; ++k) {
        xs[k] = k * 0.37 - 40;
        ys[k] = 3.5 - k * 0.11;
        double para[2] = {xs[k], ys[k]};
        want[k] = RealCal(h, para);
    }
    const double *cols[] = {xs.data(), ys.data()};
    ASSERT_EQ(RealCalBatch(h, n, cols, ys.data()), 0);
    for (int k = 0; k < n; ++k) ASSERT_TRUE(SameBits(ys[k], want[k])) << k;
}

TEST_F(Batch, FormulasThatAreNotPlainRunPointByPoint) {
    std::mt19937 rng(7);
    RealF("half(v)=v/2", 1);
    const char *const texts[] = {
        "(x,y)=half(x)+y",                                                  // a call
        "(x,y : s, i)=s = 0, i = 1, while(i <= 3, s = s + x*i, i++), s+y",  // a loop
        "(x,y)=which(x>y, x)",                                              // fails where x <= y
        "(x,y)=x = x + 1, x*y",  // assigns to a parameter
    };
    for (const char *text : texts) {
        void *h = RealF(text, NextPrivateModule());
        ASSERT_NE(h, nullptr) << text;
        Compare(h, 50, rng, text);
    }
}

TEST_F(Batch, StatefulFormulaSeesThePointsInOrder) {
    void *h = RealF("(x : static, s)=s = s + x", NextPrivateModule());
    ASSERT_NE(h, nullptr);
    const double xs[] = {1, 2, 3, 4};
    const double *cols[] = {xs};
    double out[4];
    ASSERT_EQ(RealCalBatch(h, 4, cols, out), 0);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{1, 3, 6, 10}));
}

TEST_F(Batch, RefusesWhatIsNotAUsableRealFormulaAndLeavesResults) {
    void *r = RealF("(x)=x+1", NextPrivateModule());
    void *i = IntF("(x)=x+1", NextPrivateModule());
    double out[2] = {7, 7};
    const double xs[] = {1, 2};
    const double *cols[] = {xs};
    EXPECT_NE(RealCalBatch(nullptr, 2, cols, out), 0);
    EXPECT_NE(RealCalBatch(r, -1, cols, out), 0);
    EXPECT_NE(RealCalBatch(i, 2, cols, out), 0);
    EXPECT_NE(RealCalBatch(r, 2, cols, nullptr), 0);
    void *g = RealF("g(x)=x*3", 1);
    void *caller = RealF("(x)=g(x)", NextPrivateModule());
    DeleteFor(2, g);  // the caller becomes unusable
    EXPECT_NE(RealCalBatch(caller, 2, cols, out), 0);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(RealCalBatch(r, 0, nullptr, nullptr), 0);
    ASSERT_EQ(RealCalBatch(r, 2, nullptr, out), 0);  // no columns: the slot for every point
    EXPECT_EQ(out[1],
              1.0 + static_cast<double *>(static_cast<quorel::CompiledFormula *>(r)->values)[0]);
}

}  // namespace

namespace {

// The built-ins that run a formula over many points give the same bits whether the
// formula is plain (block by block) or not (point by point): `p` is plain, `q` the
// same arithmetic with an assignment in front.
TEST_F(Batch, LoopBuiltInsAddUpInTheSameOrder) {
    RealF("p(x, y) = sin(x) * 0.1 + y / 3 + (x > y) * x", 1);
    RealF("q(x, y : a) = a = 0, sin(x) * 0.1 + y / 3 + (x > y) * x", 1);
    RealF("p1(x) = exp(-x * x) / 3", 1);
    RealF("q1(x : a) = a = 0, exp(-x * x) / 3", 1);
    std::string data;
    for (int i = 0; i < 601; ++i)
        data += ", " + std::to_string(i * 0.37) + ", " + std::to_string(1.5 - i);
    const std::string calls[] = {
        "sum(\"%\", 0, 30, 0.7, -2, 5, 0.3)", "pro(\"%\", 0.1, 0.9, 0.001, 1, 1.01, 0.01)",
        "DataSum(\"%\"" + data + ")", "SimpIntegrate(-3, 2, 1e-12, \"%1\")"};
    for (const std::string &call : calls) {
        auto with = [&](const char *name) {
            std::string text = call;
            text.replace(text.find('%'), 1, name);
            return Real(text);
        };
        double plain = with("p"), general = with("q");
        EXPECT_TRUE(SameBits(plain, general)) << call << ": " << plain << " vs " << general;
    }
}

}  // namespace
