// Stopping a runaway evaluation: a step budget for each outermost evaluation and an
// interrupt from any thread. Steps are counted only where work repeats (loop
// back-edges, formula calls, the points of the summing built-ins), so a straight-line
// formula pays nothing; a counted step costs a decrement and a branch.
#pragma once
#include "../base/engine.h"

namespace quorel {

// The slow path of a step: looks at the interrupt request and the limit, and records
// the stop (naming the formula that was running) the first time. True: unwind.
bool RunStopped(int forType, void *handle);

// One step; true when the evaluation must stop.
inline bool StepStops(int forType, void *handle) {
    return --g.eval.run.left < 0 && RunStopped(forType, handle);
}

// The evaluation under way has been stopped: whoever gets control back unwinds.
inline bool Stopping() {
    return g.eval.run.stopping;
}

// After a call into host code, which may take long: an interrupt is looked at now,
// not only at the next look of the step count.
bool InterruptStops(int forType, void *handle);
inline bool StoppedAfterHostCall(int forType, void *handle) {
    return g.eval.run.stopping || (g.eval.run.interrupt.load(std::memory_order_relaxed) != 0 &&
                                   InterruptStops(forType, handle));
}

// One outermost evaluation (an evaluate export called by the host, not from inside
// an evaluation): gives it a fresh budget and makes it the target of interrupts.
class RunScope {
  public:
    RunScope() : outer_(!g.eval.run.active) {
        if (outer_) Begin();
    }
    ~RunScope() {
        if (outer_) End();
    }
    RunScope(const RunScope &) = delete;
    RunScope &operator=(const RunScope &) = delete;

  private:
    static void Begin();
    static void End();
    bool outer_;
};

// A fresh budget inside a scope, for each point of a batch.
void RestartBudget();

}  // namespace quorel
