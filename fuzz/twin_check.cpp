#include "twin_check.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "Quorel32.h"
#include "base/formula.h"
#include "eval/block_job.h"
#include "eval/live_formulas.h"
#include "eval/loop_form.h"
#include "eval/native.h"
#include "eval/program.h"

namespace twin {

namespace {

struct Err {
    int type = 0, code = 0, forType = 0;
    bool operator==(const Err &o) const {
        return type == o.type && code == o.code && forType == o.forType;
    }
};

Err TakeErr() {
    Err e;
    char *name;
    void *handle;
    GetRunErr(&e.type, &name, &e.code, &e.forType, &handle);
    return e;
}

const char *current = "";

// A mismatch names the formula before it aborts, so that a finding reads at once.
void Expect(bool ok, const char *what) {
    if (ok) return;
    std::fprintf(stderr, "twin check: %s differs for %s\n", what, current);
    std::abort();
}

// Equal to the bit, except that any two NaNs agree: which NaN an addition or a
// product of two NaNs passes on depends on the operand order the C++ compiler picked
// in each path, and so differs between compilers.
bool Same(double a, double b) {
    return (a != a && b != b) || std::memcmp(&a, &b, sizeof a) == 0;
}

bool Same(int a, int b) {
    return a == b;
}
bool Same(const QuorelComplex &a, const QuorelComplex &b) {
    return Same(a.re, b.re) && Same(a.im, b.im);
}
template <class V>
bool Same(const V *a, const V *b, int n) {
    for (int i = 0; i < n; ++i)
        if (!Same(a[i], b[i])) return false;
    return true;
}

struct Rng {
    unsigned s;
    unsigned Next() { return s = s * 1103515245u + 12345u, s >> 16; }
};

double RealArg(Rng &r) {
    static const double v[] = {0.0,
                               -0.0,
                               1.0,
                               -1.0,
                               0.5,
                               3.0,
                               7.0,
                               1e300,
                               -1e-310,
                               2.5,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    return v[r.Next() % (sizeof v / sizeof v[0])];
}

void Arg(Rng &r, int *out) {
    static const int v[] = {0, 1, -1, 2, 7, 100, 2147483647, -2147483647 - 1};
    *out = v[r.Next() % 8];
}
void Arg(Rng &r, double *out) {
    *out = RealArg(r);
}
void Arg(Rng &r, QuorelComplex *out) {
    out->re = RealArg(r);
    out->im = RealArg(r);
}

int Cal(void *h, int *p) {
    return IntCal(h, p);
}
double Cal(void *h, double *p) {
    return RealCal(h, p);
}
QuorelComplex Cal(void *h, QuorelComplex *p) {
    QuorelComplex r{};
    ComplexCal(&r, h, p);
    return r;
}

// Runs the formula and its twin with the same arguments `rounds` times.
template <class V>
void CompareRuns(void *f, void *t, int count, int rounds, Rng &r) {
    for (int k = 0; k < rounds; ++k) {
        V a[8], b[8];
        for (int i = 0; i < count; ++i) Arg(r, &a[i]);
        std::memcpy(b, a, sizeof a);
        V x = Cal(f, a);
        Err ex = TakeErr();
        V y = Cal(t, b);
        Err ey = TakeErr();
        Expect(Same(x, y), "result");
        Expect(ex == ey, "run error");
        Expect(Same<V>(a, b, count), "parameters after the run");
    }
}

// RealCalBatch over n points against the twin point by point: a NULL column keeps
// the slot's value, and a stopped evaluation leaves 0 from its point on.
// Formulas with loops run point by point, and may run to the step limit: few points.
void CompareBatch(void *f, void *t, double *fSlots, double *tSlots, int count, bool plain, Rng &r) {
    static const int kSizes[] = {0, 1, 2, 3, 5, 127, 128, 129, 300};
    const int n = kSizes[r.Next() % (plain ? 9 : 5)];
    std::vector<std::vector<double>> data(count);
    std::vector<const double *> columns(count, nullptr);
    for (int i = 0; i < count; ++i) {
        fSlots[i] = tSlots[i] = RealArg(r);
        if (r.Next() % 3 == 0) continue;
        data[i].resize(n + 1);
        // Runs of equal points, as along a grid row, and scattered ones.
        for (int k = 0; k < n; ++k)
            data[i][k] = k > 0 && r.Next() % 2 ? data[i][k - 1] : RealArg(r);
        columns[i] = data[i].data();
    }
    std::vector<double> want(n + 1, 0.0);
    Err eWant;
    for (int k = 0; k < n; ++k) {
        double p[8];
        for (int i = 0; i < count; ++i) p[i] = columns[i] ? columns[i][k] : tSlots[i];
        want[k] = RealCal(t, p);
        Err e = TakeErr();
        // The first report of the batch stands, unless a stop replaces it.
        bool stop = e.type == QUOREL_RUNERR_STEP_LIMIT || e.type == QUOREL_RUNERR_INTERRUPTED;
        if (eWant.type == 0 || stop) eWant = e;
        if (stop) break;
    }
    // The results may overwrite a column the batch reads.
    std::vector<double> own(n + 1, 1.0);
    double *got = own.data();
    const int into = static_cast<int>(r.Next() % 4);
    if (into < count && columns[into]) got = data[into].data();
    // The baseline block runner, as on processors without the wide one, half the time.
    quorel::ForceBaselineBlocks(r.Next() % 2 == 0);
    Expect(RealCalBatch(f, n, count ? columns.data() : nullptr, got) == 0, "batch result code");
    quorel::ForceBaselineBlocks(false);
    Err eGot = TakeErr();
    for (int k = 0; k < n; ++k)
        if (!Same(got[k], want[k]))
            std::fprintf(stderr, "point %d of %d: %a, one by one %a\n", k, n, got[k], want[k]);
    Expect(Same<double>(got, want.data(), n), "batch result");
    Expect(eGot == eWant, "batch run error");
}

template <class V>
int Compile(int domain, const char *text, int module, void **h, V **slots) {
    int nPara, b, e;
    if (domain == 1)
        return IntCom(text, module, h, &nPara, reinterpret_cast<int **>(slots), &b, &e);
    if (domain == 2)
        return RealCom(text, module, h, &nPara, reinterpret_cast<double **>(slots), &b, &e);
    return ComplexCom(text, module, h, &nPara, reinterpret_cast<QuorelComplex **>(slots), &b, &e);
}

template <class V>
void CheckDomain(int domain, const char *twinText, int module, void *handle, void *slots, Rng &r) {
    auto *f = static_cast<quorel::CompiledFormula *>(handle);
    const bool plain = quorel::FindProgram(f) != nullptr;
    if (!plain && !quorel::HasLoopForm(f)) return;
    const int count = static_cast<int>(f->ints[quorel::ParamLast]) + 1;
    if (count > 8) return;
    void *t = nullptr;
    V *tSlots = nullptr;
    if (Compile<V>(domain, twinText, module, &t, &tSlots) != 0) return;
    // A twin of the same name replaces the formula: nothing to compare then.
    if (t == handle || !quorel::IsLiveFormula(handle)) return;
    auto *tf = static_cast<quorel::CompiledFormula *>(t);
    quorel::DetachProgram(tf);
    quorel::DetachLoopForm(tf);
    // Plain real formulas run past the warm-up, so that native code runs the last ones.
    int rounds = plain && domain == 2 ? quorel::kNativeAfter + 6 : 4;
    CompareRuns<V>(handle, t, count, rounds, r);
    if constexpr (sizeof(V) == sizeof(double))
        if (domain == 2)
            CompareBatch(handle, t, static_cast<double *>(slots),
                         reinterpret_cast<double *>(tSlots), count, plain, r);
    DeleteFor(domain, t);
}

}  // namespace

bool Plain(void *handle) {
    return quorel::FindProgram(static_cast<quorel::CompiledFormula *>(handle)) != nullptr;
}

void Check(int domain, const char *twinText, int module, void *handle, void *slots, unsigned seed,
           long long runLimit) {
    Rng r{seed};
    current = twinText;
    TakeErr();  // a pending error would fail the twin's compile
    // Endless loops stop early: the general evaluator is slow under the sanitizers.
    SetRunLimit(1000);
    if (domain == 1)
        CheckDomain<int>(domain, twinText, module, handle, slots, r);
    else if (domain == 2)
        CheckDomain<double>(domain, twinText, module, handle, slots, r);
    else
        CheckDomain<QuorelComplex>(domain, twinText, module, handle, slots, r);
    SetRunLimit(runLimit);
}

}  // namespace twin
