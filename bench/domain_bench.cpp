// Evaluation speed in the integer and complex domains, against the same expressions
// written natively (std::complex for the complex set).
//
//   build/bench/domain_bench
#include <benchmark/benchmark.h>

#include <complex>
#include <cstdlib>
#include <iterator>
#include <type_traits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Quorel32.h"

namespace {

using I = std::int32_t;
using C = std::complex<double>;

struct IntExpr {
    const char *text;  // body of (x,y)=...
    I (*native)(I x, I y);
};

struct ComplexExpr {
    const char *text;
    C (*native)(C x, C y);
};

// Wrap-around arithmetic as the integer domain defines it.
inline I Wrap(std::int64_t v) { return static_cast<I>(static_cast<std::uint32_t>(v)); }

const IntExpr kIntExprs[] = {
    {"x+y", [](I x, I y) { return Wrap(std::int64_t(x) + y); }},
    {"x*y+x/y", [](I x, I y) { return Wrap(std::int64_t(x) * y + x / y); }},
    {"(x%7)*(y%5)-x/3", [](I x, I y) { return (x % 7) * (y % 5) - x / 3; }},
    {"abs(x-y)+(x>y)*x+(x<=y)*y", [](I x, I y) { return std::abs(x - y) + (x > y) * x + (x <= y) * y; }},
    {"(x+1)*(x+2)/(y+3)-(y+4)%(x+5)",
     [](I x, I y) { return (x + 1) * (x + 2) / (y + 3) - (y + 4) % (x + 5); }},
};

const ComplexExpr kComplexExprs[] = {
    {"x+y", [](C x, C y) { return x + y; }},
    {"x*y+x/y", [](C x, C y) { return x * y + x / y; }},
    {"(x+2i)*(y-1i)-x*x", [](C x, C y) { return (x + C(0, 2)) * (y - C(0, 1)) - x * x; }},
    {"exp(x)*sin(y)+ln(x+y)", [](C x, C y) { return std::exp(x) * std::sin(y) + std::log(x + y); }},
    {"sqrt(x*x+y*y)+con(x)*y", [](C x, C y) { return std::sqrt(x * x + y * y) + std::conj(x) * y; }},
};

constexpr int kGrid = 32;

template <class T, class Eval>
void Sweep(benchmark::State &state, T (*point)(int), Eval &&eval) {
    double sink = 0;
    for (auto _ : state)
        for (int i = 0; i < kGrid; ++i)
            for (int j = 0; j < kGrid; ++j) {
                auto v = eval(point(i), point(j + 3));
                if constexpr (std::is_same_v<decltype(v), C>)
                    sink += v.real();
                else
                    sink += v;
            }
    benchmark::DoNotOptimize(sink);
    state.counters["per_eval"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kGrid * kGrid),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

I IntPoint(int i) { return i * 37 - 500; }
C ComplexPoint(int i) { return C(0.3 + i * 0.11, 1.1 - i * 0.07); }

void BM_IntQuorel(benchmark::State &state) {
    const IntExpr &e = kIntExprs[state.range(0)];
    InitQuorel();
    void *h = nullptr;
    int n, b, en;
    int *para;
    if (IntCom(("(x,y)=" + std::string(e.text)).c_str(), 0, &h, &n, &para, &b, &en) != 0) {
        state.SkipWithError("compile error");
        FreeQuorel();
        return;
    }
    Sweep(state, IntPoint, [&](I x, I y) {
        para[0] = x;
        para[1] = y;
        return IntCal(h, para);
    });
    FreeQuorel();
    state.SetLabel(e.text);
}

void BM_IntNative(benchmark::State &state) {
    auto *fn = kIntExprs[state.range(0)].native;
    benchmark::DoNotOptimize(fn);
    Sweep(state, IntPoint, [&](I x, I y) { return fn(x, y); });
}

void BM_ComplexQuorel(benchmark::State &state) {
    const ComplexExpr &e = kComplexExprs[state.range(0)];
    InitQuorel();
    void *h = nullptr;
    int n, b, en;
    QuorelComplex *para;
    if (ComplexCom(("(x,y)=" + std::string(e.text)).c_str(), 0, &h, &n, &para, &b, &en) != 0) {
        state.SkipWithError("compile error");
        FreeQuorel();
        return;
    }
    Sweep(state, ComplexPoint, [&](C x, C y) {
        para[0] = {x.real(), x.imag()};
        para[1] = {y.real(), y.imag()};
        QuorelComplex r;
        ComplexCal(&r, h, para);
        return C(r.re, r.im);
    });
    FreeQuorel();
    state.SetLabel(e.text);
}

void BM_ComplexNative(benchmark::State &state) {
    auto *fn = kComplexExprs[state.range(0)].native;
    benchmark::DoNotOptimize(fn);
    Sweep(state, ComplexPoint, [&](C x, C y) { return fn(x, y); });
}

void IntArgs(benchmark::internal::Benchmark *b) {
    for (int i = 0; i < int(std::size(kIntExprs)); ++i) b->Arg(i);
}
void ComplexArgs(benchmark::internal::Benchmark *b) {
    for (int i = 0; i < int(std::size(kComplexExprs)); ++i) b->Arg(i);
}

}  // namespace

BENCHMARK(BM_IntNative)->Apply(IntArgs);
BENCHMARK(BM_IntQuorel)->Apply(IntArgs);
BENCHMARK(BM_ComplexNative)->Apply(ComplexArgs);
BENCHMARK(BM_ComplexQuorel)->Apply(ComplexArgs);

BENCHMARK_MAIN();
