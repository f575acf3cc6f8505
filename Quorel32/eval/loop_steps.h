// The steps of a register form (loop_form.h), shared by its translator and runner.
#pragma once
#include <cstdint>

#include "../base/formula.h"
#include "program.h"

namespace quorel {

// Steps without an operation family. R is the record's values array; a, b, d are
// slots in it, j and j2 step indices; a step on a cell names it by its place b in the
// form's list of cells.
// clang-format off
#define QUOREL_LOOP_PLAIN(X)                                                                \
    X(End)       /* result R[a] */                                                          \
    X(EndZero)   /* result zero (the stack is empty) */                                     \
    X(Copy)      /* R[d] = R[a] */                                                          \
    X(Zero)      /* R[d] = 0 */                                                             \
    X(Inc)       /* R[a] += 1 */                                                            \
    X(Dec)       /* R[a] -= 1 */                                                            \
    X(PostInc)   /* R[d] = R[a], then R[a] += 1 */                                          \
    X(PostDec)                                                                              \
    X(Neg)       /* R[d] = -R[a] */                                                         \
    X(Not)                                                                                  \
    X(TestVal)   /* c = R[a]; unless c holds (and, with flag, no error is pending):        \
                    R[d] = c, go to j */                                                    \
    X(LoopVal)   /* a step of the budget, then TestVal, else go to j2 */                    \
    X(UntilVal)  /* c = R[a]; unless c holds or an error is pending: a step of the budget, \
                    go to j; else R[d] = 0 */                                               \
    X(Back)      /* a step of the budget, go to j */                                        \
    X(Jump)      /* go to j */                                                              \
    X(Continue)  /* an error pending: the result is R[a] (zero if a < 0); else as Back */   \
    X(WhichFail) /* reports that no `which` condition held */                               \
    X(LoadCell)  /* R[d] = *cell (a common or module variable) */                           \
    X(StoreCell) /* *cell = R[a] */                                                         \
    X(IncCell)   /* *cell += 1, then R[d] = *cell */                                        \
    X(DecCell)                                                                              \
    X(CellInc)   /* R[d] = *cell, then *cell += 1 */                                        \
    X(CellDec)
// clang-format on

enum LoopHandler : int {
#define QUOREL_LOOP_ENUM(n) L##n,
    QUOREL_LOOP_PLAIN(QUOREL_LOOP_ENUM)
#undef QUOREL_LOOP_ENUM
    // The binary operations from OpAdd to OpOr, in code order, in four families:
    // R[d] = R[a] op R[b], and the three tests above with c = R[a] op R[b].
    LBin,
    LTest = LBin + (OpOr - OpAdd + 1),
    LLoop = LTest + (OpOr - OpAdd + 1),
    LUntil = LLoop + (OpOr - OpAdd + 1),
    LIntr = LUntil + (OpOr - OpAdd + 1),  // R[d] = f(R[a]), codes 46 to 60
    LCount = LIntr + 15,
};

template <class D>
struct LoopStep {
    const void *h;  // handler label (computed goto) or handler number
    std::int32_t d, a, b;
    std::int32_t j, j2;
    std::int32_t flag;  // TestVal and LTest: also leave when an error is pending
};

// Steps, then the cells the steps name, then the parameters they write.
template <class D>
struct alignas(16) LoopForm {
    std::int32_t count;    // steps
    std::int32_t cells;    // distinct cells
    std::int32_t written;  // parameters written
    LoopStep<D> *Steps() { return reinterpret_cast<LoopStep<D> *>(this + 1); }
    typename D::Value **Cells() { return reinterpret_cast<typename D::Value **>(Steps() + count); }
    std::int32_t *Written() { return reinterpret_cast<std::int32_t *>(Cells() + cells); }
};

// The runner's handler labels in LoopHandler order (numbers without computed goto).
template <class D>
const void *const *LoopHandlers();

}  // namespace quorel
