// The block runner: a real program step by step over blocks of points. Every stack
// element is a block, and each step is one loop over its block with a fixed trip
// count, which compilers turn into vector code. Each point still sees the same
// operations on the same values in the same order as a run of the program for that
// point alone, so results agree to the bit.
//
// This file is compiled once per instruction set, inside the namespace
// QUOREL_BLOCK_NS. Everything it defines stays internal to that translation unit
// (anonymous namespace, lambdas, always inlined arithmetic): an out-of-line inline
// function would be shared between the units, and the linker could hand the
// baseline runner the copy compiled for wider vectors.
//
// The stack elements are blocks reached through a table, so that moving a value
// between a `which` form's blocks and the stack swaps two pointers instead of
// copying, and the bottom element can be the host's results themselves.
//
// A `which` form cannot jump for a point, only for the whole block: each point keeps
// the value of the first condition that held for it. Where no point of the block is
// left for a pair, its value is not computed; where every point has chosen, the rest
// of the form is skipped. Nothing in a plain formula has effects, and a form that
// counts for no point reports no failure, so skipping is invisible.
#include <cstring>
#include <string_view>

#include "../base/runerr.h"
#include "arith.h"
#include "block_job.h"

#if defined(__GNUC__) || defined(__clang__) || defined(_MSC_VER)
#define QUOREL_RESTRICT __restrict
#else
#define QUOREL_RESTRICT
#endif

namespace quorel::QUOREL_BLOCK_NS {

namespace {

using A = Arith<RealDomain>;

using Row = double *QUOREL_RESTRICT;
using In = const double *QUOREL_RESTRICT;
using MaskRow = Mask *QUOREL_RESTRICT;
using MaskIn = const Mask *QUOREL_RESTRICT;

template <class F>
inline void Apply(Row x, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(x[j]);
}
template <class F>
inline void With(Row x, In b, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(x[j], b[j]);
}
template <class F>
inline void With2(Row x, In a, In b, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(x[j], a[j], b[j]);
}
template <class F>
inline void Make(Row x, In a, In b, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(a[j], b[j]);
}
template <class F>
inline void MakeK(Row x, In a, double k, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(a[j], k);
}
template <class F>
inline void MakeKP(Row x, double k, In a, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(k, a[j]);
}
template <class F>
inline void WithK(Row x, double k, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(x[j], k);
}
template <class F>
inline void Map(Row x, In a, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(a[j]);
}
inline void Fill(Row x, double k) {
    for (int j = 0; j < kBlock; ++j) x[j] = k;
}
inline void Copy(Row x, In a) {
    for (int j = 0; j < kBlock; ++j) x[j] = a[j];
}

inline Mask Bits(double d);

// A call into the maths library costs far more than comparing bits, so calls are
// made only where they count: inside a `which` form, only for the points that the
// pair, condition or default being evaluated counts for (`live`; null: all); the
// others keep their operand, a value nothing reads. And grids repeat a column's value
// along a row: a point whose operands have the bits of the point before takes that
// point's value (the same bits in give the same bits out). The helpers call these in
// point order, one call per point.
template <class F, bool Sparse>
struct Memo1 {
    F f;
    const Mask *live;
    int j = 0;
    bool have = false;
    Mask a = 0;
    double last = 0.0;
    double operator()(double x) {
        if constexpr (Sparse)
            if (!live[j++]) return x;
        if (have && Bits(x) == a) return last;
        have = true;
        a = Bits(x);
        return last = f(x);
    }
};
template <class F, bool Sparse>
struct Memo2 {
    F f;
    const Mask *live;
    int j = 0;
    bool have = false;
    Mask a = 0, b = 0;
    double last = 0.0;
    double operator()(double x, double y) {
        if constexpr (Sparse)
            if (!live[j++]) return x;
        if (have && Bits(x) == a && Bits(y) == b) return last;
        have = true;
        a = Bits(x);
        b = Bits(y);
        return last = f(x, y);
    }
};

// Intrinsics 47 to 58 and powers call the maths library.
template <int C>
constexpr bool kCalls = C >= 47 && C <= 58;
constexpr bool IsPow(std::string_view op) {
    return op == "Pow";
}

// Runs `run` with the operation `f`, made sparse and repeat-aware when it calls.
template <bool Call, class F, class Run>
inline void Unary(const Mask *live, F f, Run run) {
    if constexpr (!Call)
        run(f);
    else if (live)
        run(Memo1<F, true>{f, live});
    else
        run(Memo1<F, false>{f, nullptr});
}
template <bool Call, class F, class Run>
inline void Binary(const Mask *live, F f, Run run) {
    if constexpr (!Call)
        run(f);
    else if (live)
        run(Memo2<F, true>{f, live});
    else
        run(Memo2<F, false>{f, nullptr});
}
template <int C, class Run>
inline void Intr(const Mask *live, Run run) {
    Unary<kCalls<C>>(
        live, [](double a) { return A::Intr<C>(a); }, run);
}

// Masks and picks work on the bits, so that compilers vectorize them (a double
// comparison may trap, which keeps them from doing so).
inline Mask Bits(double d) {
    Mask u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// All bits where `c` is true: not +0 or -0 (NaN counts as true).
inline Mask Truth(double c) {
    Mask b = Bits(c) << 1;
    return Mask{0} - ((b | (Mask{0} - b)) >> 63);
}

inline double Pick(Mask m, double a, double b) {
    Mask u = (Bits(a) & m) | (Bits(b) & ~m);
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

// now = base & truth(c); whether it holds anywhere in the block.
inline bool FirstTest(MaskRow now, MaskIn base, In c) {
    Mask any = 0;
    if (base) {
        for (int j = 0; j < kBlock; ++j) any |= now[j] = base[j] & Truth(c[j]);
    } else {
        for (int j = 0; j < kBlock; ++j) any |= now[j] = Truth(c[j]);
    }
    return any != 0;
}

inline bool LaterTest(MaskRow now, In c) {
    Mask any = 0;
    for (int j = 0; j < kBlock; ++j) any |= now[j] &= Truth(c[j]);
    return any != 0;
}

// Where none has been chosen yet (and the form counts at all), the next condition or
// the default is what counts; whether any point is left.
inline bool NextPair(MaskRow now, MaskIn done, MaskIn base) {
    Mask any = 0;
    if (base) {
        for (int j = 0; j < kBlock; ++j) any |= now[j] = base[j] & ~done[j];
    } else {
        for (int j = 0; j < kBlock; ++j) any |= now[j] = ~done[j];
    }
    return any != 0;
}

// A later pair's value `v` taken where `now` holds; then NextPair.
inline bool TakeLater(Row chosen, MaskRow done, MaskRow now, MaskIn base, In v) {
    Mask any = 0;
    if (base) {
        for (int j = 0; j < kBlock; ++j) {
            chosen[j] = Pick(now[j], v[j], chosen[j]);
            Mask d = done[j] | now[j];
            done[j] = d;
            any |= now[j] = base[j] & ~d;
        }
    } else {
        for (int j = 0; j < kBlock; ++j) {
            chosen[j] = Pick(now[j], v[j], chosen[j]);
            Mask d = done[j] | now[j];
            done[j] = d;
            any |= now[j] = ~d;
        }
    }
    return any != 0;
}

inline void Choose(Row r, MaskIn done, In chosen, In d) {
    for (int j = 0; j < kBlock; ++j) r[j] = Pick(done[j], chosen[j], d[j]);
}
inline void ChooseOver(Row x, MaskIn done, In chosen) {
    for (int j = 0; j < kBlock; ++j) x[j] = Pick(done[j], chosen[j], x[j]);
}

template <class T>
inline void Swap(T *&a, T *&b) {
    T *t = a;
    a = b;
    b = t;
}

// A unary step applied to `a` (a parameter's block) into the new top `x`, which
// saves copying the parameter first; false when `kind` is not a unary step.
bool MapUnary(int kind, Row x, In a, const Mask *live) {
    switch (kind) {
        case HNeg:
            Map(x, a, [](double v) { return A::Neg(v); });
            return true;
        case HNot:
            Map(x, a, [](double v) { return A::Not(v); });
            return true;
        case HSqr:
            Map(x, a, [](double v) { return A::Mul(v, v); });
            return true;
            // clang-format off
#define QUOREL_MAP_INTR(c)                                                               \
        case HIntr + (c - OpIntrinsicBase - 1):                                         \
            Intr<c>(live, [&](auto f) { Map(x, a, f); });                                                       \
            return true;
        QUOREL_INTRINSIC_CODES(QUOREL_MAP_INTR)
#undef QUOREL_MAP_INTR
                // clang-format on
                default : return false;
    }
}

// One block of `m` points (the rest padding): `p[i]` is parameter i's block; `out`
// receives the values.
void RunBlock(const BlockJob &job, const double *const *p, double *out, int m) {
    Program<RealDomain> *prog = job.prog;
    const Step<RealDomain> *steps = prog->Steps();
    const std::uint16_t *kinds = prog->Kinds();
    double **el = job.el;
    for (int e = 0; e <= prog->depth; ++e) el[e] = job.stack + static_cast<std::size_t>(e) * kBlock;
    if (prog->depth > 0) el[1] = out;
    BlockForm *forms = job.forms;
    for (int l = 0; l < prog->nesting; ++l) {
        double *v = job.formValues + static_cast<std::size_t>(l) * 2 * kBlock;
        Mask *k = job.formMasks + static_cast<std::size_t>(l) * 2 * kBlock;
        forms[l] = BlockForm{v, v + kBlock, k, k + kBlock, nullptr};
    }
    int d = 0;       // the top element
    int level = -1;  // the innermost open form
    for (int n = 0;; ++n) {
        const Step<RealDomain> &st = steps[n];
        double *x = el[d];
        const Mask *live = level >= 0 ? forms[level].now : nullptr;
        switch (kinds[n]) {
            case HTestKeep: {  // the first condition, on top
                BlockForm &f = forms[++level];
                f.base = level == 0 ? nullptr : forms[level - 1].now;
                if (FirstTest(f.now, f.base, x)) {
                    Swap(el[d--], f.first);  // noted, and popped
                    break;
                }
                // No point takes the first pair: on to the next condition or the
                // default, with the first condition staying on top.
                std::memset(f.done, 0, sizeof(Mask) * kBlock);
                NextPair(f.now, f.done, f.base);
                n = st.j - 1;
                break;
            }
            case HTest: {  // a later condition; the first one is below it
                BlockForm &f = forms[level];
                --d;
                if (!LaterTest(f.now, x)) {
                    NextPair(f.now, f.done, f.base);
                    n = st.j - 1;
                }
                break;
            }
            case HTaken: {  // the value, on top, where the pair's condition held
                BlockForm &f = forms[level];
                bool left;
                if (st.i == 0) {  // the first pair: the first condition goes back on top
                    Swap(el[d], f.chosen);
                    Swap(f.done, f.now);
                    Swap(el[d], f.first);
                    left = NextPair(f.now, f.done, f.base);
                } else {
                    left = TakeLater(f.chosen, f.done, f.now, f.base, x);
                    --d;
                }
                if (!left) {  // every point has chosen: the form's value is the chosen one
                    Swap(el[d], f.chosen);
                    --level;
                    n = st.j - 1;
                }
                break;
            }
            case HDrop: {  // the default value, on top, where nothing held
                BlockForm &f = forms[level--];
                Choose(el[d - 1], f.done, f.chosen, x);
                --d;
                break;
            }
            case HWhichFail: {  // nothing held: the first condition, on top, stays
                BlockForm &f = forms[level--];
                Mask failed = 0;
                for (int j = 0; j < m; ++j) failed |= f.now[j];
                if (failed) ReportFormulaErrShared(DomainReal, "which", DomainReal, prog->f);
                ChooseOver(x, f.done, f.chosen);
                break;
            }
            case HEnd:
                if (x != out) Copy(out, x);
                return;
            case HEndZero:
                Fill(out, 0.0);
                return;
            case HLoadP:
            case HPushP:
                // A unary step right after applies to this parameter (a jump never
                // lands between the two).
                if (MapUnary(kinds[n + 1], el[d + 1], p[st.i], live))
                    ++n;
                else
                    Copy(el[d + 1], p[st.i]);
                ++d;
                break;
            case HLoadK:
            case HPushK:
                Fill(el[++d], st.k);
                break;
            case HLoadV:
            case HPushV:
                Fill(el[++d], *st.cell);
                break;
            case HNeg:
                Apply(x, [](double a) { return A::Neg(a); });
                break;
            case HNot:
                Apply(x, [](double a) { return A::Not(a); });
                break;
            case HSqr:
                Apply(x, [](double a) { return A::Mul(a, a); });
                break;
            case HLoadSqrP:
            case HPushSqrP:
                Make(el[++d], p[st.i], p[st.i], [](double a, double b) { return A::Mul(a, b); });
                break;
                // clang-format off
#define QUOREL_OP(fn, call)                                                              \
    Binary<IsPow(#fn)>(live, [](double a, double b) { return A::fn(a, b); },             \
                       [&](auto f) { call; })
#define QUOREL_BLOCK_BINARY(fn)                                                          \
            case HBin_##fn:                                                             \
                QUOREL_OP(fn, With(el[d - 1], x, f));                                   \
                --d;                                                                    \
                break;                                                                  \
            case HBinP_##fn:                                                            \
                QUOREL_OP(fn, With(x, p[st.i], f));                                     \
                break;                                                                  \
            case HBinK_##fn:                                                            \
                QUOREL_OP(fn, WithK(x, st.k, f));                                       \
                break;                                                                  \
            case HBinV_##fn:                                                            \
                QUOREL_OP(fn, WithK(x, *st.cell, f));                                   \
                break;                                                                  \
            case HLoadPK_##fn:                                                          \
            case HPushPK_##fn:                                                          \
                QUOREL_OP(fn, MakeK(el[d + 1], p[st.i], st.k, f));                      \
                ++d;                                                                    \
                break;                                                                  \
            case HLoadPP_##fn:                                                          \
            case HPushPP_##fn:                                                          \
                QUOREL_OP(fn, Make(el[d + 1], p[st.i], p[st.j], f));                    \
                ++d;                                                                    \
                break;                                                                  \
            case HLoadKP_##fn:                                                          \
            case HPushKP_##fn:                                                          \
                QUOREL_OP(fn, MakeKP(el[d + 1], st.k, p[st.i], f));                     \
                ++d;                                                                    \
                break;
            QUOREL_BINARY_OPS(QUOREL_BLOCK_BINARY)
#undef QUOREL_BLOCK_BINARY
#undef QUOREL_OP
#define QUOREL_BLOCK_CHAIN(o2, o1)                                                       \
            case HChainPK_##o2##_##o1: {                                                \
                const double k = st.k;                                                  \
                With(x, p[st.i], [k](double t, double a) { return A::o2(t, A::o1(a, k)); }); \
                break;                                                                  \
            }                                                                           \
            case HChainPP_##o2##_##o1:                                                  \
                With2(x, p[st.i], p[st.j],                                              \
                      [](double t, double a, double b) { return A::o2(t, A::o1(a, b)); }); \
                break;                                                                  \
            case HChainKP_##o2##_##o1: {                                                \
                const double k = st.k;                                                  \
                With(x, p[st.i], [k](double t, double a) { return A::o2(t, A::o1(k, a)); }); \
                break;                                                                  \
            }
#define QUOREL_BLOCK_CHAIN_ROW(o2)                                                       \
            QUOREL_BASIC_OPS_WITH(QUOREL_BLOCK_CHAIN, o2)                               \
            case HChainSqr_##o2:                                                        \
                With(x, p[st.i], [](double t, double a) { return A::o2(t, A::Mul(a, a)); }); \
                break;
            QUOREL_BASIC_OPS(QUOREL_BLOCK_CHAIN_ROW)
#undef QUOREL_BLOCK_CHAIN_ROW
#undef QUOREL_BLOCK_CHAIN
#define QUOREL_BLOCK_INTR(c)                                                             \
            case HIntr + (c - OpIntrinsicBase - 1):                                     \
                Intr<c>(live, [&](auto f) { Apply(x, f); });                                                    \
                break;
            QUOREL_INTRINSIC_CODES(QUOREL_BLOCK_INTR)
#undef QUOREL_BLOCK_INTR
                    // clang-format on
                    default :  // no other steps exist
                               Fill(out, 0.0);
                return;
        }
    }
}

}  // namespace

void RunBlocks(const BlockJob &job) {
    const int n = job.n, count = job.count;
    for (int base = 0; base < n; base += kBlock) {
        const int m = n - base < kBlock ? n - base : kBlock;
        for (int i = 0; i < count; ++i) {
            const double *col = job.columns ? job.columns[i] : nullptr;
            if (!col) {
                job.p[i] = job.fixed + static_cast<std::size_t>(kBlock) * i;
            } else if (m == kBlock) {
                job.p[i] = col + base;
            } else {
                double *tail = job.tails + static_cast<std::size_t>(kBlock) * i;
                std::memcpy(tail, col + base, sizeof(double) * m);
                job.p[i] = tail;
            }
        }
        if (m == kBlock && job.direct) {
            RunBlock(job, job.p, job.results + base, m);
        } else {
            RunBlock(job, job.p, job.lastOut, m);
            std::memcpy(job.results + base, job.lastOut, sizeof(double) * m);
        }
    }
}

}  // namespace quorel::QUOREL_BLOCK_NS
