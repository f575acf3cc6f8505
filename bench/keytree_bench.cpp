// How the key tree's insert, search and remove scale with key length and key count.
// Keys are random bytes, the worst case for memory: paths share only their first
// few levels. The grid keeps count x length within a few hundred MB of nodes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "keys/keytree.h"

namespace {

using quorel::KeyFreeAll;
using quorel::KeyInsert;
using quorel::KeyRemove;
using quorel::KeySearch;

constexpr int kType = 256;

std::vector<std::string> RandomKeys(int length, int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> keys(count, std::string(length, '\0'));
    for (std::string &k : keys)
        for (char &c : k) c = static_cast<char>(rng());
    return keys;
}

void InsertAll(const std::vector<std::string> &keys) {
    for (const std::string &k : keys)
        KeyInsert(k.data(), static_cast<int>(k.size()), kType, nullptr, nullptr, nullptr);
}

void Report(benchmark::State &state, std::int64_t perIteration) {
    state.SetItemsProcessed(state.iterations() * perIteration);
    state.counters["ns_per_key"] =
        benchmark::Counter(static_cast<double>(state.iterations() * perIteration) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Insert(benchmark::State &state) {
    auto keys = RandomKeys(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1);
    for (auto _ : state) {
        InsertAll(keys);
        state.PauseTiming();
        KeyFreeAll();
        state.ResumeTiming();
    }
    Report(state, state.range(1));
}

void BM_Search(benchmark::State &state) {
    auto keys = RandomKeys(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 2);
    InsertAll(keys);
    std::vector<int> order(keys.size());
    std::mt19937 rng(3);
    for (int &i : order) i = static_cast<int>(rng() % keys.size());
    for (auto _ : state) {
        for (int i : order) {
            const std::string &k = keys[i];
            benchmark::DoNotOptimize(KeySearch(k.data(), static_cast<int>(k.size()), kType));
        }
    }
    KeyFreeAll();
    Report(state, state.range(1));
}

void BM_SearchMissing(benchmark::State &state) {
    auto keys = RandomKeys(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 2);
    InsertAll(keys);
    auto absent = RandomKeys(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 4);
    for (auto _ : state) {
        for (const std::string &k : absent)
            benchmark::DoNotOptimize(KeySearch(k.data(), static_cast<int>(k.size()), kType));
    }
    KeyFreeAll();
    Report(state, state.range(1));
}

void BM_Remove(benchmark::State &state) {
    auto keys = RandomKeys(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 5);
    for (auto _ : state) {
        state.PauseTiming();
        InsertAll(keys);
        state.ResumeTiming();
        for (const std::string &k : keys) KeyRemove(k.data(), static_cast<int>(k.size()), kType);
    }
    Report(state, state.range(1));
}

// Key length 4..256 bytes, key count 1e3..1e6, count x length at most 4e6 bytes.
void Grid(benchmark::internal::Benchmark *b) {
    for (int length : {4, 16, 64, 256})
        for (int count : {1000, 10000, 100000, 1000000})
            if (static_cast<std::int64_t>(length) * count <= 4000000) b->Args({length, count});
    b->ArgNames({"len", "keys"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Insert)->Apply(Grid);
BENCHMARK(BM_Search)->Apply(Grid);
BENCHMARK(BM_SearchMissing)->Apply(Grid);
BENCHMARK(BM_Remove)->Apply(Grid);

}  // namespace

BENCHMARK_MAIN();
