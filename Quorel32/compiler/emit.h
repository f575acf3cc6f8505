// Writing instructions and operands into the build buffers. Capacity is checked
// before each instruction; a full buffer sends the driver round again with a
// larger one, so the writers themselves never check.
#pragma once
#include "context.h"

namespace quorel {

// One code byte always stays free for the closing OpEnd; six ints stay free
// beyond the operands and the dependency list.
inline int NeedCode(const Ctx &c, int bytes) {
    return c.g.cp + bytes + 1 > c.b.codeCap ? GrowCodeBuf : 0;
}
inline int NeedInts(const Ctx &c, int count) {
    return c.g.ip + count + 6 + c.deps > c.b.intCap ? GrowInts : 0;
}
inline int Need(const Ctx &c, int bytes, int count) {
    if (int r = NeedCode(c, bytes)) return r;
    return NeedInts(c, count);
}

inline void PutOp(Ctx &c, std::uint8_t op) {
    c.b.code[c.g.cp++] = op;
    c.g.consts = 0;
}
inline void PutArg(Ctx &c, Operand v) {
    c.b.ints[c.g.ip++] = v;
}
inline int Reserve(Ctx &c, int count) {
    int at = c.g.ip;
    for (int k = 0; k < count; ++k) c.b.ints[c.g.ip++] = 0;
    return at;
}
inline void Pushed(Ctx &c) {
    if (++c.g.depth > c.g.maxDepth) c.g.maxDepth = c.g.depth;
}

// Writes the current code position, constant cursor and operand cursor into the
// three slots T, C, I (I at `i`).
inline void PatchHere(Ctx &c, int t, int i) {
    c.b.ints[t] = c.g.cp;
    c.b.ints[t + 1] = c.g.cw;
    c.b.ints[i] = c.g.ip;
}

inline CallFrame &TopFrame(Ctx &c) {
    return c.b.calls[c.g.frames - 1];
}

// Control forms (control.cpp).
int OpenLoop(Ctx &c, int nameTok);
int EmitBreak(Ctx &c, int nameTok);
int EmitContinue(Ctx &c, int nameTok);
int ControlComma(Ctx &c, CallFrame &f);
int CloseControl(Ctx &c, CallFrame &f, int closeTok);

}  // namespace quorel
