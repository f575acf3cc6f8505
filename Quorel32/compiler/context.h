// State of one compile attempt: the token arrays live in the shared build buffers;
// this small record holds the cursors of every pass. It sits on the C++ stack, so an
// attempt allocates nothing of its own.
#pragma once
#include <cstdint>

#include "../base/engine.h"

namespace quorel {

// Token kinds. The lexer writes the first group; later passes replace a token's kind
// by its resolved meaning in place.
enum Tk : std::uint8_t {
    TkRemoved = 0,  // skipped by every later pass
    TkNumber,
    TkName,
    TkString,
    TkInc,
    TkDec,
    TkGe,
    TkLe,
    TkEq,
    TkNe,
    TkScope,
    TkDot,
    TkPlus,
    TkMinus,
    TkMul,
    TkDiv,
    TkPow,
    TkMod,
    TkGt,
    TkLt,
    TkAnd,
    TkOr,
    TkNot,
    TkAssign,
    TkComma,
    TkOpen,  // value: shape 0 round, 1 square, 2 curly; from the bracket check on, its partner
    TkClose,
    TkColon,
    // Header names after the header is read. Value: variable index, or the cell
    // address once a module or common cell has been looked up (0 before).
    TkHdrLocal,
    TkHdrModule,
    TkHdrCommon,
    // Resolved operands.
    TkConst,  // value: index of the constant in the pool
    TkLocal,  // value: variable index
    TkCell,   // value: cell address
    TkLocalRef,
    TkCellRef,
    // Resolved call names (followed by their opening bracket).
    TkBuiltin,  // value: opcode
    TkCallInt,  // value: callee record
    TkCallReal,
    TkCallComplex,
    TkCallHost,  // value: FunctionNode
    TkIf,
    TkWhile,
    TkUntil,
    TkWhich,
    TkBreak,
    TkContinue,
    // Operators renamed by the checks.
    TkUnaryPlus,
    TkUnaryMinus,
    TkPreIncLocal,
    TkPreIncCell,
    TkPreDecLocal,
    TkPreDecCell,
    TkPostIncLocal,
    TkPostIncCell,
    TkPostDecLocal,
    TkPostDecCell,
};

// Compile-time syntax of a domain, for the passes that are not templates.
struct Syntax {
    bool power;      // `^`
    bool remainder;  // `%`
    bool imaginary;  // `i`, `I`, imaginary literals, error 4
};

// Cursors of the code generator.
struct GenState {
    int cp;     // code position
    int ip;     // operand cursor in ints
    int cw;     // constant write cursor in the value buffer
    int depth;  // values on the evaluation stack
    int maxDepth;
    int consts;   // OpPushConst instructions that end the code so far
    int ops;      // entries on OpStack
    int frames;   // entries on CallStack
    int assigns;  // entries on AssignStack
    int jumps;    // entries on JumpStack
};

struct Ctx {
    BuildBuffers &b;
    const char *text;
    int len;
    int module;
    CompiledFormula *rec;
    int *errBegin;
    int *errEnd;
    Syntax syn;
    int domain;

    int n = 0;        // tokens, the three implicit header tokens included
    int hdrEq = 0;    // the header's `=`; 2 (implicit) without a header
    int hdrOpen = 0;  // the header's brackets (0 and 1 without a header)
    int hdrClose = 0;
    int nameTok = 0;  // the formula's name token, -1 when unnamed
    int params = 0;   // section 0 names
    int vars = 0;     // section 0 and 1 names: VarCount
    int staticFirst = 0;
    int freeVar = 0;
    int bodyOpen = 0;  // the body's brackets
    int bodyClose = 0;
    int strPos = 0;  // next free byte of the string area
    int pool = 0;    // end of the constant pool filled by resolution
    int deps = 0;    // dependency entries, kept at the top of ints
    GenState g{};
};

// Records an error with the offsets of two tokens (first's begin, second's end).
inline int TokErr(Ctx &c, int code, int first, int last) {
    *c.errBegin = c.b.tokenBegin[first];
    *c.errEnd = c.b.tokenEnd[last];
    return code;
}
inline int OffErr(Ctx &c, int code, int begin, int end) {
    *c.errBegin = begin;
    *c.errEnd = end;
    return code;
}

inline bool IsOpenAt(const Ctx &c, int i) {
    return c.b.tokenKinds[i] == TkOpen;
}
inline bool IsCloseAt(const Ctx &c, int i) {
    return c.b.tokenKinds[i] == TkClose;
}
inline int TokLen(const Ctx &c, int i) {
    return c.b.tokenEnd[i] - c.b.tokenBegin[i] + 1;
}
inline const char *TokText(const Ctx &c, int i) {
    return c.text + c.b.tokenBegin[i];
}

// The passes, in the order the body runs them; each returns 0, a growth code or an
// error code with the offsets written.
int Lex(Ctx &c);
int ReadHeader(Ctx &c);
int CheckBrackets(Ctx &c);
int NameIntoCode(Ctx &c);
int RewriteDotCalls(Ctx &c);
template <class D>
int Resolve(Ctx &c);
int CheckOperators(Ctx &c);
template <class D>
int Generate(Ctx &c);

}  // namespace quorel
