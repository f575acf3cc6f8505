// Real programs over many points. A program runs step by step over blocks of points:
// every stack element is a block, and each step is one loop over its block with a
// fixed trip count, which compilers turn into vector code. Each point still sees the
// same operations on the same values in the same order as a run of the program for
// that point alone, so results agree to the bit.
//
// A `which` form cannot jump for a block: every condition and value is computed for
// every point (they have no effects), and each point keeps the value of the first
// condition that held for it. Per open form, five blocks: the first condition, the
// value chosen so far, whether one was chosen, where the pair or default being
// evaluated counts, and where the form counts at all (a form inside a value that was
// not chosen reports no failure for that point).
#include <cstdint>
#include <cstring>

#include "../base/alloc.h"
#include "../base/runerr.h"
#include "arith.h"
#include "program.h"

#if defined(__GNUC__) || defined(__clang__) || defined(_MSC_VER)
#define QUOREL_RESTRICT __restrict
#else
#define QUOREL_RESTRICT
#endif

namespace quorel {

namespace {

using A = Arith<RealDomain>;
constexpr int kBlock = 128;     // points per block: a few blocks stay in the L1 cache
constexpr int kFormBlocks = 5;  // blocks per open `which` form

using Row = double *QUOREL_RESTRICT;
using In = const double *QUOREL_RESTRICT;

template <class F>
inline void Apply(Row x, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(x[j]);
}
template <class F>
inline void With(Row x, In b, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(x[j], b[j]);
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
inline void WithK(Row x, double k, F f) {
    for (int j = 0; j < kBlock; ++j) x[j] = f(x[j], k);
}
inline void Fill(Row x, double k) {
    for (int j = 0; j < kBlock; ++j) x[j] = k;
}
inline void Copy(Row x, In a) {
    for (int j = 0; j < kBlock; ++j) x[j] = a[j];
}

// Which points a form's step counts for: all bits set, or none. Masks and picks work
// on the bits, so that compilers vectorize them (a double comparison may trap, which
// keeps them from doing so).
using Mask = std::uint64_t;

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

struct Form {
    double *first, *chosen;
    Mask *done, *now, *base;
};

inline Form FormAt(double *forms, int level) {
    double *b = forms + static_cast<std::size_t>(level) * kFormBlocks * kBlock;
    return Form{b, b + kBlock, reinterpret_cast<Mask *>(b + 2 * kBlock),
                reinterpret_cast<Mask *>(b + 3 * kBlock), reinterpret_cast<Mask *>(b + 4 * kBlock)};
}

using MaskRow = Mask *QUOREL_RESTRICT;
using MaskIn = const Mask *QUOREL_RESTRICT;

// After a value was taken where `now` held: where none has been taken yet (and the
// form counts at all), the next condition or the default is what counts.
inline void NextPair(const Form &f) {
    MaskIn done = f.done;
    MaskIn base = f.base;
    MaskRow now = f.now;
    for (int j = 0; j < kBlock; ++j) now[j] = base[j] & ~done[j];
}

// One block of `m` points (the rest padding): `p[i]` is parameter i's block, `s` the
// stack of blocks (s + kBlock is the first element), `forms` the blocks of the open
// `which` forms; `out` receives the top at the end.
void RunBlock(Program<RealDomain> *prog, const double *const *p, double *s, double *forms, int m,
              double *out) {
    const Step<RealDomain> *steps = prog->Steps();
    const std::uint16_t *kinds = prog->Kinds();
    double *x = s;   // the top block
    int level = -1;  // the innermost open form
    for (int n = 0;; ++n) {
        const Step<RealDomain> &st = steps[n];
        switch (kinds[n]) {
            case HTestKeep: {  // the first condition, on top: noted, and popped
                Form f = FormAt(forms, ++level);
                // Where the form counts: everywhere, or where the enclosing form is at
                // the pair or default that holds this one.
                MaskRow base = f.base;
                if (level == 0) {
                    for (int j = 0; j < kBlock; ++j) base[j] = ~Mask{0};
                } else {
                    MaskIn outer = FormAt(forms, level - 1).now;
                    for (int j = 0; j < kBlock; ++j) base[j] = outer[j];
                }
                Copy(f.first, x);
                In c = x;
                MaskRow now = f.now;
                for (int j = 0; j < kBlock; ++j) now[j] = base[j] & Truth(c[j]);
                x -= kBlock;
                break;
            }
            case HTest: {  // a later condition; the first one is below it
                In c = x;
                MaskRow now = FormAt(forms, level).now;
                for (int j = 0; j < kBlock; ++j) now[j] &= Truth(c[j]);
                x -= kBlock;
                break;
            }
            case HTaken: {  // the value, on top, where the pair's condition held
                Form f = FormAt(forms, level);
                MaskIn now = f.now;
                MaskRow done = f.done;
                if (st.i == 0) {  // the first pair: the first condition goes back below
                    Copy(f.chosen, x);
                    for (int j = 0; j < kBlock; ++j) done[j] = now[j];
                    Copy(x, f.first);
                } else {
                    In v = x;
                    Row chosen = f.chosen;
                    for (int j = 0; j < kBlock; ++j) {
                        chosen[j] = Pick(now[j], v[j], chosen[j]);
                        done[j] |= now[j];
                    }
                    x -= kBlock;
                }
                NextPair(f);
                break;
            }
            case HDrop: {  // the default value, on top, where nothing held
                Form f = FormAt(forms, level--);
                MaskIn done = f.done;
                In chosen = f.chosen;
                In d = x;
                Row r = x - kBlock;
                for (int j = 0; j < kBlock; ++j) r[j] = Pick(done[j], chosen[j], d[j]);
                x -= kBlock;
                break;
            }
            case HWhichFail: {  // nothing held: the first condition, on top, stays
                Form f = FormAt(forms, level--);
                Mask failed = 0;
                for (int j = 0; j < m; ++j) failed |= f.now[j];
                if (failed) ReportFormulaErrShared(DomainReal, "which", DomainReal, prog->f);
                MaskIn done = f.done;
                In chosen = f.chosen;
                for (int j = 0; j < kBlock; ++j) x[j] = Pick(done[j], chosen[j], x[j]);
                break;
            }
            case HEnd:
                Copy(out, x);
                return;
            case HEndZero:
                Fill(out, 0.0);
                return;
            case HLoadP:
            case HPushP:
                x += kBlock;
                Copy(x, p[st.i]);
                break;
            case HLoadK:
            case HPushK:
                x += kBlock;
                Fill(x, st.k);
                break;
            case HLoadV:
            case HPushV:
                x += kBlock;
                Fill(x, *st.cell);
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
                x += kBlock;
                Make(x, p[st.i], p[st.i], [](double a, double b) { return A::Mul(a, b); });
                break;
                // clang-format off
#define QUOREL_BLOCK_BINARY(fn)                                                          \
            case HBin_##fn:                                                             \
                With(x - kBlock, x, [](double a, double b) { return A::fn(a, b); });     \
                x -= kBlock;                                                            \
                break;                                                                  \
            case HBinP_##fn:                                                            \
                With(x, p[st.i], [](double a, double b) { return A::fn(a, b); });        \
                break;                                                                  \
            case HBinK_##fn:                                                            \
                WithK(x, st.k, [](double a, double b) { return A::fn(a, b); });          \
                break;                                                                  \
            case HBinV_##fn:                                                            \
                WithK(x, *st.cell, [](double a, double b) { return A::fn(a, b); });      \
                break;                                                                  \
            case HLoadPK_##fn:                                                          \
            case HPushPK_##fn:                                                          \
                x += kBlock;                                                            \
                MakeK(x, p[st.i], st.k, [](double a, double b) { return A::fn(a, b); }); \
                break;                                                                  \
            case HLoadPP_##fn:                                                          \
            case HPushPP_##fn:                                                          \
                x += kBlock;                                                            \
                Make(x, p[st.i], p[st.j], [](double a, double b) { return A::fn(a, b); });\
                break;                                                                  \
            case HLoadKP_##fn:                                                          \
            case HPushKP_##fn: {                                                        \
                x += kBlock;                                                            \
                const double k = st.k;                                                  \
                In a = p[st.i];                                                         \
                for (int j = 0; j < kBlock; ++j) x[j] = A::fn(k, a[j]);                 \
                break;                                                                  \
            }
            QUOREL_BINARY_OPS(QUOREL_BLOCK_BINARY)
#undef QUOREL_BLOCK_BINARY
#define QUOREL_BLOCK_CHAIN(o2, o1)                                                       \
            case HChainPK_##o2##_##o1: {                                                \
                const double k = st.k;                                                  \
                With(x, p[st.i], [k](double t, double a) { return A::o2(t, A::o1(a, k)); }); \
                break;                                                                  \
            }                                                                           \
            case HChainPP_##o2##_##o1: {                                                \
                In a = p[st.i];                                                         \
                In b = p[st.j];                                                         \
                for (int j = 0; j < kBlock; ++j) x[j] = A::o2(x[j], A::o1(a[j], b[j])); \
                break;                                                                  \
            }                                                                           \
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
                Apply(x, [](double a) { return A::Intr<c>(a); });                        \
                break;
            QUOREL_BLOCK_INTR(46) QUOREL_BLOCK_INTR(47) QUOREL_BLOCK_INTR(48)
            QUOREL_BLOCK_INTR(49) QUOREL_BLOCK_INTR(50) QUOREL_BLOCK_INTR(51)
            QUOREL_BLOCK_INTR(52) QUOREL_BLOCK_INTR(53) QUOREL_BLOCK_INTR(54)
            QUOREL_BLOCK_INTR(55) QUOREL_BLOCK_INTR(56) QUOREL_BLOCK_INTR(57)
            QUOREL_BLOCK_INTR(58) QUOREL_BLOCK_INTR(59) QUOREL_BLOCK_INTR(60)
#undef QUOREL_BLOCK_INTR
                    // clang-format on
                    default :  // `which` steps: such programs never come here
                               Fill(out, 0.0);
                return;
        }
    }
}

// Point by point through the program, when the block buffers cannot be had.
void EachPoint(void *program, int n, const double *const *columns, const double *slots,
               double *results, double *para, int count) {
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < count; ++i) para[i] = columns && columns[i] ? columns[i][k] : slots[i];
        results[k] = RunProgram<RealDomain>(program, para);
    }
}

}  // namespace

void RunRealProgramBatch(void *program, int n, const double *const *columns, const double *slots,
                         double *results, double *para) {
    auto *prog = static_cast<Program<RealDomain> *>(program);
    const int count = static_cast<int>(prog->f->ints[ParamLast]) + 1;
    // Per parameter: a block of its slot value (read once, as every point would) and
    // a padded block for a column's last, partial block; then the stack; then the
    // results of a partial block.
    std::size_t blocks = 2 * static_cast<std::size_t>(count) + prog->depth + 2 +
                         kFormBlocks * static_cast<std::size_t>(prog->nesting);
    auto *buf = static_cast<double *>(qalloc(sizeof(double) * kBlock * blocks));
    const double **p =
        buf ? static_cast<const double **>(qalloc(sizeof(double *) * (count + 1))) : nullptr;
    if (!p) {
        qfree(buf);
        EachPoint(program, n, columns, slots, results, para, count);
        return;
    }
    double *fixed = buf, *tails = buf + kBlock * count, *stack = tails + kBlock * count;
    double *lastOut = stack + kBlock * (prog->depth + 1), *forms = lastOut + kBlock;
    std::memset(tails, 0, sizeof(double) * kBlock * count);
    for (int i = 0; i < count; ++i) Fill(fixed + kBlock * i, slots[i]);
    for (int base = 0; base < n; base += kBlock) {
        const int m = n - base < kBlock ? n - base : kBlock;
        for (int i = 0; i < count; ++i) {
            const double *col = columns ? columns[i] : nullptr;
            if (!col) {
                p[i] = fixed + kBlock * i;
            } else if (m == kBlock) {
                p[i] = col + base;
            } else {
                std::memcpy(tails + kBlock * i, col + base, sizeof(double) * m);
                p[i] = tails + kBlock * i;
            }
        }
        if (m == kBlock) {
            RunBlock(prog, p, stack, forms, m, results + base);
        } else {
            RunBlock(prog, p, stack, forms, m, lastOut);
            std::memcpy(results + base, lastOut, sizeof(double) * m);
        }
    }
    qfree(p);
    qfree(buf);
}

}  // namespace quorel
