// Straight-line programs. Most formulas a host evaluates in a hot loop are plain
// expressions: operands pushed and operations applied, with no calls, jumps or
// stores. When such a formula is installed, its instruction code is also translated
// into a program of wider steps: each step names its handler directly (no table
// lookup), carries its operand (parameter index, constant value or cell address)
// inline, and common pairs and triples (x+1, y*x, x^2) become single steps. The
// host's evaluations then run the program instead of the instruction code; the two
// compute the same operations on the same values in the same order, so results are
// identical to the bit.
//
// A plain formula can call nothing, so nothing can observe or re-enter it while its
// program runs: the program needs no run state, frame or activation count. Each run
// keeps its stack on the C stack (or a block of its own when deep), never in the
// record, so several threads may run one program at once; `which` is the only thing
// a program can report, into the run-error slot, first report winning.
//
// `which` forms stay straight-line with two forward jumps: a failed condition jumps
// to the next one, a value taken jumps to the end. The first condition of a form
// stays on the stack while the later ones are tried, because a form where nothing
// held gives that first condition's value, as the general evaluator does.
//
// A record reaches its program through its private `program` field, so an
// evaluation finds it with one load. The program's `entry` is what runs it: the
// runner below, or native code once the formula has been evaluated often enough
// (eval/native.h).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "../base/domain.h"
#include "../base/engine.h"
#include "../base/formula.h"

namespace quorel {

// The binary operations from OpAdd to OpOr, in code order.
#define QUOREL_BINARY_OPS(X) \
    X(Add) X(Sub) X(Mul) X(Div) X(Pow) X(Gt) X(Ge) X(Lt) X(Le) X(Eq) X(Ne) X(And) X(Or)

// The four basic operations, which also chain: top op2 (x op1 operand) in one step.
#define QUOREL_BASIC_OPS(X) X(Add) X(Sub) X(Mul) X(Div)
#define QUOREL_BASIC_OPS_WITH(X, a) X(a, Add) X(a, Sub) X(a, Mul) X(a, Div)

// Forms of a binary step: S pops its left operand from the stack; P, K, V take the
// right operand from a parameter, a constant or a cell and the left from the top;
// LoadPK and PushPK apply the operation to a parameter and a constant, LoadPP and
// PushPP to two parameters, LoadKP and PushKP to a constant and a parameter, and put
// the result on an empty stack or push it.
enum BinaryForm : int {
    FormS,
    FormP,
    FormK,
    FormV,
    FormLoadPK,
    FormPushPK,
    FormLoadPP,
    FormPushPP,
    FormLoadKP,
    FormPushKP,
    FormCount
};

enum Handler : int {
    HEnd,      // result: the top
    HEndZero,  // result: zero (the stack is empty)
    HLoadP,    // onto an empty stack: a parameter
    HLoadK,    //   a constant
    HLoadV,    //   a cell (own variable or common variable)
    HPushP,    // push a parameter
    HPushK,    //   a constant
    HPushV,    //   a cell
    HNeg,
    HNot,
    HSqr,       // top^2 where the power of 2 is the square
    HLoadSqrP,  // parameter^2 onto an empty stack
    HPushSqrP,  // push parameter^2
                // clang-format off
#define QUOREL_HANDLER(fn) HBin_##fn, HBinP_##fn, HBinK_##fn, HBinV_##fn, HLoadPK_##fn, \
                           HPushPK_##fn, HLoadPP_##fn, HPushPP_##fn, HLoadKP_##fn, HPushKP_##fn,
    QUOREL_BINARY_OPS(QUOREL_HANDLER)
#undef QUOREL_HANDLER
    // top op2 (parameter op1 constant), top op2 (parameter op1 parameter),
    // top op2 (constant op1 parameter), top op2 parameter^2; op1 and op2 basic
#define QUOREL_CHAIN(o2, o1) HChainPK_##o2##_##o1, HChainPP_##o2##_##o1, HChainKP_##o2##_##o1,
#define QUOREL_CHAIN_ROW(o2) QUOREL_BASIC_OPS_WITH(QUOREL_CHAIN, o2) HChainSqr_##o2,
    QUOREL_BASIC_OPS(QUOREL_CHAIN_ROW)
#undef QUOREL_CHAIN_ROW
#undef QUOREL_CHAIN
    // clang-format on
    HIntr,  // HIntr + (code - OpIntrinsicBase - 1): intrinsics 46 to 60
    // `which`: the first test pops its condition (moving the stack pointer by `i`)
    // when it holds and keeps it else; the later ones pop it either way. A failed test jumps to
    // step `j`; a value taken drops `i` elements below it and jumps to step `j`.
    HTestKeep = HIntr + 15,
    HTest,
    HTaken,
    HDrop,       // drops the element below the top
    HWhichFail,  // no condition held: reports it; the result is the first condition
    HCount,
};

inline int BinaryHandler(int op, BinaryForm form) {
    return HBin_Add + (op - OpAdd) * FormCount + form;
}

inline bool IsBasic(int op) {
    return op >= OpAdd && op <= OpDiv;
}

// The inner operation of a chain step: parameter op1 constant, parameter op1
// parameter, constant op1 parameter.
enum ChainForm : int { ChainPK, ChainPP, ChainKP, ChainForms };

// op2 and op1 basic.
inline int ChainHandler(int op2, int op1, ChainForm form) {
    return HChainPK_Add_Add + (op2 - OpAdd) * (4 * ChainForms + 1) + (op1 - OpAdd) * ChainForms +
           form;
}
inline int ChainSquareHandler(int op2) {
    return HChainPK_Add_Add + (op2 - OpAdd) * (4 * ChainForms + 1) + 4 * ChainForms;
}

// One step. `h` is the handler's label address where the compiler supports computed
// goto, else the handler number.
template <class D>
struct Step {
    const void *h;
    union {
        Operand i;                // parameter index
        typename D::Value *cell;  // own variable or common variable
    };
    union {
        typename D::Value k;  // constant operand
        Operand j;            // second parameter index
    };
};

// What every program starts with, whatever its domain.
struct ProgramHead {
    // Runs the program: typename D::Value (*)(void *program, typename D::Value *para).
    // Replaced once, by native code, while other threads may be running the old one.
    std::atomic<const void *> entry;
    CompiledFormula *f;     // the record, named in a `which` report
    int type;               // the domain
    int depth;              // elements the stack holds at most, the top included
    int count;              // steps
    int nesting;            // `which` forms open at once at most (0: none)
    std::atomic<int> runs;  // evaluations counted before native code is tried
    void *native;           // native code and its constants, null when none
    std::size_t nativeBytes;
};

template <class D>
using ProgramEntry = typename D::Value (*)(void *, typename D::Value *);

template <class D>
struct alignas(16) Program : ProgramHead {
    Step<D> *Steps() { return reinterpret_cast<Step<D> *>(this + 1); }
    // The handler number of each step, for runners that do not dispatch by address.
    std::uint16_t *Kinds() { return reinterpret_cast<std::uint16_t *>(Steps() + count); }
};

// A run keeps stacks up to this depth on the C stack.
inline constexpr int kLocalStackDepth = 48;

// The program of a plain formula, or null.
inline void *FindProgram(const CompiledFormula *f) {
    return f->program;
}

// The program of a plain formula of domain D, or null; `f` is not null.
template <class D>
inline ProgramHead *PlainProgram(const CompiledFormula *f) {
    auto *p = static_cast<ProgramHead *>(f->program);
    return p && p->type == D::type ? p : nullptr;
}

// Runs a plain formula's program with the host's parameter array.
template <class D>
inline typename D::Value RunPlain(ProgramHead *p, typename D::Value *para) {
    auto run = reinterpret_cast<ProgramEntry<D>>(
        const_cast<void *>(p->entry.load(std::memory_order_acquire)));
    return run(p, para);
}

// Translates the formula when it is plain and files its program. False only when
// memory ran out; a formula that is not plain simply gets no program.
template <class D>
bool AttachProgram(CompiledFormula *f);

// Drops the formula's program, if any; called before the record is freed.
void DetachProgram(CompiledFormula *f);

// Runs a program with the host's parameter array.
template <class D>
typename D::Value RunProgram(void *program, typename D::Value *para);

// A real program over points [0, n): parameter i from columns[i][k], or from
// slots[i] where the column is null; results[k] receives the value at point k.
// The program runs step by step over blocks of points; `para` (room for one point's
// parameters) serves when the block buffers cannot be had.
void RunRealProgramBatch(void *program, int n, const double *const *columns, const double *slots,
                         double *results, double *para);

// The handler labels of D's program runner, in Handler order (numbers where there
// is no computed goto).
template <class D>
const void *const *ProgramHandlers();

}  // namespace quorel
