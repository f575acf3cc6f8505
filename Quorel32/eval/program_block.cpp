// A real program over many points: the buffers of one call, and the choice of the
// block runner for this processor.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "../base/alloc.h"
#include "block_job.h"

namespace quorel {

namespace {

std::atomic<bool> forceBaseline{false};

// Buffers up to this size live on the C stack: most programs need a few blocks, and a
// call per few thousand points should not pay for the heap.
constexpr std::size_t kLocalBytes = 20 * 1024;
constexpr std::size_t kAlign = 64;

std::size_t Round(std::size_t bytes) {
    return (bytes + kAlign - 1) / kAlign * kAlign;
}

// Carves the job's buffers out of `mem` (aligned to kAlign); with a null `mem`, only
// counts the bytes.
std::size_t Lay(BlockJob &job, char *mem) {
    const Program<RealDomain> *prog = job.prog;
    const std::size_t block = sizeof(double) * kBlock;
    const std::size_t count = static_cast<std::size_t>(job.count);
    const std::size_t elements = static_cast<std::size_t>(prog->depth) + 1;
    const std::size_t levels = static_cast<std::size_t>(prog->nesting);
    std::size_t at = 0;
    auto take = [&](std::size_t bytes) {
        char *p = mem ? mem + at : nullptr;
        at += Round(bytes);
        return p;
    };
    job.fixed = reinterpret_cast<double *>(take(block * count));
    job.tails = reinterpret_cast<double *>(take(block * count));
    job.stack = reinterpret_cast<double *>(take(block * elements));
    job.formValues = reinterpret_cast<double *>(take(block * 2 * levels));
    job.formMasks = reinterpret_cast<Mask *>(take(block * 2 * levels));
    job.lastOut = reinterpret_cast<double *>(take(block));
    job.el = reinterpret_cast<double **>(take(sizeof(double *) * elements));
    job.p = reinterpret_cast<const double **>(take(sizeof(double *) * (count + 1)));
    job.forms = reinterpret_cast<BlockForm *>(take(sizeof(BlockForm) * (levels + 1)));
    return at;
}

// Whether any column shares memory with the results: then the program's stack cannot
// live in them, as a later step may still read a column the first one overwrote.
bool Overlaps(const double *const *columns, int count, const double *results, int n) {
    if (!columns) return false;
    auto lo = reinterpret_cast<std::uintptr_t>(results);
    auto hi = reinterpret_cast<std::uintptr_t>(results + n);
    for (int i = 0; i < count; ++i) {
        auto c = reinterpret_cast<std::uintptr_t>(columns[i]);
        if (columns[i] && c < hi && lo < c + sizeof(double) * static_cast<std::size_t>(n))
            return true;
    }
    return false;
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

bool WideBlocksAvailable() {
#if QUOREL_WIDE_BLOCKS
    // Also asks whether the system saves the wide registers.
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return false;
#endif
}

void ForceBaselineBlocks(bool force) {
    forceBaseline.store(force, std::memory_order_relaxed);
}

void RunRealProgramBatch(void *program, int n, const double *const *columns, const double *slots,
                         double *results, double *para) {
    BlockJob job{};
    job.prog = static_cast<Program<RealDomain> *>(program);
    job.n = n;
    job.count = static_cast<int>(job.prog->f->ints[ParamLast]) + 1;
    job.columns = columns;
    job.results = results;
    job.direct = !Overlaps(columns, job.count, results, n);
    const std::size_t bytes = Lay(job, nullptr) + kAlign;
    alignas(kAlign) char local[kLocalBytes];
    char *heap = bytes > sizeof local ? static_cast<char *>(qalloc(bytes)) : nullptr;
    if (bytes > sizeof local && !heap) {
        EachPoint(program, n, columns, slots, results, para, job.count);
        return;
    }
    char *mem = heap ? heap : local;
    mem += (kAlign - reinterpret_cast<std::uintptr_t>(mem) % kAlign) % kAlign;
    Lay(job, mem);
    // Padding points read zeros, and a parameter without column its slot, read once
    // as every point would.
    if (n % kBlock != 0)
        std::memset(job.tails, 0, sizeof(double) * kBlock * static_cast<std::size_t>(job.count));
    for (int i = 0; i < job.count; ++i) {
        if (columns && columns[i]) continue;
        double *f = job.fixed + static_cast<std::size_t>(kBlock) * i;
        for (int j = 0; j < kBlock; ++j) f[j] = slots[i];
    }
#if QUOREL_WIDE_BLOCKS
    if (WideBlocksAvailable() && !forceBaseline.load(std::memory_order_relaxed))
        block_avx2::RunBlocks(job);
    else
#endif
        block_base::RunBlocks(job);
    qfree(heap);
}

}  // namespace quorel
