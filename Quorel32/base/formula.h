// The compiled formula record, its header slots and the instruction set shared by
// the three number domains.
#pragma once
#include <cstdint>

#include "../include/Quorel32.h"

namespace quorel {

// Element of a formula's `ints` array: header slots, the operand stream and the
// dependency list. Operands carry addresses (cells, callee records, function nodes),
// so the element is pointer-sized: 64 bits on a 64-bit build, 32 bits where pointers
// are 32 bits (the plain 32-bit int of the record's 32-bit layout).
using Operand = std::intptr_t;

// A compiled formula. The handle hosts receive is a pointer to this record.
struct CompiledFormula {
    std::uint8_t *code;  // run state, flags, name, string literals, instructions
    Operand *ints;       // header slots 0..14, operand stream, dependency list
    void *values;        // variables, constants, outermost evaluation stack (domain element)
    CompiledFormula *prev;  // newer neighbour in its list
    CompiledFormula *next;  // older neighbour in its list
    // Private to the engine, after the fields hosts may read: the straight-line
    // program of a plain formula (eval/program.h), null for any other.
    void *program;
    // The register form of a formula with loops or conditions that calls nothing
    // (eval/loop_form.h), or null.
    void *loopForm;
};

// Header slots of `ints`.
enum Slot : int {
    ParamLast = 0,    // number of parameters minus one (-1: none)
    VarCount = 1,     // variable slots; index of the first constant in `values`
    CodeLength = 2,   // bytes in `code`
    IntCount = 3,     // elements in `ints`
    ValueCount = 4,   // elements in `values`
    CodeStart = 5,    // first instruction; negative: formula unusable (-4 callee deleted, -5 function)
    StackBase = 6,    // first element of the outermost evaluation stack in `values`
    ModuleNo = 7,     // module number, sign kept
    Self = 8,         // the record itself
    Referrers = 9,    // head of the ReferrerLink list of formulas calling this one
    DepFirst = 10,    // first dependency entry
    DepLast = 11,     // last dependency entry (DepFirst - 1 when none)
    StaticFirst = 12, // first static variable
    FreeVar = 13,     // index of the static variable `free`, 0 when none
    DomainTag = 14,   // domain; evaluators refuse a handle of another
    OperandStart = 15,
};

// The intrinsic codes every domain may have (46 to 60), for handler lists.
#define QUOREL_INTRINSIC_CODES(X) \
    X(46) X(47) X(48) X(49) X(50) X(51) X(52) X(53) X(54) X(55) X(56) X(57) X(58) X(59) X(60)

// Offsets into `code`.
enum CodeByte : int { RunStateByte = 0, FlagsByte = 1, NameOffset = 2 };
enum : std::uint8_t {
    FlagParamModified = 0x80,  // assigns to a parameter or passes one by reference
    FlagExported = 0x40,       // marked by OutFun
};

// Run states kept in code[0].
enum : std::uint8_t { RunIdle = 0, RunOuter = 1, RunNested = 2 };

// Instruction codes. Codes 46 and up are the domain's intrinsics: 45 + position in
// its intrinsic name table (position 0, `return`, compiles to OpEnd).
enum Op : std::uint8_t {
    OpEnd = 0,
    OpPushConst = 1,
    OpPushVar = 2,
    OpPushCommon = 3,
    OpAdd = 4,
    OpSub = 5,
    OpMul = 6,
    OpDiv = 7,
    OpPow = 8,  // remainder in the integer domain
    OpGt = 9,
    OpGe = 10,
    OpLt = 11,
    OpLe = 12,
    OpEq = 13,
    OpNe = 14,
    OpAnd = 15,
    OpOr = 16,
    OpNot = 17,
    OpStoreVar = 18,
    OpStoreCommon = 19,
    OpCallIntFor = 20,
    OpCallRealFor = 21,
    OpCallComplexFor = 22,
    OpCallFun = 23,
    OpCommaList = 24,
    OpIfTest = 25,
    OpIfEnd = 26,
    OpWhileTest = 27,
    OpWhileEnd = 28,
    OpBreak = 29,
    OpContinue = 30,
    OpUntilTest = 31,
    OpWhichTest = 32,
    OpWhichTaken = 33,
    OpWhichFail = 34,
    OpWhichDefault = 35,
    OpNeg = 36,
    OpIncVar = 37,
    OpDecVar = 38,
    OpIncCommon = 39,
    OpDecCommon = 40,
    OpVarInc = 41,
    OpVarDec = 42,
    OpCommonInc = 43,
    OpCommonDec = 44,
    OpIntrinsicBase = 45,
};

// Copy-back entry markers in the code stream after a call.
enum : std::uint8_t { CopyBackEnd = 0, CopyBackVar = 2, CopyBackCell = 3 };

// One formula that calls a formula or function: lives in the callee's referrer list
// and points at the caller's Referrers slot (so &ints[Referrers] - Referrers = ints).
struct ReferrerLink {
    Operand *callerReferrers;
    ReferrerLink *next;
};

// A registered built-in or host function. `referrers` has the same shape as a
// formula's Referrers slot so that dependency entries point at either uniformly.
struct FunctionNode {
    void *function;
    int paraCode;      // parameters minus one; -1 none; -2 any number
    Operand referrers; // ReferrerLink* head
};

inline ReferrerLink *RefHead(const Operand *slot) { return reinterpret_cast<ReferrerLink *>(*slot); }
inline void SetRefHead(Operand *slot, ReferrerLink *head) { *slot = reinterpret_cast<Operand>(head); }

// Domain types, as in CallerInfo and the run-error slot.
enum Domain : int { DomainInt = 1, DomainReal = 2, DomainComplex = 3 };

inline bool IsFormulaType(int type) {
    return type >= DomainInt && type <= DomainComplex;
}

// Module numbers carry a sign (negative: private to the module); |m| names the module.
inline Operand AbsModule(Operand m) {
    return m < 0 ? -m : m;
}

// The formula a host function was called from, or null when not called from one.
inline CompiledFormula *CallerFormula(const CallerInfo *caller) {
    if (!caller || !IsFormulaType(caller->type)) return nullptr;
    return static_cast<CompiledFormula *>(caller->handle);
}

// Whether a formula on the referrer list at `slot` (a formula's Referrers slot or a
// function node's) has an activation running.
inline bool HasRunningCaller(const Operand *slot) {
    for (const ReferrerLink *link = RefHead(slot); link; link = link->next) {
        const Operand *callerInts = link->callerReferrers - Referrers;
        auto *caller = reinterpret_cast<const CompiledFormula *>(callerInts[Self]);
        if (caller && caller->code[RunStateByte] != RunIdle) return true;
    }
    return false;
}

// Name of a formula: NUL-terminated text at code offset 2 (empty when unnamed).
inline const char *FormulaName(const CompiledFormula *f) {
    return reinterpret_cast<const char *>(f->code + NameOffset);
}

}  // namespace quorel
