// The control forms if, while, until, which, break and continue. Each jump carries
// the full evaluator state of its target (code position, constant cursor, operand
// cursor and, for loops, the stack top), patched in once the target is known.
#include "emit.h"

namespace quorel {

namespace {

enum JumpKind { JLoopWhile, JLoopUntil, JIfTest, JWhileTest, JBreak, JWhichTest, JWhichTaken };

bool IsLoop(int kind) {
    return kind == JLoopWhile || kind == JLoopUntil;
}

int PushJump(Ctx &c, JumpRecord rec) {
    if (c.g.jumps >= c.b.jumpCap) return GrowJumps;
    c.b.jumps[c.g.jumps++] = rec;
    return 0;
}

// Innermost open loop, or -1.
int InnermostLoop(const Ctx &c) {
    for (int j = c.g.jumps - 1; j >= 0; --j) {
        if (IsLoop(c.b.jumps[j].kind)) return j;
    }
    return -1;
}

// `break` and `continue` must be written with empty brackets.
bool EmptyCall(const Ctx &c, int nameTok) {
    return c.b.tokenKinds[nameTok + 2] == TkClose;
}

int FormErr(Ctx &c, int code, int nameTok) {
    return TokErr(c, code, nameTok, static_cast<int>(c.b.tokenValue[nameTok + 1]));
}

// Emits a test instruction with three reserved target slots and records it.
int EmitTest(Ctx &c, std::uint8_t op, int kind) {
    if (int r = Need(c, 1, 3)) return r;
    if (c.g.jumps >= c.b.jumpCap) return GrowJumps;
    PutOp(c, op);
    int at = Reserve(c, 3);
    return PushJump(c, {kind, c.g.frames - 1, 0, 0, at, 0});
}

// OpWhichTaken: T, C, k, I; T, C and I are patched at the form's end.
int EmitTaken(Ctx &c, int commas) {
    if (int r = Need(c, 1, 4)) return r;
    if (c.g.jumps >= c.b.jumpCap) return GrowJumps;
    PutOp(c, OpWhichTaken);
    int at = Reserve(c, 4);
    c.b.ints[at + 2] = commas;
    // The preceding test jumps here, to the next condition.
    JumpRecord &test = c.b.jumps[--c.g.jumps];
    PatchHere(c, test.operand, test.operand + 2);
    return PushJump(c, {JWhichTaken, c.g.frames - 1, 0, 0, at, 0});
}

int CloseIf(Ctx &c, CallFrame &f, int closeTok) {
    if (f.commas < 1) return TokErr(c, QUOREL_ERR_FORM_ARGS, f.token, closeTok);
    if (int r = Need(c, 1, 1)) return r;
    PutOp(c, OpIfEnd);
    PutArg(c, f.commas);
    JumpRecord &test = c.b.jumps[--c.g.jumps];
    PatchHere(c, test.operand, test.operand + 2);
    return 0;
}

// Patches the records above the loop record to here and pops them with the loop.
void CloseLoop(Ctx &c, int loop) {
    const JumpRecord start = c.b.jumps[loop];
    for (int j = loop + 1; j < c.g.jumps; ++j) {
        const JumpRecord &rec = c.b.jumps[j];
        if (rec.kind == JBreak) {
            PatchHere(c, rec.operand, rec.operand + 3);
            c.b.ints[rec.operand + 2] = start.top;
        } else {
            PatchHere(c, rec.operand, rec.operand + 2);
        }
    }
    c.g.jumps = loop;
}

// `while` and `until` close alike: the loop instruction takes the loop start's code
// position, constant cursor, stack top and operand cursor, the stack top first for
// `until` and third for `while`.
int CloseLoopForm(Ctx &c, CallFrame &f, int closeTok, Op op) {
    if (f.commas < 1) return TokErr(c, QUOREL_ERR_FORM_ARGS, f.token, closeTok);
    if (int r = Need(c, 1, 4)) return r;
    int loop = InnermostLoop(c);
    const JumpRecord &s = c.b.jumps[loop];
    PutOp(c, op);
    if (op == OpUntilTest) PutArg(c, s.top);
    PutArg(c, s.code);
    PutArg(c, s.constant);
    if (op == OpWhileEnd) PutArg(c, s.top);
    PutArg(c, s.operand);
    CloseLoop(c, loop);
    return 0;
}

int CloseWhich(Ctx &c, CallFrame &f, int closeTok) {
    int n = f.commas;
    if (n < 1) return TokErr(c, QUOREL_ERR_FORM_ARGS, f.token, closeTok);
    if (n % 2 == 0) {
        if (int r = Need(c, 1, 1)) return r;
        PutOp(c, OpWhichDefault);
        PutArg(c, n);
    } else {
        // The last value is taken like the others; when no condition held, the
        // last test lands on OpWhichFail.
        if (int r = EmitTaken(c, n)) return r;
        if (int r = Need(c, 1, 1)) return r;
        PutOp(c, OpWhichFail);
        PutArg(c, n);
    }
    int frame = c.g.frames - 1;
    while (c.g.jumps > 0 && c.b.jumps[c.g.jumps - 1].frame == frame &&
           c.b.jumps[c.g.jumps - 1].kind == JWhichTaken) {
        const JumpRecord &rec = c.b.jumps[--c.g.jumps];
        PatchHere(c, rec.operand, rec.operand + 3);
    }
    return 0;
}

}  // namespace

int OpenLoop(Ctx &c, int nameTok) {
    int kind = c.b.tokenKinds[nameTok] == TkWhile ? JLoopWhile : JLoopUntil;
    return PushJump(c, {kind, c.g.frames, c.g.cp, c.g.cw, c.g.ip, c.g.depth - 1});
}

int EmitBreak(Ctx &c, int nameTok) {
    if (!EmptyCall(c, nameTok)) return FormErr(c, QUOREL_ERR_BREAK_FORM, nameTok);
    int loop = InnermostLoop(c);
    if (loop < 0) return TokErr(c, QUOREL_ERR_BREAK_OUTSIDE, nameTok, nameTok + 2);
    if (int r = Need(c, 1, 4)) return r;
    if (c.g.jumps >= c.b.jumpCap) return GrowJumps;
    PutOp(c, OpBreak);
    int at = Reserve(c, 4);
    // Directly above its loop, so that open forms inside the loop keep their
    // records on top.
    for (int j = c.g.jumps; j > loop + 1; --j) c.b.jumps[j] = c.b.jumps[j - 1];
    c.b.jumps[loop + 1] = {JBreak, c.b.jumps[loop].frame, 0, 0, at, 0};
    ++c.g.jumps;
    Pushed(c);
    return 0;
}

int EmitContinue(Ctx &c, int nameTok) {
    if (!EmptyCall(c, nameTok)) return FormErr(c, QUOREL_ERR_CONTINUE_FORM, nameTok);
    int loop = InnermostLoop(c);
    if (loop < 0) return TokErr(c, QUOREL_ERR_CONTINUE_OUTSIDE, nameTok, nameTok + 2);
    if (int r = Need(c, 1, 4)) return r;
    const JumpRecord &s = c.b.jumps[loop];
    PutOp(c, OpContinue);
    PutArg(c, s.code);
    PutArg(c, s.constant);
    PutArg(c, s.top);
    PutArg(c, s.operand);
    Pushed(c);
    return 0;
}

int ControlComma(Ctx &c, CallFrame &f) {
    switch (f.kind) {
        case TkIf:
            return f.commas == 0 ? EmitTest(c, OpIfTest, JIfTest) : 0;
        case TkWhile:
            return f.commas == 0 ? EmitTest(c, OpWhileTest, JWhileTest) : 0;
        case TkWhich:
            return f.commas % 2 == 0 ? EmitTest(c, OpWhichTest, JWhichTest)
                                     : EmitTaken(c, f.commas);
        default:
            return 0;
    }
}

int CloseControl(Ctx &c, CallFrame &f, int closeTok) {
    int r;
    switch (f.kind) {
        case TkIf:
            r = CloseIf(c, f, closeTok);
            break;
        case TkWhile:
            r = CloseLoopForm(c, f, closeTok, OpWhileEnd);
            break;
        case TkUntil:
            r = CloseLoopForm(c, f, closeTok, OpUntilTest);
            break;
        default:
            r = CloseWhich(c, f, closeTok);
            break;
    }
    if (r == 0) {
        c.g.depth = f.depth;
        Pushed(c);
    }
    return r;
}

}  // namespace quorel
