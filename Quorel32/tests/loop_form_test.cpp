// Generated formulas with loops and conditions, each compiled twice: one copy runs
// in its register form, the other (its form dropped) in the general evaluator. The
// results, error reports, parameters written through the host's array and the
// variables left behind must agree bit for bit, step-limit stops and errors pending
// from before the run included.
#include "eval/loop_form.h"

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "base/formula.h"
#include "eval_text_util.h"

using namespace evaltext;

namespace {

struct Lang {
    std::vector<std::string> binary, unary, consts, compare;
};

const Lang kReal{{"+", "-", "*", "/", "^", ">", "<=", "==", "!=", "&", "|"},
                 {"-", "!", "sqrt", "sin", "abs", "int", "exp"},
                 {"0", "1", "2", "0.5", "3.25", "1e300", "7"},
                 {"<", "<=", ">", ">=", "==", "!="}};
const Lang kInt{{"+", "-", "*", "/", "%", ">", "<=", "==", "!=", "&", "|"},
                {"-", "!", "abs", "sqrt"},
                {"0", "1", "2", "3", "7", "2147483647", "100000"},
                {"<", "<=", ">", ">=", "==", "!="}};
const Lang kComplex{{"+", "-", "*", "/", "==", "!=", "&", "|"},
                    {"-", "!", "sqrt", "abs", "exp"},
                    {"0", "1", "2", "0.5", "(2i)", "7"},
                    {"==", "!="}};

class Gen {
  public:
    Gen(const Lang &l, unsigned seed) : l_(l), rng_(seed) {}
    // A formula named `name` (of parameters x, y).
    std::string Formula(const std::string &name) {
        loops_ = 0;
        return name + "(x, y : a, b, c, static, s : m, common, t) = " + Items(3);
    }

  private:
    int Pick(std::size_t n) { return static_cast<int>(rng_() % n); }
    const std::string &Of(const std::vector<std::string> &v) { return v[Pick(v.size())]; }
    std::string Var() {
        static const char *const kVars[] = {"x", "y", "a", "b", "c", "s", "m", "t"};
        return kVars[Pick(8)];
    }
    std::string Expr(int depth) {
        switch (depth <= 0 ? Pick(2) : Pick(9)) {
            case 0:
                return Of(l_.consts);
            case 1:
                return Var();
            case 2:
            case 3:
                return "(" + Expr(depth - 1) + Of(l_.binary) + Expr(depth - 1) + ")";
            case 4: {
                const std::string &u = Of(l_.unary);
                return u.size() == 1 ? "(" + u + "(" + Expr(depth - 1) + "))"
                                     : u + "(" + Expr(depth - 1) + ")";
            }
            case 5:
                return "(" + Var() + (Pick(2) ? "++" : "--") + ")";
            case 6:
                return "(" + Var() + " = " + Expr(depth - 1) + ")";
            case 7:
                return "(" + Cond(depth - 1) + ")";
            default:
                return "which(" + Cond(depth - 1) + ", " + Expr(depth - 1) + ", " +
                       Cond(depth - 1) + ", " + Expr(depth - 1) +
                       (Pick(2) ? ", " + Expr(depth - 1) : "") + ")";
        }
    }
    std::string Cond(int depth) {
        if (Pick(4) == 0) return Expr(depth);
        return Var() + " " + Of(l_.compare) + " " + (depth > 0 ? Expr(depth - 1) : Of(l_.consts));
    }
    std::string Loop(bool until, int depth) {
        ++loops_;
        std::string body = Items(depth - 1);
        std::string text = until ? "until(" + body + ", " + Cond(depth) + ")"
                                 : "while(" + Cond(depth) + ", " + body + ")";
        --loops_;
        return text;
    }
    std::string Item(int depth) {
        switch (Pick(loops_ ? 11 : 9)) {
            case 0:
            case 1:
                return Var() + " = " + Expr(depth);
            case 2:
                return Var() + (Pick(2) ? "++" : "--");
            case 3:
                return (Pick(2) ? "++" : "--") + Var();
            case 4:
                return depth > 0 ? Loop(false, depth) : Expr(1);
            case 5:
                return depth > 0 ? Loop(true, depth) : Expr(1);
            case 6:
                return depth > 0 ? "if(" + Cond(depth) + ", " + Items(depth - 1) + ")" : Expr(1);
            case 7:
                return Expr(depth);
            case 8:
                return Pick(6) ? Expr(depth) : "return(" + Expr(depth) + ")";
            case 9:
                return "break()";
            default:
                return "continue()";
        }
    }
    std::string Items(int depth) {
        std::string s = Item(depth);
        for (int n = Pick(3); n > 0; --n) s += ", " + Item(depth);
        return s;
    }

    const Lang &l_;
    std::mt19937 rng_;
    int loops_ = 0;
};

template <class V>
bool SameBits(const V &a, const V &b) {
    return std::memcmp(&a, &b, sizeof(V)) == 0;
}

// Compiles through `com` (RealCom and its siblings); null when the text is refused.
template <class V, class Com>
void *Compile(Com com, const std::string &text, int module) {
    void *h = nullptr;
    int n, b, e;
    V *para;
    return com(text.c_str(), module, &h, &n, &para, &b, &e) == 0 ? h : nullptr;
}

template <class V, class Com, class Cal>
void CompareRandomFormulas(const Lang &lang, Com com, Cal cal, const V (&args)[2]) {
    Gen gen(lang, 13);
    void *pend = Compile<V>(com, "which(0, 1)", 1);  // leaves an error pending
    ASSERT_TRUE(pend);
    int translated = 0;
    for (int n = 0; n < 600; ++n) {
        // Each copy is also called from a formula, its first parameter by reference.
        const int ma = NextPrivateModule(), mb = NextPrivateModule();
        const std::string text = gen.Formula("f");
        void *ha = Compile<V>(com, text, ma), *hb = Compile<V>(com, text, mb);
        void *ca = Compile<V>(com, "(p, q) = f(&p, q) + p", ma);
        void *cb = Compile<V>(com, "(p, q) = f(&p, q) + p", mb);
        // The module variable m of each copy's module and the common variable t they
        // share: set before each run, read after it.
        const char *const kSet = "(: : m, common, t) = m = 0.5, t = 3";
        const char *const kGet = "(: : m, common, t) = m * 8 + t";
        void *sa = Compile<V>(com, kSet, ma), *sb = Compile<V>(com, kSet, mb);
        void *ga = Compile<V>(com, kGet, ma), *gb = Compile<V>(com, kGet, mb);
        if (!ha || !hb || !ca || !cb || !sa || !sb || !ga || !gb) continue;
        auto *fa = static_cast<quorel::CompiledFormula *>(ha);
        auto *fb = static_cast<quorel::CompiledFormula *>(hb);
        if (!quorel::HasLoopForm(fa)) continue;
        ++translated;
        quorel::DetachLoopForm(fb);
        auto *va = static_cast<V *>(fa->values), *vb = static_cast<V *>(fb->values);
        const int vars = static_cast<int>(fa->ints[quorel::VarCount]);
        for (int round = 0; round < 5; ++round) {
            SetRunLimit(round % 2 ? 300 : 40);
            V pa[2] = {args[0], args[1]}, pb[2] = {args[0], args[1]};
            bool own = round == 2 || round == 3;  // the record's own slots as parameters
            if (own) std::memcpy(va, pa, sizeof pa), std::memcpy(vb, pb, sizeof pb);
            auto run = [&](void *h, V *p) {
                cal(h == ha ? sa : sb, nullptr);
                if (round == 3) cal(pend, nullptr);
                V r = cal(round == 4 ? (h == ha ? ca : cb) : h, own ? nullptr : p);
                Err e = TakeErr();
                return std::make_tuple(r, e, cal(h == ha ? ga : gb, nullptr));
            };
            auto [ra, ea, vara] = run(ha, pa);
            auto [rb, eb, varb] = run(hb, pb);
            SCOPED_TRACE(text + " round " + std::to_string(round));
            EXPECT_TRUE(SameBits(ra, rb));
            EXPECT_EQ(ea.type, eb.type);
            EXPECT_EQ(ea.name, eb.name);
            EXPECT_EQ(ea.handle == ha, eb.handle == hb);
            EXPECT_TRUE(SameBits(pa, pb));
            EXPECT_TRUE(SameBits(vara, varb));
            for (int v = 0; v < vars; ++v) EXPECT_TRUE(SameBits(va[v], vb[v])) << "slot " << v;
            if (::testing::Test::HasFailure()) return;
        }
    }
    SetRunLimit(0);
    EXPECT_GT(translated, 300);  // the comparison must mostly meet register forms
}

class LoopForms : public EvalText {};

TEST_F(LoopForms, RealAgreeWithTheGeneralEvaluator) {
    CompareRandomFormulas<double>(kReal, RealCom, [](void *h, double *p) { return RealCal(h, p); },
                                  {1.5, -2});
}

TEST_F(LoopForms, IntegerAgreeWithTheGeneralEvaluator) {
    CompareRandomFormulas<int>(kInt, IntCom, [](void *h, int *p) { return IntCal(h, p); }, {3, -7});
}

TEST_F(LoopForms, ComplexAgreeWithTheGeneralEvaluator) {
    CompareRandomFormulas<QuorelComplex>(kComplex, ComplexCom,
                                         [](void *h, QuorelComplex *p) {
                                             QuorelComplex r;
                                             ComplexCal(&r, h, p);
                                             return r;
                                         },
                                         {{1.5, 0.5}, {-2, 1}});
}

}  // namespace
