// Operator checks: every operator must stand where its form allows it; unary and
// increment operators get their resolved names.
#include "context.h"

namespace quorel {

namespace {

enum Class { ClsSkip, ClsOperand, ClsOperator, ClsOpen, ClsClose, ClsOther };

bool StartsItem(std::uint8_t k) {
    return k == TkOpen || k == TkComma || k == TkAssign;
}
bool IsVariable(std::uint8_t k) {
    return k == TkLocal || k == TkCell;
}
bool IsCallName(std::uint8_t k) {
    return (k >= TkBuiltin && k <= TkCallHost) || (k >= TkIf && k <= TkContinue);
}
bool IsIncDec(std::uint8_t k) {
    return k == TkInc || k == TkDec || (k >= TkPreIncLocal && k <= TkPreDecCell);
}

Class ClassOf(std::uint8_t k) {
    switch (k) {
        case TkConst:
        case TkLocal:
        case TkCell:
        case TkLocalRef:
        case TkCellRef:
            return ClsOperand;
        case TkPlus:
        case TkMinus:
        case TkMul:
        case TkDiv:
        case TkPow:
        case TkMod:
        case TkGt:
        case TkLt:
        case TkGe:
        case TkLe:
        case TkEq:
        case TkNe:
        case TkAnd:
        case TkOr:
        case TkComma:
        case TkAssign:
            return ClsOperator;
        case TkOpen:
            return ClsOpen;
        case TkClose:
            return ClsClose;
        default:
            return IsCallName(k) || (k >= TkUnaryPlus && k <= TkPostDecCell) || k == TkNot
                       ? ClsSkip
                       : ClsOther;
    }
}

// Tokens removed by earlier passes are squeezed out so that neighbours are adjacent,
// and each bracket learns its partner's index (in its value), so that later looks
// across a bracketed group cost nothing however deep the nesting.
int Compact(Ctx &c) {
    BuildBuffers &b = c.b;
    int to = c.bodyOpen + 1, depth = 1;
    if (b.callCap < 1) return GrowCalls;
    b.calls[0].token = c.bodyOpen;
    for (int i = to; i <= c.bodyClose; ++i) {
        if (b.tokenKinds[i] == TkRemoved) continue;
        if (to != i) {
            b.tokenKinds[to] = b.tokenKinds[i];
            b.tokenBegin[to] = b.tokenBegin[i];
            b.tokenEnd[to] = b.tokenEnd[i];
            b.tokenValue[to] = b.tokenValue[i];
        }
        if (b.tokenKinds[to] == TkOpen) {
            if (depth >= b.callCap) return GrowCalls;
            b.calls[depth++].token = to;
        } else if (b.tokenKinds[to] == TkClose) {
            int open = b.calls[--depth].token;
            b.tokenValue[open] = to;
            b.tokenValue[to] = open;
        }
        ++to;
    }
    c.bodyClose = to - 1;
    c.n = to;
    return 0;
}

struct Checker {
    Ctx &c;
    std::uint8_t *k;

    // A unary minus may not apply to a power: `-x^2`, `-f(x)^2`, `-(a)^2`. Returns
    // the `^` token, or -1.
    int PowerAfterMinus(int i) {
        int j = i + 1;
        if (IsCallName(k[j]))
            j = static_cast<int>(c.b.tokenValue[j + 1]);
        else if (k[j] == TkOpen)
            j = static_cast<int>(c.b.tokenValue[j]);
        else if (ClassOf(k[j]) != ClsOperand)
            return -1;
        return k[j + 1] == TkPow ? j + 1 : -1;
    }

    int PlusMinus(int i) {
        if (k[i + 1] == TkClose) return TokErr(c, QUOREL_ERR_MISPLACED_SIGN, i, i);
        if (!StartsItem(k[i - 1])) return 0;
        if (k[i] == TkMinus && c.syn.power) {
            int pow = PowerAfterMinus(i);
            if (pow >= 0) return TokErr(c, QUOREL_ERR_NEGATED_POWER, i, pow);
        }
        k[i] = k[i] == TkMinus ? TkUnaryMinus : TkUnaryPlus;
        return 0;
    }

    // Hosts read this flag to learn whether an evaluation may write into the
    // parameter array; an increment writes there as surely as an assignment.
    void MarkIfParameter(int var) {
        if (k[var] == TkLocal && c.b.tokenValue[var] < c.params)
            c.b.code[FlagsByte] |= FlagParamModified;
    }

    int IncDec(int i) {
        bool inc = k[i] == TkInc;
        if (StartsItem(k[i - 1])) {
            if (!IsVariable(k[i + 1]) || IsIncDec(k[i + 2]))
                return TokErr(c, QUOREL_ERR_INCREMENT, i, i);
            bool local = k[i + 1] == TkLocal;
            k[i] = inc ? (local ? TkPreIncLocal : TkPreIncCell)
                       : (local ? TkPreDecLocal : TkPreDecCell);
            MarkIfParameter(i + 1);
            return 0;
        }
        if ((k[i + 1] == TkComma || k[i + 1] == TkClose) && IsVariable(k[i - 1]) &&
            !IsIncDec(k[i - 2])) {
            bool local = k[i - 1] == TkLocal;
            k[i] = inc ? (local ? TkPostIncLocal : TkPostIncCell)
                       : (local ? TkPostDecLocal : TkPostDecCell);
            MarkIfParameter(i - 1);
            return 0;
        }
        return TokErr(c, QUOREL_ERR_INCREMENT, i, i);
    }

    int Assign(int i) {
        if (!IsVariable(k[i - 1]) || (k[i - 2] != TkOpen && k[i - 2] != TkComma) ||
            k[i + 1] == TkClose)
            return TokErr(c, QUOREL_ERR_ASSIGNMENT, i, i);
        MarkIfParameter(i - 1);
        return 0;
    }

    // Per-token form checks and renaming.
    int Form(int i) {
        switch (k[i]) {
            case TkNot:
                if (!StartsItem(k[i - 1]) || k[i + 1] == TkClose)
                    return TokErr(c, QUOREL_ERR_MISPLACED_SIGN, i, i);
                return 0;
            case TkPlus:
            case TkMinus:
                return PlusMinus(i);
            case TkInc:
            case TkDec:
                return IncDec(i);
            case TkAssign:
                return Assign(i);
            case TkOpen:
                if (k[i + 1] == TkClose && !IsCallName(k[i - 1]))
                    return TokErr(c, QUOREL_ERR_EMPTY_BRACKETS, i, i + 1);
                return 0;
            default:
                return 0;
        }
    }

    int Run() {
        Class last = ClsOpen;
        int lastTok = c.bodyOpen;
        for (int i = c.bodyOpen + 1; i <= c.bodyClose; ++i) {
            if (i < c.bodyClose) {
                if (int r = Form(i)) return r;
            }
            Class cls = ClassOf(k[i]);
            int end = i;
            if (cls == ClsOther) return TokErr(c, QUOREL_ERR_BAD_TOKEN, i, i);
            if (cls == ClsSkip) continue;
            if (cls == ClsOpen && k[i + 1] == TkClose) cls = ClsOperand, end = i + 1;
            bool bad = false;
            switch (cls) {
                case ClsOperand:
                    bad = last == ClsOperand || last == ClsClose;
                    break;
                case ClsOperator:
                    bad = last == ClsOperator || last == ClsOpen;
                    break;
                case ClsOpen:
                    bad = last == ClsOperand || last == ClsClose;
                    break;
                case ClsClose:
                    bad = last == ClsOperator;
                    break;
                default:
                    break;
            }
            if (bad) return TokErr(c, QUOREL_ERR_SEQUENCE, lastTok, i);
            last = cls;
            lastTok = end;
            i = end;
        }
        return 0;
    }
};

}  // namespace

int CheckOperators(Ctx &c) {
    if (int r = Compact(c)) return r;
    return Checker{c, c.b.tokenKinds}.Run();
}

}  // namespace quorel
