// Evaluation and compile speed of real expressions of two parameters, side by side
// with the same expressions as native C++ and, when installed, muparser and fparser.
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

#if HAVE_MUPARSER
#include <muParser.h>
#endif
#if HAVE_FPARSER
#include <fparser.hh>
#endif

namespace {

struct Expr {
    const char *quorel;   // body in our language; compiled as (x,y)=body
    const char *muparser;
    const char *fparser;
    double (*native)(double x, double y);
};

inline double lg(double v) { return std::log10(v); }

const Expr kExprs[] = {
    {"x+y", "x+y", "x+y", [](double x, double y) { return x + y; }},
    {"x*y+1", "x*y+1", "x*y+1", [](double x, double y) { return x * y + 1; }},
    {"(y+x/y)*(x-y/x)", "(y+x/y)*(x-y/x)", "(y+x/y)*(x-y/x)",
     [](double x, double y) { return (y + x / y) * (x - y / x); }},
    {"((1.23*(x^2))/y)-123.123", "((1.23*(x^2))/y)-123.123", "((1.23*(x^2))/y)-123.123",
     [](double x, double y) { return ((1.23 * std::pow(x, 2)) / y) - 123.123; }},
    {"x^2+y^2", "x^2+y^2", "x^2+y^2",
     [](double x, double y) { return std::pow(x, 2) + std::pow(y, 2); }},
    {"sqrt(111.111-sin(2*x)+cos(3.14159/y)/333.333)",
     "sqrt(111.111-sin(2*x)+cos(3.14159/y)/333.333)",
     "sqrt(111.111-sin(2*x)+cos(3.14159/y)/333.333)",
     [](double x, double y) {
         return std::sqrt(111.111 - std::sin(2 * x) + std::cos(3.14159 / y) / 333.333);
     }},
    {"sin(x)*cos(y)+tan(x/7)", "sin(x)*cos(y)+tan(x/7)", "sin(x)*cos(y)+tan(x/7)",
     [](double x, double y) { return std::sin(x) * std::cos(y) + std::tan(x / 7); }},
    {"exp(-x*x/10)*ln(y+2)", "exp(-x*x/10)*ln(y+2)", "exp(-x*x/10)*log(y+2)",
     [](double x, double y) { return std::exp(-x * x / 10) * std::log(y + 2); }},
    {"abs(x-y)/(1+abs(x+y))", "abs(x-y)/(1+abs(x+y))", "abs(x-y)/(1+abs(x+y))",
     [](double x, double y) { return std::fabs(x - y) / (1 + std::fabs(x + y)); }},
    {"(x+1)*(x+2)*(x+3)*(y+1)*(y+2)/(y+3)", "(x+1)*(x+2)*(x+3)*(y+1)*(y+2)/(y+3)",
     "(x+1)*(x+2)*(x+3)*(y+1)*(y+2)/(y+3)",
     [](double x, double y) { return (x + 1) * (x + 2) * (x + 3) * (y + 1) * (y + 2) / (y + 3); }},
    {"(x>y)*x+(x<=y)*y", "(x>y)*x+(x<=y)*y", "(x>y)*x+(x<=y)*y",
     [](double x, double y) { return (x > y) * x + (x <= y) * y; }},
    {"atan(x/(abs(y)+1))+lg(abs(x*y)+1)*2.5", "atan(x/(abs(y)+1))+log10(abs(x*y)+1)*2.5",
     "atan(x/(abs(y)+1))+log10(abs(x*y)+1)*2.5",
     [](double x, double y) {
         return std::atan(x / (std::fabs(y) + 1)) + lg(std::fabs(x * y) + 1) * 2.5;
     }},
    {"(x*x*x-3*x*y+y*y)/(1+x*x)+sqrt(abs(x*y))*sin(x+y)-cos(x-y)*exp(-(x*x)/100)+lg(abs(y)+1)"
     "*atan(x/(abs(y)+1))",
     "(x*x*x-3*x*y+y*y)/(1+x*x)+sqrt(abs(x*y))*sin(x+y)-cos(x-y)*exp(-(x*x)/100)+log10(abs(y)+1)"
     "*atan(x/(abs(y)+1))",
     "(x*x*x-3*x*y+y*y)/(1+x*x)+sqrt(abs(x*y))*sin(x+y)-cos(x-y)*exp(-(x*x)/100)+log10(abs(y)+1)"
     "*atan(x/(abs(y)+1))",
     [](double x, double y) {
         return (x * x * x - 3 * x * y + y * y) / (1 + x * x) +
                std::sqrt(std::fabs(x * y)) * std::sin(x + y) -
                std::cos(x - y) * std::exp(-(x * x) / 100) +
                lg(std::fabs(y) + 1) * std::atan(x / (std::fabs(y) + 1));
     }},
};
constexpr int kExprCount = sizeof(kExprs) / sizeof(kExprs[0]);

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

std::string QuorelText(const Expr &e) { return std::string("(x,y)=") + e.quorel; }

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
        for (double x : {-1.3, 0.4, 2.9})
            for (double y : {0.8, 1.7}) {
                para[0] = x;
                para[1] = y;
                double q = RealCal(h, para), n = e.native(x, y);
                if (std::fabs(q - n) > 1e-9 * (1 + std::fabs(n))) {
                    std::fprintf(stderr, "expression %d: %.17g != %.17g\n", i, q, n);
                    ok = false;
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

BENCHMARK(BM_EvalNative)->Apply(ExprArgs);
BENCHMARK(BM_EvalQuorel)->Apply(ExprArgs);
BENCHMARK(BM_CompileQuorel)->Apply(ExprArgs);
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
