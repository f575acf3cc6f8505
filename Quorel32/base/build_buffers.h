// The compile work areas shared by every compile run. They persist between compiles
// and only grow (count * 2 + 30) when a run reports that one is too small.
#pragma once
#include <cstdint>

#include "formula.h"

namespace quorel {

// One open bracket, call or control form.
struct CallFrame {
    int kind;        // token kind of the call name, or TkOpen for a plain bracket
    Operand target;  // opcode, callee record or function node
    int commas;      // commas so far; -1 for an empty argument list
    int token;       // token index of the name (or bracket), for error offsets
    int depth;       // evaluation stack depth when the frame opened
    int code;        // code position when the frame opened
};

// A pending assignment (argIndex -1) or by-reference argument.
struct AssignRecord {
    int frame;
    int argIndex;
    Operand target;  // variable index or cell address
    int kind;        // local or cell
};

// A pending control-flow jump or an open loop.
struct JumpRecord {
    int kind;
    int frame;     // call frame of the form that owns the record
    int code;      // loop start: code position
    int constant;  // loop start: constant cursor
    int operand;   // loop start: operand cursor; otherwise the ints index to patch
    int top;       // loop start: stack top index
};

struct BuildBuffers {
    // Token group: seven arrays sharing one capacity.
    std::uint8_t *tokenKinds;
    std::uint8_t *opStack;  // also scratch text for numbers and cell keys
    int *tokenBegin;
    int *tokenEnd;
    Operand *tokenValue;
    int *tokenAux[2];  // per-token scratch of the passes that relink or sort tokens
    int tokenCap;

    std::uint8_t *code;
    int codeCap;
    Operand *ints;
    int intCap;
    void *values[3];  // per domain: integer, real, complex (index domain - 1)
    int valueCap[3];
    CallFrame *calls;
    int callCap;
    JumpRecord *jumps;
    int jumpCap;
    AssignRecord *assigns;
    int assignCap;
};

// Growth codes returned by a compiler body when a group is full.
enum GrowCode : int {
    GrowTokens = -1,
    GrowCodeBuf = -2,
    GrowInts = -3,
    GrowValues = -4,
    GrowCalls = -5,
    GrowJumps = -6,
    GrowAssigns = -7,
};

// New entry count after growth; -1 (an impossible size) when it would overflow.
inline int GrownCount(int count) {
    return count > (0x7fffffff - 30) / 2 ? -1 : count * 2 + 30;
}

}  // namespace quorel
