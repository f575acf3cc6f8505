// Compile time against the length of dot-call chains and of headers, to show how it
// scales. Warm runs reuse the work areas a first compile grew; cold runs start from a
// fresh engine each time and include the restarts that grow them.
//
//   build/bench/compile_scale_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "Quorel32.h"

namespace {

std::string Chain(int calls) {
    std::string s = "(x)=x";
    for (int i = 0; i < calls; ++i) s += ".f()";
    return s;
}

// Every leading-argument form: `a.b.g()`, `a.(b).g()`, `a.g(b)`, `a.[b].g()`.
std::string MixedChain(int calls) {
    static const char *const kSteps[] = {".b.g()", ".(b).g()", ".g(b)", ".[b].g()"};
    std::string s = "(a,b)=a";
    for (int i = 0; i < calls; ++i) s += kSteps[i % 4];
    return s;
}

std::string Names(int count) {
    std::string s = "(";
    for (int i = 0; i < count; ++i) s += (i ? ",p" : "p") + std::to_string(i);
    return s;
}

std::string Header(int params) {
    return Names(params) + ")=p0";
}

// The one repeat is the last name, so the whole header is read.
std::string RepeatAtEnd(int params) {
    return Names(params) + ",p0)=1";
}

// Every parameter is used once in the body.
std::string HeaderAndBody(int params) {
    std::string s = Names(params) + ")=p0";
    for (int i = 1; i < params; ++i) s += "+p" + std::to_string(i);
    return s;
}

void Prepare() {
    InitQuorel();
    void *h = nullptr;
    int nPara, eb, ee;
    double *para;
    RealCom("f(x)=x+1", 1, &h, &nPara, &para, &eb, &ee);
    h = nullptr;
    RealCom("g(x,y)=x-y", 1, &h, &nPara, &para, &eb, &ee);
}

// One compile; the record is deleted again so that runs do not pile up.
bool CompileOnce(const std::string &text, int expect) {
    void *h = nullptr;
    int nPara, eb, ee;
    double *para;
    int rc = RealCom(text.c_str(), 1, &h, &nPara, &para, &eb, &ee);
    if (rc == 0) DeleteFor(2, h);
    if (rc != expect) std::fprintf(stderr, "result %d, expected %d\n", rc, expect);
    return rc == expect;
}

void Run(benchmark::State &state, std::string (*make)(int), int expect, bool cold) {
    const int n = static_cast<int>(state.range(0));
    const std::string text = make(n);
    Prepare();
    if (!cold && !CompileOnce(text, expect)) {  // grows the work areas
        state.SkipWithError("unexpected compile result");
        FreeQuorel();
        return;
    }
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            Prepare();
            state.ResumeTiming();
        }
        if (!CompileOnce(text, expect)) {
            state.SkipWithError("unexpected compile result");
            break;
        }
    }
    FreeQuorel();
    state.SetComplexityN(n);
    state.counters["bytes/s"] = benchmark::Counter(static_cast<double>(text.size()),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DotChain(benchmark::State &s) {
    Run(s, Chain, 0, false);
}
void BM_DotChainCold(benchmark::State &s) {
    Run(s, Chain, 0, true);
}
void BM_DotChainMixed(benchmark::State &s) {
    Run(s, MixedChain, 0, false);
}
void BM_Header(benchmark::State &s) {
    Run(s, Header, 0, false);
}
void BM_HeaderCold(benchmark::State &s) {
    Run(s, Header, 0, true);
}
void BM_HeaderRepeatAtEnd(benchmark::State &s) {
    Run(s, RepeatAtEnd, 35, false);
}
void BM_HeaderAndBody(benchmark::State &s) {
    Run(s, HeaderAndBody, 0, false);
}

void Sizes(benchmark::internal::Benchmark *b) {
    b->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
}
void Fitted(benchmark::internal::Benchmark *b) {
    Sizes(b);
    b->Complexity();
}

}  // namespace

BENCHMARK(BM_DotChain)->Apply(Fitted);
BENCHMARK(BM_DotChainMixed)->Apply(Fitted);
BENCHMARK(BM_Header)->Apply(Fitted);
BENCHMARK(BM_HeaderRepeatAtEnd)->Apply(Fitted);
BENCHMARK(BM_HeaderAndBody)->Apply(Fitted);
// A cold compile grows each work area by doubling, compiling the whole text again
// after every step: some log2(n) passes, so no simple fit.
BENCHMARK(BM_DotChainCold)->Apply(Sizes);
BENCHMARK(BM_HeaderCold)->Apply(Sizes);

BENCHMARK_MAIN();
