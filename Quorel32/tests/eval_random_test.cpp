// Random expression trees (fixed seed), fully bracketed, compiled and evaluated
// through the exports and compared bit for bit with a direct evaluation of the tree.
// Catches disagreements between folding and run time, operator semantics and the
// stack depth the compiler counts (the sanitizer build sees any overrun).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "eval/arith.h"
#include "eval_text_util.h"

using namespace evaltext;

namespace {

template <class V>
struct Node {
    int kind;  // 0 constant, 1 x, 2 y, 3 unary, 4 binary, 5 which
    std::string op;
    V value{};
    std::unique_ptr<Node> a, b, c;
};

const char *const kRealBinary[] = {
    "+", "-", "*", "/", "^", ">", ">=", "<", "<=", "==", "!=", "&", "|"};
const char *const kRealUnary[] = {"-", "!", "sqrt", "sin", "abs", "int", "exp", "ln"};
const char *const kIntBinary[] = {"+", "-", "*", "/", "%", ">", "<=", "==", "!=", "&", "|"};
const char *const kIntUnary[] = {"-", "!", "abs", "sqrt", "ln"};
const double kRealConsts[] = {0, 1, 2, 0.5, 3.25, 1e300, 1e-300, 7};
const int kIntConsts[] = {0, 1, 2, 3, 7, 2147483647, 65536, 100000};

template <class V, size_t NB, size_t NU, size_t NC>
std::unique_ptr<Node<V>> Grow(std::mt19937 &rng, int depth, const char *const (&bin)[NB],
                              const char *const (&un)[NU], const V (&consts)[NC]) {
    auto n = std::make_unique<Node<V>>();
    int pick = depth <= 0 ? static_cast<int>(rng() % 3) : static_cast<int>(rng() % 10);
    if (pick == 0) {
        n->kind = 0;
        n->value = consts[rng() % NC];
    } else if (pick <= 2) {
        n->kind = pick;
    } else if (pick <= 4) {
        n->kind = 3;
        n->op = un[rng() % NU];
        n->a = Grow(rng, depth - 1, bin, un, consts);
    } else if (pick <= 8) {
        n->kind = 4;
        n->op = bin[rng() % NB];
        n->a = Grow(rng, depth - 1, bin, un, consts);
        n->b = Grow(rng, depth - 1, bin, un, consts);
    } else {
        n->kind = 5;
        n->a = Grow(rng, depth - 1, bin, un, consts);
        n->b = Grow(rng, depth - 1, bin, un, consts);
        n->c = Grow(rng, depth - 1, bin, un, consts);
    }
    return n;
}

std::string Literal(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}
std::string Literal(int v) {
    return Literal(static_cast<double>(v));
}
std::string Literal(QuorelComplex z) {
    return z.im != 0 ? "(" + Literal(z.im) + "i)" : Literal(z.re);
}

template <class V>
std::string Text(const Node<V> &n) {
    switch (n.kind) {
        case 0:
            return Literal(n.value);
        case 1:
            return "x";
        case 2:
            return "y";
        case 3:
            if (n.op == "-" || n.op == "!") return "(" + n.op + "(" + Text(*n.a) + "))";
            return n.op + "(" + Text(*n.a) + ")";
        case 4:
            return "(" + Text(*n.a) + n.op + Text(*n.b) + ")";
        default:
            return "which(" + Text(*n.a) + ", " + Text(*n.b) + ", " + Text(*n.c) + ")";
    }
}

// The reference: the language's rules written directly.
template <class D>
typename D::Value Ref(const Node<typename D::Value> &n, typename D::Value x, typename D::Value y) {
    using A = quorel::Arith<D>;
    using V = typename D::Value;
    switch (n.kind) {
        case 0:
            return n.value;
        case 1:
            return x;
        case 2:
            return y;
        case 3: {
            V a = Ref<D>(*n.a, x, y);
            if (n.op == "-") return A::Neg(a);
            if (n.op == "!") return A::Not(a);
            if (n.op == "abs") return a < 0 ? A::Neg(a) : a;
            if constexpr (std::is_same_v<V, double>) {
                if (n.op == "sqrt") return std::sqrt(a);
                if (n.op == "sin") return std::sin(a);
                if (n.op == "int") return std::floor(a);
                if (n.op == "exp") return std::exp(a);
                return std::log(a);
            } else {
                if (n.op == "sqrt") return quorel::TruncToInt(std::sqrt(static_cast<double>(a)));
                return quorel::TruncToInt(std::log(static_cast<double>(a)));
            }
        }
        case 4: {
            V a = Ref<D>(*n.a, x, y), b = Ref<D>(*n.b, x, y);
            const std::string &o = n.op;
            if (o == "+") return A::Add(a, b);
            if (o == "-") return A::Sub(a, b);
            if (o == "*") return A::Mul(a, b);
            if (o == "/") return A::Div(a, b);
            if (o == "^" || o == "%") return A::Pow(a, b);
            if (o == ">") return a > b;
            if (o == ">=") return a >= b;
            if (o == "<") return a < b;
            if (o == "<=") return a <= b;
            if (o == "==") return a == b;
            if (o == "!=") return a != b;
            if (o == "&") return a != 0 && b != 0;
            return a != 0 || b != 0;
        }
        default: {
            V c = Ref<D>(*n.a, x, y);
            return c != 0 ? Ref<D>(*n.b, x, y) : Ref<D>(*n.c, x, y);
        }
    }
}

// The complex rules come from the arithmetic description itself: what is checked
// here is that compiling, folding and running deliver exactly that arithmetic.
QuorelComplex RefC(const Node<QuorelComplex> &n, QuorelComplex x, QuorelComplex y) {
    using A = quorel::Arith<quorel::ComplexDomain>;
    switch (n.kind) {
        case 0:
            return n.value;
        case 1:
            return x;
        case 2:
            return y;
        case 3: {
            QuorelComplex a = RefC(*n.a, x, y);
            const std::string &o = n.op;
            if (o == "-") return A::Neg(a);
            if (o == "!") return A::Not(a);
            if (o == "sqrt") return A::Intr<46>(a);
            if (o == "exp") return A::Intr<47>(a);
            if (o == "ln") return A::Intr<48>(a);
            if (o == "sin") return A::Intr<49>(a);
            if (o == "abs") return A::Intr<51>(a);
            if (o == "con") return A::Intr<53>(a);
            if (o == "xy") return A::Intr<54>(a);
            return A::Intr<55>(a);  // x0
        }
        case 4: {
            QuorelComplex a = RefC(*n.a, x, y), b = RefC(*n.b, x, y);
            const std::string &o = n.op;
            if (o == "+") return A::Add(a, b);
            if (o == "-") return A::Sub(a, b);
            if (o == "*") return A::Mul(a, b);
            if (o == "/") return A::Div(a, b);
            if (o == "^") return A::Pow(a, b);
            if (o == ">") return A::Gt(a, b);
            if (o == "<=") return A::Le(a, b);
            if (o == "==") return A::Eq(a, b);
            if (o == "&") return A::And(a, b);
            return A::Or(a, b);
        }
        default:
            return A::Truth(RefC(*n.a, x, y)) ? RefC(*n.b, x, y) : RefC(*n.c, x, y);
    }
}

bool Same(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

using RandomExpressions = EvalText;

TEST_F(RandomExpressions, RealResultsMatchTheRulesBitForBit) {
    std::mt19937 rng(4242);
    const double points[][2] = {{0, 0}, {1.5, -2}, {-3, 0.25}, {1e308, 7}, {NAN, 1}};
    for (int round = 0; round < 1500; ++round) {
        auto tree = Grow(rng, 1 + rng() % 6, kRealBinary, kRealUnary, kRealConsts);
        std::string text = "(x, y) = " + Text(*tree);
        void *h = RealF(text, 1);
        ASSERT_NE(h, nullptr) << text;
        for (const auto &p : points) {
            double para[2] = {p[0], p[1]};
            double got = RealCal(h, para);
            double want = Ref<quorel::RealDomain>(*tree, p[0], p[1]);
            ASSERT_TRUE(Same(got, want))
                << text << " at " << p[0] << ", " << p[1] << ": " << got << " != " << want;
        }
        DeleteFor(2, h);
    }
}

TEST_F(RandomExpressions, IntegerResultsMatchTheRules) {
    std::mt19937 rng(777);
    const int points[][2] = {{0, 0}, {7, -2}, {-2147483647 - 1, -1}, {2147483647, 3}, {5, 0}};
    for (int round = 0; round < 1500; ++round) {
        auto tree = Grow(rng, 1 + rng() % 6, kIntBinary, kIntUnary, kIntConsts);
        std::string text = "(x, y) = " + Text(*tree);
        void *h = IntF(text, 1);
        ASSERT_NE(h, nullptr) << text;
        for (const auto &p : points) {
            int para[2] = {p[0], p[1]};
            int got = IntCal(h, para);
            int want = Ref<quorel::IntDomain>(*tree, p[0], p[1]);
            ASSERT_EQ(got, want) << text << " at " << p[0] << ", " << p[1];
        }
        DeleteFor(1, h);
    }
}

TEST_F(RandomExpressions, ComplexFoldingAndRunTimeAgree) {
    const char *const bin[] = {"+", "-", "*", "/", "^", ">", "<=", "==", "&", "|"};
    const char *const un[] = {"-", "!", "sqrt", "exp", "ln", "sin", "abs", "con", "xy", "x0"};
    const QuorelComplex consts[] = {{0, 0}, {1, 0}, {2, 0}, {0.5, 0}, {0, 2}, {0, 1.5}};
    std::mt19937 rng(99);
    const QuorelComplex points[][2] = {
        {{0, 0}, {0, 0}}, {{1.5, -2}, {-3, 0.25}}, {{-1, 0}, {0, 1}}};
    for (int round = 0; round < 1000; ++round) {
        auto tree = Grow(rng, 1 + rng() % 5, bin, un, consts);
        std::string text = "(x, y) = " + Text(*tree);
        void *h = ComplexF(text, 1);
        ASSERT_NE(h, nullptr) << text;
        for (const auto &p : points) {
            QuorelComplex para[2] = {p[0], p[1]}, got;
            ComplexCal(&got, h, para);
            QuorelComplex want = RefC(*tree, p[0], p[1]);
            ASSERT_TRUE(Same(got.re, want.re) && Same(got.im, want.im))
                << text << ": (" << got.re << ", " << got.im << ") != (" << want.re << ", "
                << want.im << ")";
        }
        DeleteFor(3, h);
    }
}

}  // namespace
