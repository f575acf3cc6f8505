// Evaluation and compile speed of real expressions of two parameters, side by side
// with the same expressions as native C++ and, when available, ExprTk, muparser and
// fparser.
//
//   build/bench/expr_bench --benchmark_filter=Eval
//
// Every evaluation benchmark sweeps the same 32 x 32 grid of (x, y) values; the
// reported time is per evaluation.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Quorel32.h"
#include "expr_set.h"

#if HAVE_EXPRTK
#include "exprtk_peer.h"
#endif
#if HAVE_MUPARSER
#include <muParser.h>
#endif
#if HAVE_FPARSER
#include <fparser.hh>
#endif

namespace {

using exprset::kExprCount;
using exprset::kExprs;

// The (x, y) grid every evaluation benchmark walks.
struct Grid {
    std::vector<double> xs, ys;
    Grid() {
        for (int i = 0; i < 32; ++i) {
            xs.push_back(-3.1 + i * 0.21);
            ys.push_back(0.7 + i * 0.13);
        }
    }
};
const Grid kGrid;

template <class Fn>
void Sweep(benchmark::State &state, Fn &&eval) {
    double sink = 0;
    for (auto _ : state) {
        for (double x : kGrid.xs)
            for (double y : kGrid.ys) sink += eval(x, y);
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * kGrid.xs.size() * kGrid.ys.size());
    // Seconds per evaluation, printed with an SI suffix (n = nanoseconds).
    state.counters["per_eval"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kGrid.xs.size() * kGrid.ys.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

std::string QuorelText(const Expr &e) {
    return std::string("(x,y)=") + e.quorel;
}

void BM_EvalQuorel(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    InitQuorel();
    void *h = nullptr;
    int nPara, eb, ee;
    double *para;
    int rc = RealCom(QuorelText(e).c_str(), 0, &h, &nPara, &para, &eb, &ee);
    if (rc != 0) {
        state.SkipWithError(("compile error " + std::to_string(rc)).c_str());
        FreeQuorel();
        return;
    }
    Sweep(state, [&](double x, double y) {
        para[0] = x;
        para[1] = y;
        return RealCal(h, para);
    });
    FreeQuorel();
    state.SetLabel(e.quorel);
}

void BM_EvalNative(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    auto *fn = e.native;
    benchmark::DoNotOptimize(fn);  // keep the call indirect, as a host's callback would be
    Sweep(state, [&](double x, double y) { return fn(x, y); });
}

void BM_CompileQuorel(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    std::string text = QuorelText(e);
    InitQuorel();
    for (auto _ : state) {
        void *h = nullptr;
        int nPara, eb, ee;
        double *para;
        RealCom(text.c_str(), 0, &h, &nPara, &para, &eb, &ee);
        DeleteFor(2, h);
    }
    FreeQuorel();
    state.SetItemsProcessed(state.iterations());
}

#if HAVE_EXPRTK
void BM_EvalExprtk(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    double x = 0, y = 0;
    ExprtkPeer *p = ExprtkCompile(e.exprtk, &x, &y);
    if (!p) {
        state.SkipWithError("ExprTk parse error");
        return;
    }
    const int nx = static_cast<int>(kGrid.xs.size()), ny = static_cast<int>(kGrid.ys.size());
    double sink = 0;
    for (auto _ : state) sink += ExprtkSweep(p, kGrid.xs.data(), nx, kGrid.ys.data(), ny);
    benchmark::DoNotOptimize(sink);
    state.counters["per_eval"] =
        benchmark::Counter(static_cast<double>(state.iterations() * nx * ny),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    ExprtkFree(p);
}

void BM_CompileExprtk(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(ExprtkCompileOnly(e.exprtk));
    state.SetItemsProcessed(state.iterations());
}
#endif

#if HAVE_MUPARSER
void BM_EvalMuparser(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    double x = 0, y = 0;
    mu::Parser p;
    p.DefineVar("x", &x);
    p.DefineVar("y", &y);
    p.SetExpr(e.muparser);
    Sweep(state, [&](double xv, double yv) {
        x = xv;
        y = yv;
        return p.Eval();
    });
}

void BM_CompileMuparser(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    double x = 0, y = 0;
    for (auto _ : state) {
        mu::Parser p;
        p.DefineVar("x", &x);
        p.DefineVar("y", &y);
        p.SetExpr(e.muparser);
        benchmark::DoNotOptimize(p.Eval());  // muparser parses on first evaluation
    }
    state.SetItemsProcessed(state.iterations());
}
#endif

#if HAVE_FPARSER
void BM_EvalFparser(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    FunctionParser fp;
    if (fp.Parse(e.fparser, "x,y") >= 0) {
        state.SkipWithError("fparser parse error");
        return;
    }
    fp.Optimize();
    Sweep(state, [&](double x, double y) {
        double v[2] = {x, y};
        return fp.Eval(v);
    });
}

void BM_CompileFparser(benchmark::State &state) {
    const Expr &e = kExprs[state.range(0)];
    for (auto _ : state) {
        FunctionParser fp;
        benchmark::DoNotOptimize(fp.Parse(e.fparser, "x,y"));
    }
    state.SetItemsProcessed(state.iterations());
}
#endif

// Every implementation must agree before its speed means anything.
bool Agrees(const char *who, int i, double x, double y, double v) {
    double n = kExprs[i].native(x, y);
    if (std::fabs(v - n) <= 1e-9 * (1 + std::fabs(n))) return true;
    std::fprintf(stderr, "%s, expression %d at (%g, %g): %.17g != %.17g\n", who, i, x, y, v, n);
    return false;
}

bool CheckAgreement() {
    bool ok = true;
    InitQuorel();
    for (int i = 0; i < kExprCount; ++i) {
        const Expr &e = kExprs[i];
        void *h = nullptr;
        int nPara, eb, ee;
        double *para;
        if (RealCom(QuorelText(e).c_str(), 0, &h, &nPara, &para, &eb, &ee) != 0) {
            std::fprintf(stderr, "expression %d does not compile\n", i);
            ok = false;
            continue;
        }
        double x = 0, y = 0;
#if HAVE_EXPRTK
        ExprtkPeer *xt = ExprtkCompile(e.exprtk, &x, &y);
        if (!xt) std::fprintf(stderr, "ExprTk cannot parse expression %d\n", i);
        ok = ok && xt;
#endif
#if HAVE_MUPARSER
        mu::Parser mp;
        mp.DefineVar("x", &x);
        mp.DefineVar("y", &y);
        mp.SetExpr(e.muparser);
#endif
#if HAVE_FPARSER
        FunctionParser fp;
        if (fp.Parse(e.fparser, "x,y") >= 0) {
            std::fprintf(stderr, "fparser cannot parse expression %d\n", i);
            ok = false;
        }
        fp.Optimize();
#endif
        for (double xv : {-1.3, 0.4, 2.9})
            for (double yv : {0.8, 1.7}) {
                para[0] = x = xv;
                para[1] = y = yv;
                ok = Agrees("engine", i, x, y, RealCal(h, para)) && ok;
#if HAVE_EXPRTK
                if (xt) ok = Agrees("ExprTk", i, x, y, ExprtkValue(xt)) && ok;
#endif
#if HAVE_MUPARSER
                try {
                    ok = Agrees("muparser", i, x, y, mp.Eval()) && ok;
                } catch (const mu::Parser::exception_type &err) {
                    std::fprintf(stderr, "muparser, expression %d: %s\n", i, err.GetMsg().c_str());
                    ok = false;
                }
#endif
#if HAVE_FPARSER
                double v[2] = {x, y};
                ok = Agrees("fparser", i, x, y, fp.Eval(v)) && ok;
#endif
            }
#if HAVE_EXPRTK
        ExprtkFree(xt);
#endif
    }
    FreeQuorel();
    return ok;
}

void ExprArgs(benchmark::internal::Benchmark *b) {
    for (int i = 0; i < kExprCount; ++i) b->Arg(i);
}

}  // namespace

BENCHMARK(BM_EvalNative)->Apply(ExprArgs);
BENCHMARK(BM_EvalQuorel)->Apply(ExprArgs);
BENCHMARK(BM_CompileQuorel)->Apply(ExprArgs);
#if HAVE_EXPRTK
BENCHMARK(BM_EvalExprtk)->Apply(ExprArgs);
BENCHMARK(BM_CompileExprtk)->Apply(ExprArgs);
#endif
#if HAVE_MUPARSER
BENCHMARK(BM_EvalMuparser)->Apply(ExprArgs);
BENCHMARK(BM_CompileMuparser)->Apply(ExprArgs);
#endif
#if HAVE_FPARSER
BENCHMARK(BM_EvalFparser)->Apply(ExprArgs);
BENCHMARK(BM_CompileFparser)->Apply(ExprArgs);
#endif

int main(int argc, char **argv) {
    if (!CheckAgreement()) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
