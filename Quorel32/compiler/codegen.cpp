// Code generation: one left-to-right pass with an operator stack over the resolved
// tokens, folding constant operations through the evaluator as they are emitted.
#include <cstring>

#include "../base/runerr.h"
#include "../eval/evaluator.h"
#include "domain_syntax.h"
#include "emit.h"

namespace quorel {

namespace {

constexpr std::uint8_t kMark = TkOpen;  // bracket mark on OpStack

int Level(std::uint8_t k) {
    switch (k) {
        case TkOr:
            return 1;
        case TkAnd:
            return 2;
        case TkGt:
        case TkGe:
        case TkLt:
        case TkLe:
        case TkEq:
        case TkNe:
            return 3;
        case TkPlus:
        case TkMinus:
            return 4;
        case TkMul:
        case TkDiv:
        case TkMod:
            return 5;
        case TkPow:
            return 6;
        default:
            return 7;  // prefix operators
    }
}

std::uint8_t BinaryOp(std::uint8_t k) {
    switch (k) {
        case TkPlus:
            return OpAdd;
        case TkMinus:
            return OpSub;
        case TkMul:
            return OpMul;
        case TkDiv:
            return OpDiv;
        case TkPow:
        case TkMod:
            return OpPow;
        case TkGt:
            return OpGt;
        case TkGe:
            return OpGe;
        case TkLt:
            return OpLt;
        case TkLe:
            return OpLe;
        case TkEq:
            return OpEq;
        case TkNe:
            return OpNe;
        case TkAnd:
            return OpAnd;
        default:
            return OpOr;
    }
}

bool TakesRefs(int k) {
    return k >= TkCallInt && k <= TkCallHost;
}

template <class D>
struct Generator {
    using Value = typename D::Value;
    Ctx &c;
    GenState &g;
    std::uint8_t *k;

    Value *values() { return ValueBuf<D>(c); }

    int Push(std::uint8_t op, bool withArg, Operand arg) {
        if (int r = Need(c, 1, 1)) return r;
        PutOp(c, op);
        if (withArg) PutArg(c, arg);
        Pushed(c);
        return 0;
    }

    int PushConst(int i) {
        if (int r = NeedCode(c, 1)) return r;
        values()[g.cw++] = values()[c.b.tokenValue[i]];
        c.b.code[g.cp++] = OpPushConst;
        ++g.consts;
        Pushed(c);
        return 0;
    }

    int RefArg(int i) {
        bool local = k[i] == TkLocalRef;
        if (int r = Push(local ? OpPushVar : OpPushCommon, true, c.b.tokenValue[i])) return r;
        CallFrame &f = TopFrame(c);
        if (!TakesRefs(f.kind)) return 0;
        if (g.assigns >= c.b.assignCap) return GrowAssigns;
        c.b.assigns[g.assigns++] = {g.frames - 1, f.commas, c.b.tokenValue[i],
                                    local ? CopyBackVar : CopyBackCell};
        return 0;
    }

    // Emits one operator taken off OpStack.
    int EmitOperator(std::uint8_t op) {
        switch (op) {
            case TkUnaryPlus:
                return 0;
            case TkUnaryMinus:
            case TkNot:
                if (g.consts >= 1) {
                    Value &v = values()[g.cw - 1];
                    v = FoldUnary<D>(op == TkNot ? OpNot : OpNeg, v);
                    return 0;
                }
                if (int r = NeedCode(c, 1)) return r;
                PutOp(c, op == TkNot ? OpNot : OpNeg);
                return 0;
            case TkPreIncLocal:
                c.b.code[g.cp - 1] = OpIncVar;
                return 0;
            case TkPreDecLocal:
                c.b.code[g.cp - 1] = OpDecVar;
                return 0;
            case TkPreIncCell:
                c.b.code[g.cp - 1] = OpIncCommon;
                return 0;
            case TkPreDecCell:
                c.b.code[g.cp - 1] = OpDecCommon;
                return 0;
            default:
                break;
        }
        std::uint8_t code = BinaryOp(op);
        --g.depth;
        if (g.consts >= 2) {
            Value &a = values()[g.cw - 2];
            a = FoldBinary<D>(code, a, values()[g.cw - 1]);
            --g.cw;
            --g.cp;
            --g.consts;
            return 0;
        }
        if (int r = NeedCode(c, 1)) return r;
        PutOp(c, code);
        return 0;
    }

    int PopOperators(int level) {
        while (g.ops > 0) {
            std::uint8_t top = c.b.opStack[g.ops - 1];
            if (top == kMark || Level(top) < level) break;
            --g.ops;
            if (int r = EmitOperator(top)) return r;
        }
        return 0;
    }

    int Operator(int i) {
        if (int r = PopOperators(Level(k[i]))) return r;
        c.b.opStack[g.ops++] = k[i];
        return 0;
    }

    int PostIncDec(int i) {
        static const std::uint8_t kOps[] = {OpVarInc, OpCommonInc, OpVarDec, OpCommonDec};
        c.b.code[g.cp - 1] = kOps[k[i] - TkPostIncLocal];
        return 0;
    }

    // `x = e`: the push of x is taken back; the store follows at the item's end.
    int Assign(int i) {
        --g.cp;
        --g.ip;
        --g.depth;
        g.consts = 0;
        if (g.assigns >= c.b.assignCap) return GrowAssigns;
        bool local = k[i - 1] == TkLocal;
        c.b.assigns[g.assigns++] = {g.frames - 1, -1, c.b.tokenValue[i - 1],
                                    local ? CopyBackVar : CopyBackCell};
        return 0;
    }

    int OpenFrame(int kind, Operand target, int token, int commas) {
        if (g.frames >= c.b.callCap) return GrowCalls;
        c.b.calls[g.frames++] = {kind, target, commas, token, g.depth, g.cp};
        c.b.opStack[g.ops++] = kMark;
        return 0;
    }

    // A call name and its bracket; `break()` and `continue()` are complete here.
    int CallName(int &i) {
        int kind = k[i];
        if (kind == TkBreak || kind == TkContinue) {
            int r = kind == TkBreak ? EmitBreak(c, i) : EmitContinue(c, i);
            i += 2;
            return r;
        }
        if (kind == TkWhile || kind == TkUntil) {
            if (int r = OpenLoop(c, i)) return r;
        }
        int r = OpenFrame(kind, c.b.tokenValue[i], i, k[i + 2] == TkClose ? -1 : 0);
        ++i;
        return r;
    }

    // End of an item: pending operators, then a pending assignment of this frame.
    int EndItem() {
        if (int r = PopOperators(0)) return r;
        if (g.assigns == 0) return 0;
        const AssignRecord &a = c.b.assigns[g.assigns - 1];
        if (a.frame != g.frames - 1 || a.argIndex != -1) return 0;
        if (int r = Need(c, 1, 1)) return r;
        PutOp(c, a.kind == CopyBackVar ? OpStoreVar : OpStoreCommon);
        PutArg(c, a.target);
        --g.assigns;
        return 0;
    }

    int Comma() {
        if (int r = EndItem()) return r;
        CallFrame &f = TopFrame(c);
        if (f.kind >= TkIf && f.kind <= TkWhich) {
            if (int r = ControlComma(c, f)) return r;
        }
        ++f.commas;
        return 0;
    }

    int CheckArgCount(const CallFrame &f, int closeTok) {
        int calleeDomain = f.kind - TkCallInt + 1;
        Operand last = f.target == reinterpret_cast<Operand>(c.rec)
                           ? c.params - 1
                           : reinterpret_cast<CompiledFormula *>(f.target)->ints[ParamLast];
        Operand expected =
            (D::type != DomainComplex && calleeDomain == DomainComplex) ? 2 * last + 1 : last;
        if (expected != f.commas)
            return TokErr(c, QUOREL_ERR_DOT_CALL + calleeDomain, f.token, closeTok);
        return 0;
    }

    // OpCall...: target, n, then the copy-back entries of by-reference arguments.
    int EmitCall(const CallFrame &f, std::uint8_t op) {
        int frame = g.frames - 1, refs = 0;
        while (refs < g.assigns && c.b.assigns[g.assigns - 1 - refs].frame == frame) ++refs;
        if (int r = Need(c, 2 + refs, 2 + 2 * refs)) return r;
        PutOp(c, op);
        PutArg(c, f.target);
        PutArg(c, f.commas);
        for (; refs > 0; --refs) {
            const AssignRecord &a = c.b.assigns[--g.assigns];
            c.b.code[g.cp++] = static_cast<std::uint8_t>(a.kind);
            PutArg(c, a.argIndex);
            PutArg(c, a.target);
        }
        c.b.code[g.cp++] = CopyBackEnd;
        return 0;
    }

    int CloseBuiltin(const CallFrame &f, int closeTok) {
        if (f.commas != 0) return TokErr(c, QUOREL_ERR_INTRINSIC_ARGS, f.token, closeTok);
        auto op = static_cast<std::uint8_t>(f.target);
        if (op == OpIntrinsicBase) {
            if (int r = NeedCode(c, 1)) return r;
            PutOp(c, OpEnd);
            return 0;
        }
        if (g.cp == f.code + 1 && c.b.code[f.code] == OpPushConst && g.consts >= 1) {
            Value &v = values()[g.cw - 1];
            v = FoldUnary<D>(op, v);
            return 0;
        }
        if (int r = NeedCode(c, 1)) return r;
        PutOp(c, op);
        return 0;
    }

    int CloseFrame(int closeTok) {
        CallFrame &f = TopFrame(c);
        int r = 0, args = f.commas + 1;
        switch (f.kind) {
            case TkOpen:
                if (f.commas > 0) {
                    if ((r = Need(c, 1, 1))) return r;
                    PutOp(c, OpCommaList);
                    PutArg(c, f.commas);
                    g.depth -= f.commas;
                }
                break;
            case TkBuiltin:
                r = CloseBuiltin(f, closeTok);
                break;
            case TkCallInt:
            case TkCallReal:
            case TkCallComplex:
                if ((r = CheckArgCount(f, closeTok))) return r;
                r = EmitCall(f, static_cast<std::uint8_t>(OpCallIntFor + f.kind - TkCallInt));
                g.depth += 1 - args;
                break;
            case TkCallHost: {
                int code = reinterpret_cast<FunctionNode *>(f.target)->paraCode;
                if (code >= QUOREL_NO_ARGS && code != f.commas)
                    return TokErr(c, QUOREL_ERR_FUNCTION_ARGS, f.token, closeTok);
                r = EmitCall(f, OpCallFun);
                g.depth += 1 - args;
                break;
            }
            default:
                r = CloseControl(c, f, closeTok);
                break;
        }
        if (r) return r;
        if (g.depth > g.maxDepth) g.maxDepth = g.depth;
        --g.frames;
        --g.ops;  // the frame's mark
        return 0;
    }

    int Close(int i) {
        if (int r = EndItem()) return r;
        return CloseFrame(i);
    }

    int Token(int &i) {
        switch (k[i]) {
            case TkConst:
                return PushConst(i);
            case TkLocal:
                return Push(OpPushVar, true, c.b.tokenValue[i]);
            case TkCell:
                return Push(OpPushCommon, true, c.b.tokenValue[i]);
            case TkLocalRef:
            case TkCellRef:
                return RefArg(i);
            case TkPostIncLocal:
            case TkPostIncCell:
            case TkPostDecLocal:
            case TkPostDecCell:
                return PostIncDec(i);
            case TkAssign:
                return Assign(i);
            case TkComma:
                return Comma();
            case TkOpen:
                return OpenFrame(TkOpen, 0, i, 0);
            case TkClose:
                return Close(i);
            case TkBuiltin:
            case TkCallInt:
            case TkCallReal:
            case TkCallComplex:
            case TkCallHost:
            case TkIf:
            case TkWhile:
            case TkUntil:
            case TkWhich:
            case TkBreak:
            case TkContinue:
                return CallName(i);
            default:
                return Operator(i);
        }
    }

    int Run() {
        g = GenState{};
        g.cp = c.strPos;
        g.ip = OperandStart;
        g.cw = c.vars;
        for (int i = c.bodyOpen; i <= c.bodyClose; ++i) {
            if (int r = Token(i)) return r;
        }
        return 0;
    }
};

}  // namespace

template <class D>
int Generate(Ctx &c) {
    return Generator<D>{c, c.g, c.b.tokenKinds}.Run();
}

template int Generate<IntDomain>(Ctx &);
template int Generate<RealDomain>(Ctx &);
template int Generate<ComplexDomain>(Ctx &);

}  // namespace quorel
