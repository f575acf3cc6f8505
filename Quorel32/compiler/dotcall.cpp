// Dot calls: `e0.e1.f(a)` is rewritten in the token arrays to `f(e0, e1, a)` before
// names are resolved, so the rest of the compiler only ever sees ordinary calls.
//
// Each rewrite moves `f (` in front of everything the chain has built so far, so a
// chain of n calls done by shifting the arrays costs n squared. Instead the body is
// threaded into a list for the pass: a move is a relink, and the arrays take the
// list's order once at the end. Tokens keep their indices while linked, so errors
// report the same tokens as a rewrite in place would.
#include <cstring>
#include <initializer_list>

#include "context.h"

namespace quorel {

namespace {

struct DotRewriter {
    Ctx &c;
    std::uint8_t *k;
    int *next;
    int *prev;

    // Moving `f (` across a balanced run leaves every pair intact, so the partners
    // found by the bracket check hold through the whole pass.
    int Partner(int bracket) const { return static_cast<int>(c.b.tokenValue[bracket]); }

    // First token of the operand that ends just before the dot, or -1.
    int OperandStart(int dot) const {
        int last = prev[dot];
        switch (k[last]) {
            case TkName:
            case TkString:
                return last;
            case TkClose: {
                int open = Partner(last);
                return k[prev[open]] == TkName ? prev[open] : open;
            }
            default:
                return -1;
        }
    }

    // Rewrites the chain whose first dot is `dot`. `*resume` becomes the token after
    // which scanning goes on. Everything left of the dot has been scanned; to its
    // right, a bracketed leading argument has not, and may hold dot calls of its own
    // (`a.(b.f()).g()`), so scanning goes on at the first such group, else at the
    // call's own arguments. Each token is still scanned once.
    int RewriteOne(int dot, int *resume) {
        int first = OperandStart(dot);
        if (first < 0) return TokErr(c, QUOREL_ERR_DOT_CALL, dot, dot);
        k[dot] = TkComma;
        int j = next[dot], firstGroup = -1;
        while (!(k[j] == TkName && k[next[j]] == TkOpen)) {
            int after;
            if (k[j] == TkName || k[j] == TkString) {
                after = next[j];
            } else if (k[j] == TkOpen) {
                if (firstGroup < 0) firstGroup = j;
                after = next[Partner(j)];
            } else {
                return TokErr(c, QUOREL_ERR_DOT_CALL, first, j);
            }
            if (k[after] != TkDot) return TokErr(c, QUOREL_ERR_DOT_CALL, first, after);
            k[after] = TkComma;
            j = next[after];
        }
        int open = next[j], comma = prev[j];
        // `e0.f()` is `f(e0)`: the comma before the empty list goes.
        if (k[next[open]] == TkClose) k[comma] = TkRemoved;
        // Unlink `f (` and put it in front of the first operand.
        next[comma] = next[open];
        prev[next[open]] = comma;
        next[prev[first]] = j;
        prev[j] = prev[first];
        next[open] = first;
        prev[first] = open;
        *resume = firstGroup >= 0 ? prev[firstGroup] : comma;
        return 0;
    }

    // Puts the body's tokens into list order; bracket partners follow their tokens.
    void Settle() {
        BuildBuffers &b = c.b;
        const int lo = c.bodyOpen, hi = c.bodyClose;
        int *dest = prev;  // the links are done with
        int pos = lo;
        for (int x = lo; x != hi; x = next[x]) dest[x] = pos++;
        dest[hi] = hi;
        for (int i = lo; i <= hi; ++i) {
            if (k[i] == TkOpen || k[i] == TkClose) b.tokenValue[i] = dest[Partner(i)];
        }
        std::uint8_t *kinds = b.opStack;
        for (int i = lo; i <= hi; ++i) kinds[dest[i]] = k[i];
        std::memcpy(k + lo, kinds + lo, static_cast<std::size_t>(hi - lo + 1));
        int *spare = next;
        for (int *a : {b.tokenBegin, b.tokenEnd}) {
            for (int i = lo; i <= hi; ++i) spare[dest[i]] = a[i];
            std::memcpy(a + lo, spare + lo, static_cast<std::size_t>(hi - lo + 1) * sizeof(int));
        }
        // Values have no spare array of their size: each swap lands one where it belongs.
        Operand *value = b.tokenValue;
        for (int i = lo; i <= hi; ++i) {
            for (int to = dest[i]; to != i; to = dest[i]) {
                Operand v = value[to];
                value[to] = value[i];
                value[i] = v;
                dest[i] = dest[to];
                dest[to] = to;
            }
        }
    }

    int Run(int firstDot) {
        for (int i = c.bodyOpen; i <= c.bodyClose; ++i) {
            next[i] = i + 1;
            prev[i] = i - 1;
        }
        for (int i = firstDot; i != c.bodyClose; i = next[i]) {
            if (k[i] != TkDot) continue;
            if (int r = RewriteOne(i, &i)) return r;
        }
        Settle();
        return 0;
    }
};

}  // namespace

int RewriteDotCalls(Ctx &c) {
    int dot = c.bodyOpen + 1;
    while (dot < c.bodyClose && c.b.tokenKinds[dot] != TkDot) ++dot;
    if (dot == c.bodyClose) return 0;
    DotRewriter rw{c, c.b.tokenKinds, c.b.tokenAux[0], c.b.tokenAux[1]};
    return rw.Run(dot);
}

}  // namespace quorel
