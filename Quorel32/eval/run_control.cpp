#include "run_control.h"

#include "../base/runerr.h"

namespace quorel {

namespace {

// Steps between looks at the interrupt request when no limit is nearer: small enough
// that an interrupt takes effect within microseconds in any loop, large enough that
// the look costs nothing measurable.
constexpr long long kLookEvery = 1024;

void Fill(RunControl &r) {
    long long room = r.limit > 0 ? r.limit - r.used : kLookEvery;
    r.fill = room < kLookEvery ? room : kLookEvery;
    r.left = r.fill;
}

// The stop replaces an error recorded earlier in the run: the value the evaluation
// returns is no longer the formula's, and the host must be able to tell.
void Stop(RunControl &r, int type, int forType, void *handle) {
    r.stopping = true;
    g.runErr = RunErrSlot{type, nullptr, 0, forType, handle};
}

}  // namespace

bool RunStopped(int forType, void *handle) {
    RunControl &r = g.eval.run;
    if (!r.stopping) {
        r.used += r.fill - r.left;  // left is -1 here: the fill and this step
        const std::uintptr_t epoch = r.running.load(std::memory_order_relaxed);
        if (epoch != 0 && r.interrupt.load(std::memory_order_relaxed) == epoch)
            Stop(r, QUOREL_RUNERR_INTERRUPTED, forType, handle);
        else if (r.limit > 0 && r.used > r.limit)
            Stop(r, QUOREL_RUNERR_STEP_LIMIT, forType, handle);
        else
            Fill(r);
    }
    if (r.stopping) r.left = r.fill = 0;  // every later step comes back here
    return r.stopping;
}

bool InterruptStops(int forType, void *handle) {
    RunControl &r = g.eval.run;
    const std::uintptr_t epoch = r.running.load(std::memory_order_relaxed);
    if (!r.stopping && epoch != 0 && r.interrupt.load(std::memory_order_relaxed) == epoch) {
        Stop(r, QUOREL_RUNERR_INTERRUPTED, forType, handle);
        r.left = r.fill = 0;
    }
    return r.stopping;
}

void RunScope::Begin() {
    RunControl &r = g.eval.run;
    r.active = true;
    r.stopping = false;
    r.used = 0;
    Fill(r);
    std::uintptr_t epoch = ++r.epochs;
    if (epoch == 0) epoch = ++r.epochs;
    r.running.store(epoch, std::memory_order_relaxed);
    // A request that named an evaluation which had already ended is dropped.
    std::uintptr_t asked = r.interrupt.load(std::memory_order_relaxed);
    if (asked != 0 && asked != epoch) r.interrupt.compare_exchange_strong(asked, 0);
}

void RunScope::End() {
    RunControl &r = g.eval.run;
    std::uintptr_t epoch = r.running.load(std::memory_order_relaxed);
    r.running.store(0, std::memory_order_relaxed);
    r.interrupt.compare_exchange_strong(epoch, 0);
    r.active = false;
    r.stopping = false;
}

void RestartBudget() {
    RunControl &r = g.eval.run;
    if (r.stopping) return;
    r.used = 0;
    Fill(r);
}

}  // namespace quorel
