// A real program over many points, as the block runners see it: the buffers one
// call owns and the runners compiled for each instruction set.
#pragma once
#include <cstdint>

#include "program.h"

namespace quorel {

// Points per block: the stack and the `which` blocks of a program stay in the L1 cache.
inline constexpr int kBlock = 128;

// Which points a `which` form's step counts for: all bits set, or none.
using Mask = std::uint64_t;

// The blocks of one open `which` form: its first condition, the value chosen so far,
// where a value was chosen, where the pair or default being evaluated counts, and
// where the form counts at all (null: everywhere; else the enclosing form's `now`).
struct BlockForm {
    double *first, *chosen;
    Mask *done, *now;
    const Mask *base;
};

struct BlockJob {
    Program<RealDomain> *prog;
    int n;                         // points
    int count;                     // parameters
    const double *const *columns;  // columns[i] or null: parameter i's values
    double *results;
    bool direct;         // results take a full block's values in place
    const double **p;    // count pointers: the current block of each parameter
    double *fixed;       // count blocks: the slot value of a parameter without column
    double *tails;       // count blocks: a column's last, partial block
    double *stack;       // depth + 1 blocks
    double **el;         // depth + 1 pointers: the blocks of the stack elements
    double *formValues;  // 2 blocks per form level
    Mask *formMasks;     // 2 blocks per form level
    BlockForm *forms;    // nesting entries
    double *lastOut;     // one block: results that cannot go in place
};

// The runners for baseline x86-64 (or any other target) and for AVX2. Both run the
// same IEEE operations in the same order, so they agree to the bit.
namespace block_base {
void RunBlocks(const BlockJob &job);
}
namespace block_avx2 {
void RunBlocks(const BlockJob &job);
}

// Whether the processor has the wider runner; RealCalBatch then uses it unless the
// baseline one is forced (tests run both).
bool WideBlocksAvailable();
void ForceBaselineBlocks(bool force);

}  // namespace quorel
