// Formula-language workloads (recursion, loops, the summing and integrating built-ins)
// against the same computation in native C++ and, when installed, Lua 5.4.
//
//   build/bench/lang_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "Quorel32.h"

#if HAVE_LUA
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}
#endif

namespace {

// Compiles `text` (module 0) and returns its handle, or null after printing the error.
void *Compile(const char *text, double **para) {
    void *h = nullptr;
    int nPara, eb, ee;
    double *p;
    int rc = RealCom(text, 0, &h, &nPara, &p, &eb, &ee);
    if (rc != 0) {
        std::fprintf(stderr, "compile error %d at %d..%d in %s\n", rc, eb, ee, text);
        return nullptr;
    }
    if (para) *para = p;
    return h;
}

// Runs one workload compiled from `defs` (evaluated once, for definitions and stack
// sizing) and `call` (evaluated per iteration); `expect` guards against wrong answers.
void RunQuorel(benchmark::State &state, const char *const *defs, int nDefs, const char *call,
               double expect) {
    InitQuorel();
    for (int i = 0; i < nDefs; ++i) {
        double *p;
        void *h = Compile(defs[i], &p);
        if (!h) {
            state.SkipWithError("compile error");
            FreeQuorel();
            return;
        }
        if (p && std::strncmp(defs[i], "SetRealStackMax", 15) == 0) RealCal(h, p);
    }
    double *para;
    void *h = Compile(call, &para);
    if (!h) {
        state.SkipWithError("compile error");
        FreeQuorel();
        return;
    }
    double v = 0;
    for (auto _ : state) benchmark::DoNotOptimize(v = RealCal(h, para));
    int err = TestRunErr();
    FreeQuorel();
    if (err != 0 || std::fabs(v - expect) > 1e-6 * (1 + std::fabs(expect)))
        state.SkipWithError("wrong result");
}

// Sum of (k/N)^2 for k = 0..N with N = 2^20 (the step is exact in binary).
constexpr double kSumN = 1048576.0;
const double kSumExpect = (kSumN + 1) * (2 * kSumN + 1) / (6 * kSumN);

const char *kFibDefs[] = {"SetRealStackMax(1000000)",
                          "fib(n)=which(n<2, n, fib(n-1)+fib(n-2))"};
const char *kSquareDefs[] = {"f(x)=x*x"};
const char *kSinDefs[] = {"g(x)=sin(x)"};

void BM_FibQuorel(benchmark::State &state) { RunQuorel(state, kFibDefs, 2, "fib(30)", 832040); }
void BM_LoopQuorel(benchmark::State &state) {
    RunQuorel(state, nullptr, 0, "(: s, i)= s=0, i=1, while(i<=10000000, s=s+i, i++), s",
              50000005000000.0);
}
void BM_SumQuorel(benchmark::State &state) {
    RunQuorel(state, kSquareDefs, 1, "sum(\"f\", 0, 1, 0.00000095367431640625)", kSumExpect);
}
void BM_SimpQuorel(benchmark::State &state) {
    RunQuorel(state, kSinDefs, 1, "SimpIntegrate(0, 3.141592653589793, 1e-10, \"g\")", 2.0);
}

double NativeFib(volatile double n) { return n < 2 ? n : NativeFib(n - 1) + NativeFib(n - 2); }
void BM_FibNative(benchmark::State &state) {
    for (auto _ : state) benchmark::DoNotOptimize(NativeFib(30));
}
void BM_LoopNative(benchmark::State &state) {
    for (auto _ : state) {
        double s = 0;
        for (volatile double i = 1; i <= 1e7; i = i + 1) s = s + i;
        benchmark::DoNotOptimize(s);
    }
}
void BM_SumNative(benchmark::State &state) {
    double (*volatile f)(double) = [](double x) { return x * x; };
    for (auto _ : state) {
        double s = 0;
        for (int k = 0; k <= 1048576; ++k) s += f(k / kSumN);
        benchmark::DoNotOptimize(s);
    }
}

#if HAVE_LUA
void RunLua(benchmark::State &state, const char *chunk, const char *fn, double expect) {
    lua_State *L = luaL_newstate();
    luaL_openlibs(L);
    if (luaL_dostring(L, chunk) != LUA_OK) {
        state.SkipWithError(lua_tostring(L, -1));
        lua_close(L);
        return;
    }
    double v = 0;
    for (auto _ : state) {
        lua_getglobal(L, fn);
        lua_call(L, 0, 1);
        v = lua_tonumber(L, -1);
        lua_pop(L, 1);
    }
    lua_close(L);
    if (std::fabs(v - expect) > 1e-6 * (1 + std::fabs(expect))) state.SkipWithError("wrong result");
}

void BM_FibLua(benchmark::State &state) {
    RunLua(state,
           "local function fib(n) if n < 2 then return n end return fib(n-1) + fib(n-2) end\n"
           "function run() return fib(30.0) end",
           "run", 832040);
}
void BM_LoopLua(benchmark::State &state) {
    RunLua(state,
           "function run() local s, i = 0.0, 1.0 while i <= 1e7 do s = s + i i = i + 1 end "
           "return s end",
           "run", 50000005000000.0);
}
void BM_SumLua(benchmark::State &state) {
    RunLua(state,
           "local function f(x) return x * x end\n"
           "function run() local s = 0.0 for k = 0, 1048576 do s = s + f(k / 1048576.0) end "
           "return s end",
           "run", kSumExpect);
}
#endif

}  // namespace

BENCHMARK(BM_FibNative)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FibQuorel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopNative)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopQuorel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumNative)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumQuorel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimpQuorel)->Unit(benchmark::kMillisecond);
#if HAVE_LUA
BENCHMARK(BM_FibLua)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopLua)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumLua)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK_MAIN();
