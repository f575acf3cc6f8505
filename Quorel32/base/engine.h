// The engine state: the process-wide variables of the engine gathered in one structure,
// kept in one visible place. Nothing here is per-thread; the host calls from one thread.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "../include/Quorel32.h"
#include "build_buffers.h"
#include "eval_state.h"
#include "formula.h"
#include "keynode.h"

namespace quorel {

struct RunErrSlot {
    int errType;  // 0: none pending
    char *funName;
    int funCode;
    int forType;
    void *forHandle;
};

// Recursion stack of one domain's evaluator.
struct EvalStack {
    void *data;
    int max;                    // capacity in elements
    int used = 1;               // first free element; element 0 is never used
    std::uint8_t copyArgs = 1;  // 1: nested activations copy their arguments
    int nestedDepth;            // nested activations running on this stack
    // A resize asked for while nested activations run: their frames live in `data`,
    // so the new stack waits here until the last of them has ended.
    void *pendingData;
    int pendingMax;
};

// State of EnumKeyTypeValue (and the key check of LockKeyType).
struct EnumState {
    int type;
    char *buffer;
    int size;
    QuorelEnumCallback callback;
    bool goOn;
    int depth;
};

// Programs of plain formulas (eval/program.h); each hangs off its record.
struct ProgramTable {
    std::size_t count;  // programs alive
};

// Every installed formula record, so that a pointer can be told to be a live handle
// without reading through it: open addressing with linear probing, at most half full.
struct LiveFormulaSet {
    const CompiledFormula **slots;  // mask + 1 of them, null until the first formula
    std::size_t mask;
    std::size_t count;
};

// Counters of the allocation seam (base/alloc.h). Atomic because plain formulas may be
// evaluated from several threads at once, and their batch buffers come from the seam.
struct AllocCounters {
    std::atomic<long> failAt;  // running number of the allocation made to fail; 0: none
    std::atomic<long> count;   // allocations since the last arming
};

struct Engine {
    AllocCounters alloc;
    BuildBuffers build;
    CompiledFormula *unnamed[3];  // unnamed formulas per domain (index domain - 1)
    KeyNode root;                 // the key tree's root: the empty key, never freed
    RunErrSlot runErr;
    QuorelFreeCallback freeCallback;
    EvalStack stacks[3];        // per domain (index domain - 1)
    std::uint8_t teardown = 1;  // 1 normally; 0 while FreeQuorel sweeps formulas
    // Compiles (their lock test, a failed record's release run) and deletions (the
    // release run, the free callback) under way: host code they run must not tear
    // the engine down under them. Running evaluations are seen by their formulas'
    // run state instead, which keeps the evaluation exports free of bookkeeping.
    int busy;
    EnumState enumState;
    ProgramTable programs;
    LiveFormulaSet live;
    alignas(16) unsigned char lastCross[16];  // raw result of the last cross-domain call
    EvalState eval;
};

extern Engine g;

inline EvalStack &StackOf(int domain) {
    return g.stacks[domain - 1];
}

// Marks an engine call that may run host code for its whole extent.
struct BusyScope {
    BusyScope() { ++g.busy; }
    ~BusyScope() { --g.busy; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
};

}  // namespace quorel
