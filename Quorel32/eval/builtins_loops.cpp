// Built-ins that evaluate a real formula, named by a string literal, many times:
// sum and pro over a grid, DataSum and DataPro over data groups, SimpIntegrate.
#include <cmath>
#include <cstdint>

#include "../base/alloc.h"
#include "../base/domain.h"
#include "../base/runerr.h"
#include "builtin_util.h"
#include "builtins.h"
#include "point_stream.h"
#include "run_control.h"

namespace quorel {

namespace {

// The formula a built-in evaluates: handle, parameter area and ParamLast.
struct Target {
    void *handle;
    double *para;
    int paramLast;
};

// 0, or the FunCode for a name offset out of range or a formula that is not found.
int FindTarget(double nameArg, CallerInfo *caller, Target &t) {
    const char *name = CallerText(caller, TruncToInt(nameArg));
    if (!name) return LoopBadName;
    int module = 0;
    void *para = nullptr;
    if (!GetFor(name, DomainReal, caller, &module, &t.handle, &para, &t.paramLast))
        return LoopNotFound;
    t.para = static_cast<double *>(para);
    return 0;
}

// One point or refinement; true when the evaluation has been stopped.
bool Step(const CallerInfo *caller) {
    return StepStops(DomainReal, caller ? caller->handle : nullptr);
}

double Fail(const char *name, int code, CallerInfo *caller) {
    ReportRunErr(DomainReal, name, code, caller);
    return 0;
}

// One grid dimension: the points lo + k * step for k = 0 .. last.
struct Axis {
    double lo, step;
    std::int64_t last, index;
};

// Every grid point is visited once, dimension 0 fastest, each range's minimum first.
// Coordinates come from the indices before each evaluation, never from repeated
// addition, and are rewritten every time, so a formula that assigns to its
// parameters cannot shift the points that follow.
double Grid(int m, double *x, CallerInfo *caller, bool product) {
    const char *fn = product ? "pro" : "sum";
    if (ErrPending()) return 0;
    if (m < 0) return Fail(fn, LoopArgCount, caller);
    Target t;
    if (int code = FindTarget(x[0], caller, t)) return Fail(fn, code, caller);
    if (t.paramLast < 0) return Fail(fn, LoopNoParameters, caller);
    int dims = t.paramLast + 1;
    if (static_cast<std::int64_t>(m) + 1 != 3 * static_cast<std::int64_t>(dims) + 1)
        return Fail(fn, LoopArgCount, caller);
    auto *axes = qnew<Axis>(dims);
    if (!axes) return Fail(fn, LoopNoMemory, caller);
    for (int i = 0; i < dims; ++i) {
        double lo = x[1 + 3 * i], hi = x[2 + 3 * i], step = x[3 + 3 * i];
        if (hi < lo || !(step > 0)) {
            qfree(axes);
            return Fail(fn, LoopBadRange, caller);
        }
        axes[i] = Axis{lo, step, TruncToInt((hi - lo) / step), 0};
    }
    double acc = product ? 1 : 0;
    bool more = true;
    auto next = [&](double *row) {
        if (!more || Step(caller)) return false;
        for (int i = 0; i < dims; ++i)
            row[i] = static_cast<double>(axes[i].index) * axes[i].step + axes[i].lo;
        int i = 0;
        while (i < dims && ++axes[i].index > axes[i].last) axes[i++].index = 0;
        more = i != dims;
        return true;
    };
    EachPointValue(t.handle, t.para, dims, next,
                   [&](double r) { acc = product ? acc * r : acc + r; });
    qfree(axes);
    return ErrPending() ? 0 : acc;
}

double Data(int m, double *x, CallerInfo *caller, bool product) {
    const char *fn = product ? "DataPro" : "DataSum";
    if (ErrPending()) return 0;
    if (m < 1) return Fail(fn, LoopArgCount, caller);
    Target t;
    if (int code = FindTarget(x[0], caller, t)) return Fail(fn, code, caller);
    if (t.paramLast < 0) return Fail(fn, LoopNoParameters, caller);
    int group = t.paramLast + 1;
    if (m % group != 0) return Fail(fn, LoopArgCount, caller);
    double acc = product ? 1 : 0;
    int first = 1;
    auto next = [&](double *row) {
        if (first + group - 1 > m || Step(caller)) return false;
        for (int i = 0; i < group; ++i) row[i] = x[first + i];
        first += group;
        return true;
    };
    EachPointValue(t.handle, t.para, group, next,
                   [&](double r) { acc = product ? acc * r : acc + r; });
    if (Stopping()) return 0;
    return acc;
}

// Refinement stops at this many subintervals: an integrand that does not converge
// (or eps <= 0) would otherwise keep the host busy for ever.
constexpr std::int64_t kMaxIntervals = std::int64_t{1} << 20;

double Simpson(int, double *x, CallerInfo *caller) {
    const char *fn = "SimpIntegrate";
    if (ErrPending()) return 0;
    double a = x[0], b = x[1], eps = x[2];
    Target t;
    if (int code = FindTarget(x[3], caller, t)) return Fail(fn, code, caller);
    if (t.paramLast != 0) return Fail(fn, LoopArgCount, caller);
    auto f = [&t](double at) {
        t.para[0] = at;
        return RealCal(t.handle, t.para);
    };
    double h = b - a;
    double trap = (f(a) + f(b)) * h * 0.5;
    double prev = trap;
    if (std::isnan(eps)) return a;
    for (std::int64_t n = 1; !ErrPending(); n *= 2) {
        if (Step(caller)) return 0;
        if (n > kMaxIntervals) {
            // Not converged: report it, and give the best estimate reached.
            ReportRunErr(DomainReal, fn, SimpNotConverged, caller);
            return prev;
        }
        double s = 0;
        std::int64_t i = 0;
        auto midpoint = [&](double *row) {
            if (i >= n || Stopping()) return false;
            row[0] = a + h * (static_cast<double>(i++) + 0.5);
            return true;
        };
        EachPointValue(t.handle, t.para, 1, midpoint, [&s](double r) { s += r; });
        double next = 0.5 * (trap + s * h);
        double simpson = (4 * next - trap) / 3;
        h *= 0.5;
        if (std::fabs(simpson - prev) < eps) return simpson;
        trap = next;
        prev = simpson;
    }
    return 0;
}

}  // namespace

double QUOREL_CALL RealSum(int m, double *x, CallerInfo *c) {
    return Grid(m, x, c, false);
}
double QUOREL_CALL RealPro(int m, double *x, CallerInfo *c) {
    return Grid(m, x, c, true);
}
double QUOREL_CALL RealDataSum(int m, double *x, CallerInfo *c) {
    return Data(m, x, c, false);
}
double QUOREL_CALL RealDataPro(int m, double *x, CallerInfo *c) {
    return Data(m, x, c, true);
}
double QUOREL_CALL RealSimpIntegrate(int m, double *x, CallerInfo *c) {
    return Simpson(m, x, c);
}

}  // namespace quorel
