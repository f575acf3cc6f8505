// Dot calls: `e0.e1.f(a)` is rewritten in the token arrays to `f(e0, e1, a)` before
// names are resolved, so the rest of the compiler only ever sees ordinary calls.
#include "context.h"

namespace quorel {

namespace {

void MoveToken(BuildBuffers &b, int from, int to) {
    b.tokenKinds[to] = b.tokenKinds[from];
    b.tokenBegin[to] = b.tokenBegin[from];
    b.tokenEnd[to] = b.tokenEnd[from];
    b.tokenValue[to] = b.tokenValue[from];
}

// Moves the two tokens at `call` and `call + 1` (name and bracket) to `first`,
// shifting the tokens in between two places up.
void HoistCall(BuildBuffers &b, int first, int call) {
    int spare = b.tokenCap - 2;  // the lexer keeps the last two slots free
    MoveToken(b, call, spare);
    MoveToken(b, call + 1, spare + 1);
    for (int i = call - 1; i >= first; --i) MoveToken(b, i, i + 2);
    MoveToken(b, spare, first);
    MoveToken(b, spare + 1, first + 1);
}

// First token of the operand that ends just before the dot at `dot`, or -1.
int OperandStart(const Ctx &c, int dot) {
    int prev = dot - 1;
    switch (c.b.tokenKinds[prev]) {
        case TkName:
        case TkString:
            return prev;
        case TkClose: {
            int open = MatchingOpen(c, prev);
            return c.b.tokenKinds[open - 1] == TkName ? open - 1 : open;
        }
        default:
            return -1;
    }
}

// Rewrites the chain whose first dot is at `dot`; returns the index of the call's
// name after the rewrite through `resume`.
int RewriteOne(Ctx &c, int dot, int *resume) {
    BuildBuffers &b = c.b;
    int first = OperandStart(c, dot);
    if (first < 0) return TokErr(c, 31, dot, dot);
    b.tokenKinds[dot] = TkComma;
    int j = dot + 1;
    while (!(b.tokenKinds[j] == TkName && b.tokenKinds[j + 1] == TkOpen)) {
        int after;
        if (b.tokenKinds[j] == TkName || b.tokenKinds[j] == TkString)
            after = j + 1;
        else if (b.tokenKinds[j] == TkOpen)
            after = MatchingClose(c, j) + 1;
        else
            return TokErr(c, 31, first, j);
        if (b.tokenKinds[after] != TkDot) return TokErr(c, 31, first, after);
        b.tokenKinds[after] = TkComma;
        j = after + 1;
    }
    // `e0.f()` is `f(e0)`: the comma before the empty list goes.
    if (b.tokenKinds[j + 2] == TkClose) b.tokenKinds[j - 1] = TkRemoved;
    if (b.tokenCap < c.n + 2) return GrowTokens;
    HoistCall(b, first, j);
    *resume = j + 1;
    return 0;
}

}  // namespace

int RewriteDotCalls(Ctx &c) {
    for (int i = c.bodyOpen + 1; i < c.bodyClose; ++i) {
        if (c.b.tokenKinds[i] != TkDot) continue;
        int r = RewriteOne(c, i, &i);
        if (r) return r;
    }
    return 0;
}

}  // namespace quorel
