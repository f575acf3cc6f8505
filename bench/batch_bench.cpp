// Many points in one call: RealCalBatch over 1,000 points of each shared expression,
// against native C++ called per point through a function pointer and muparser's bulk
// mode (array variables, Eval(results, n), one thread); then one and two threads
// sharing one formula.
//
//   build/bench/batch_bench --benchmark_filter=Batch
//
// BM_BatchBaseline forces the baseline block runner where the processor has a wider one;
// BM_Scattered* take points where no value repeats.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Quorel32.h"
#include "eval/block_job.h"
#include "expr_set.h"

#if HAVE_MUPARSER
#include <muParser.h>
#endif
#if defined(__unix__)
#include <unistd.h>
#endif

namespace {

using exprset::kExprCount;
using exprset::kExprs;

constexpr int kPoints = 1000;

// The points: the grid the single-evaluation benchmark walks, in rows (x repeats
// along a row); and as many scattered over the same ranges, no value repeated.
struct Points {
    std::vector<double> xs, ys;
    explicit Points(bool scattered) {
        for (int k = 0; k < kPoints; ++k) {
            double gx = (k / 32) * 0.21, gy = (k % 32) * 0.13;
            double sx = 6.3 * (k * 0.6180339887 - static_cast<int>(k * 0.6180339887));
            double sy = 4.0 * (k * 0.4142135623 - static_cast<int>(k * 0.4142135623));
            xs.push_back(-3.1 + (scattered ? sx : gx));
            ys.push_back(0.7 + (scattered ? sy : gy));
        }
    }
};
const Points kGrid(false), kScattered(true);

void PerPoint(benchmark::State &state) {
    state.counters["per_point"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPoints,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <const Points &kPts>
void Native(benchmark::State &state) {
    auto *fn = kExprs[state.range(0)].native;
    benchmark::DoNotOptimize(fn);  // called through the pointer, as a host's callback
    std::vector<double> out(kPoints);
    for (auto _ : state) {
        for (int k = 0; k < kPoints; ++k) out[k] = fn(kPts.xs[k], kPts.ys[k]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    PerPoint(state);
}

struct Compiled {
    void *h = nullptr;
    Compiled(const Expr &e) {
        int nPara, eb, ee;
        double *para;
        std::string text = std::string("(x,y)=") + e.quorel;
        if (RealCom(text.c_str(), 0, &h, &nPara, &para, &eb, &ee) != 0) h = nullptr;
    }
};

// Every thread has its own results; all share the formula.
template <const Points &kPts>
void Quorel(benchmark::State &state) {
    static void *h;
    if (state.thread_index() == 0) {
        InitQuorel();
        h = Compiled(kExprs[state.range(0)]).h;
    }
    // The timing loops of all threads start together, after this set-up.
    std::vector<double> out(kPoints);
    const double *cols[] = {kPts.xs.data(), kPts.ys.data()};
    for (auto _ : state) {
        RealCalBatch(h, kPoints, cols, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    PerPoint(state);
    if (state.thread_index() == 0) state.SetLabel(kExprs[state.range(0)].quorel);
}

// The same with the runner every x86-64 processor has, where a wider one exists.
void BM_BatchBaseline(benchmark::State &state) {
    quorel::ForceBaselineBlocks(true);
    Quorel<kGrid>(state);
    quorel::ForceBaselineBlocks(false);
}

#if HAVE_MUPARSER
void BM_BatchMuparser(benchmark::State &state) {
    std::vector<double> xs = kGrid.xs, ys = kGrid.ys, out(kPoints);
    mu::Parser p;
    p.DefineVar("x", xs.data());
    p.DefineVar("y", ys.data());
    p.SetExpr(kExprs[state.range(0)].muparser);
    for (auto _ : state) {
        p.Eval(out.data(), kPoints);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    PerPoint(state);
}
#endif

// The batch must give what one evaluation per point gives, to the bit.
bool CheckBatch(const Points &kPts) {
    InitQuorel();
    bool ok = true;
    for (int i = 0; i < kExprCount; ++i) {
        Compiled c(kExprs[i]);
        if (!c.h) {
            std::fprintf(stderr, "expression %d does not compile\n", i);
            ok = false;
            continue;
        }
        std::vector<double> out(kPoints);
        const double *cols[] = {kPts.xs.data(), kPts.ys.data()};
        RealCalBatch(c.h, kPoints, cols, out.data());
        for (int k = 0; k < kPoints; ++k) {
            double p[2] = {kPts.xs[k], kPts.ys[k]};
            double one = RealCal(c.h, p);
            if (std::memcmp(&one, &out[k], sizeof one) != 0) {
                std::fprintf(stderr, "expression %d, point %d: %.17g != %.17g\n", i, k, out[k],
                             one);
                ok = false;
                break;
            }
        }
    }
    FreeQuorel();
    return ok;
}

void ExprArgs(benchmark::internal::Benchmark *b) {
    for (int i = 0; i < kExprCount; ++i) b->Arg(i);
}

}  // namespace

BENCHMARK(Native<kGrid>)->Name("BM_BatchNative")->Apply(ExprArgs);
BENCHMARK(Quorel<kGrid>)->Name("BM_BatchQuorel")->Apply(ExprArgs);
BENCHMARK(BM_BatchBaseline)->Apply(ExprArgs);
#if HAVE_MUPARSER
BENCHMARK(BM_BatchMuparser)->Apply(ExprArgs);
#endif
BENCHMARK(Native<kScattered>)->Name("BM_ScatteredNative")->Apply(ExprArgs);
BENCHMARK(Quorel<kScattered>)->Name("BM_ScatteredQuorel")->Apply(ExprArgs);
BENCHMARK(Quorel<kGrid>)
    ->Name("BM_BatchThreads")
    ->Apply(ExprArgs)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime();

int main(int argc, char **argv) {
#if HAVE_MUPARSER && defined(__unix__)
    // muparser's bulk mode takes its thread count from OpenMP when the program starts.
    const char *omp = std::getenv("OMP_NUM_THREADS");
    if (!omp || std::strcmp(omp, "1") != 0) {
        setenv("OMP_NUM_THREADS", "1", 1);
        execv("/proc/self/exe", argv);
    }
#endif
    if (!CheckBatch(kGrid) || !CheckBatch(kScattered)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
