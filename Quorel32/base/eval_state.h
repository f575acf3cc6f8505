// What the evaluators keep between activations: the count of activations on the
// machine stack, the recursive calls continued inside one dispatch loop, and the run
// control (step budget and interrupt) of the evaluation under way.
#pragma once
#include <atomic>
#include <cstdint>

namespace quorel {

// A recursive call continued in its caller's dispatch loop: where the caller resumes
// at the callee's OpEnd. Domain-neutral; the loop knows its element type.
struct SelfReturn {
    const std::uint8_t *pc;   // at the call's copy-back markers
    const std::intptr_t *op;  // at its copy-back operands
    const void *kc;
    void *P, *F;  // the caller's parameters and automatic variables
    int saved;    // evaluation stack usage before the callee's frame
};
constexpr int kSelfCallMax = 1024;

// Stops a runaway evaluation. Steps are counted where work repeats (loop back-edges,
// formula calls, the points of the summing built-ins); the counter `left` runs down
// to the next moment the interrupt request and the limit are looked at.
struct RunControl {
    long long limit;        // steps for each outermost evaluation; 0: unlimited
    long long left;         // steps before the next look
    long long fill;         // what `left` was last set to
    long long used;         // steps counted before that
    bool active;            // an outermost evaluation is under way
    bool stopping;          // it has been stopped: every activation unwinds
    std::uintptr_t epochs;  // outermost evaluations started so far
    // The only state other threads touch (InterruptQuorel, maybe from a signal
    // handler): the epoch of the evaluation under way (0: none) and the epoch an
    // interrupt was asked for. An interrupt names its evaluation, so one that comes
    // too late never stops the next.
    std::atomic<std::uintptr_t> running;
    std::atomic<std::uintptr_t> interrupt;
};
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free,
              "the interrupt flag must be safe in a signal handler");

struct EvalState {
    // Activations that left a dispatch loop through a call and have not returned:
    // bounded, because each holds machine stack.
    int activations;
    int selfCallsUsed;
    SelfReturn selfCalls[kSelfCallMax];
    RunControl run;
};

}  // namespace quorel
