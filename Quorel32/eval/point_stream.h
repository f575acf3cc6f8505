// A real formula evaluated at a stream of points, as the built-ins that sum,
// multiply or integrate a formula do. A plain formula runs through its program a
// block of points at a time; any other, one evaluation per point. Either way the
// values arrive in point order, so accumulations add up in the same order.
#pragma once
#include "../base/alloc.h"
#include "../include/Quorel32.h"
#include "program.h"

namespace quorel {

inline constexpr int kStreamBlock = 256;

// `next(row)` writes the next point's `dims` parameters into `row` and returns
// false when there is none; `take(value)` receives each value in turn. `para` is the
// formula's own parameter area; it ends holding the last point, as after a loop of
// RealCal calls.
template <class Next, class Take>
void EachPointValue(void *handle, double *para, int dims, Next next, Take take) {
    void *prog = FindProgram(static_cast<CompiledFormula *>(handle));
    std::size_t cells = static_cast<std::size_t>(dims) * (kStreamBlock + 1) + kStreamBlock;
    double *buf = prog ? static_cast<double *>(qalloc(sizeof(double) * cells)) : nullptr;
    auto **cols = buf ? static_cast<const double **>(qalloc(sizeof(double *) * dims)) : nullptr;
    if (!cols) {
        qfree(buf);
        while (next(para)) take(RealCal(handle, para));
        return;
    }
    double *out = buf + static_cast<std::size_t>(dims) * kStreamBlock, *row = out + kStreamBlock;
    for (int i = 0; i < dims; ++i) cols[i] = buf + static_cast<std::size_t>(i) * kStreamBlock;
    bool more = true;
    while (more) {
        int m = 0;
        while (m < kStreamBlock && (more = next(row))) {
            for (int i = 0; i < dims; ++i) const_cast<double *>(cols[i])[m] = row[i];
            ++m;
        }
        if (m == 0) break;
        RunRealProgramBatch(prog, m, cols, para, out, row);
        for (int j = 0; j < m; ++j) take(out[j]);
        for (int i = 0; i < dims; ++i) para[i] = cols[i][m - 1];
    }
    qfree(cols);
    qfree(buf);
}

}  // namespace quorel
