// Translation of a plain formula's instruction code into a straight-line program.
#include <new>
#include <type_traits>

#include "../base/alloc.h"
#include "arith.h"
#include "program.h"

namespace quorel {

namespace {

bool IsBinary(std::uint8_t op) {
    return op >= OpAdd && op <= OpOr;
}

// Whether the code from CodeStart to its first OpEnd only pushes and operates, with
// every operand, constant and stack element where the record's arrays have room for
// it; the number of instructions (OpEnd included) through `count`. Anything else is
// left to the general evaluator.
template <class D>
bool IsPlain(const CompiledFormula *f, int *count) {
    const Operand *ints = f->ints;
    const Operand codeLen = ints[CodeLength], start = ints[CodeStart];
    const Operand opEnd = ints[DepFirst], kcEnd = ints[StackBase];
    const Operand room = ints[ValueCount] - ints[StackBase];
    if (start < 0 || ints[DepLast] >= ints[DepFirst]) return false;  // calls something
    Operand op = OperandStart, kc = ints[VarCount], depth = 0;
    int n = 0;
    for (Operand pc = start; pc < codeLen; ++pc) {
        std::uint8_t c = f->code[pc];
        ++n;
        if (c == OpEnd) {
            *count = n;
            return true;
        }
        if (c == OpPushConst || c == OpPushVar || c == OpPushCommon) {
            if (c == OpPushConst ? kc++ >= kcEnd : op++ >= opEnd) return false;
            if (++depth > room) return false;
        } else if (IsBinary(c)) {
            if (depth-- < 2) return false;
        } else if (c == OpNeg || c == OpNot ||
                   (c > OpIntrinsicBase && c <= OpIntrinsicBase + D::intrinsicCount - 1)) {
            if (depth < 1) return false;
        } else {
            return false;
        }
    }
    return false;  // no OpEnd
}

// Whether `x op k` is the square of x in D (the real power of exactly 2).
template <class D>
bool IsSquare(std::uint8_t op, const typename D::Value &k) {
    if constexpr (std::is_same_v<D, RealDomain>)
        return op == OpPow && k == 2.0;
    else
        return false;
}

template <class D>
class Emitter {
  public:
    explicit Emitter(Step<D> *steps) : s_(steps) {}

    void Push(int loadHandler, Step<D> step, Operand depth) {
        step.h = Handler(depth == 0 ? loadHandler : loadHandler + (HPushP - HLoadP));
        s_[n_++] = step;
    }

    // An operation on the two top elements. When the right one was pushed by the
    // step just before, it becomes that step's operand; a parameter pushed just
    // before a constant or a parameter folds with it into one step; and a basic
    // operation whose right operand was computed by such a step just before takes
    // that step over.
    void Binary(std::uint8_t op) {
        Step<D> *last = n_ > 0 ? &s_[n_ - 1] : nullptr;
        int lh = last ? Kind(*last) : -1;
        if (lh == HPushP || lh == HPushK || lh == HPushV) {
            if (lh == HPushK && IsSquare<D>(op, last->k)) {
                last->h = Handler(HSqr);
            } else {
                auto form = lh == HPushP ? FormP : lh == HPushK ? FormK : FormV;
                last->h = Handler(BinaryHandler(op, form));
            }
            FoldParameter(op);
            return;
        }
        if (last && IsBasic(op)) {
            for (int op1 = OpAdd; op1 <= OpDiv; ++op1) {
                if (lh == BinaryHandler(op1, FormPushPK) || lh == BinaryHandler(op1, FormPushPP)) {
                    last->h = Handler(ChainHandler(op, op1, lh == BinaryHandler(op1, FormPushPP)));
                    return;
                }
            }
            if (lh == HPushSqrP) {
                last->h = Handler(ChainSquareHandler(op));
                return;
            }
        }
        Step<D> step{};
        step.h = Handler(BinaryHandler(op, FormS));
        s_[n_++] = step;
    }

    void Unary(int handler) {
        Step<D> step{};
        step.h = Handler(handler);
        s_[n_++] = step;
    }

    int Count() const { return n_; }

  private:
    // [LoadP/PushP x][BinK op c] → x op c, [LoadP/PushP x][BinP op y] → x op y, and
    // [LoadP/PushP x][Sqr] → x^2, each one step.
    void FoldParameter(std::uint8_t op) {
        if (n_ < 2) return;
        Step<D> &b = s_[n_ - 1], &p = s_[n_ - 2];
        int kind = Kind(b), pkind = Kind(p);
        if (pkind != HLoadP && pkind != HPushP) return;
        bool load = pkind == HLoadP;
        if (kind == HSqr) {
            p.h = Handler(load ? HLoadSqrP : HPushSqrP);
        } else if (kind == BinaryHandler(op, FormK)) {
            p.h = Handler(BinaryHandler(op, load ? FormLoadPK : FormPushPK));
            p.k = b.k;
        } else if (kind == BinaryHandler(op, FormP)) {
            p.h = Handler(BinaryHandler(op, load ? FormLoadPP : FormPushPP));
            p.j = b.i;
        } else {
            return;
        }
        --n_;
    }

    // Handlers are stored as numbers while the program is built and turned into
    // label addresses at the end.
    static const void *Handler(int h) { return reinterpret_cast<const void *>(std::uintptr_t(h)); }
    static int Kind(const Step<D> &s) {
        return static_cast<int>(reinterpret_cast<std::uintptr_t>(s.h));
    }

    Step<D> *s_;
    int n_ = 0;
};

template <class D>
int Translate(const CompiledFormula *f, Step<D> *steps) {
    using V = typename D::Value;
    const Operand *ints = f->ints;
    V *vs = static_cast<V *>(f->values);
    const Operand pl = ints[ParamLast];
    Operand op = OperandStart, kc = ints[VarCount], depth = 0;
    Emitter<D> e(steps);
    for (Operand pc = ints[CodeStart];; ++pc) {
        std::uint8_t c = f->code[pc];
        Step<D> step{};
        switch (c) {
            case OpEnd:
                e.Unary(depth > 0 ? HEnd : HEndZero);
                return e.Count();
            case OpPushConst:
                step.k = vs[kc++];
                e.Push(HLoadK, step, depth++);
                break;
            case OpPushVar: {
                Operand v = ints[op++];
                if (v <= pl) {
                    step.i = v;
                    e.Push(HLoadP, step, depth++);
                } else {
                    step.cell = vs + v;
                    e.Push(HLoadV, step, depth++);
                }
                break;
            }
            case OpPushCommon:
                step.cell = reinterpret_cast<V *>(ints[op++]);
                e.Push(HLoadV, step, depth++);
                break;
            case OpNeg:
                e.Unary(HNeg);
                break;
            case OpNot:
                e.Unary(HNot);
                break;
            default:
                if (IsBinary(c)) {
                    e.Binary(c);
                    --depth;
                } else {
                    e.Unary(HIntr + (c - OpIntrinsicBase - 1));
                }
                break;
        }
    }
}

}  // namespace

template <class D>
bool AttachProgram(CompiledFormula *f) {
    int count;
    if (!IsPlain<D>(f, &count)) return true;
    std::size_t bytes = sizeof(Program<D>) + sizeof(Step<D>) * static_cast<std::size_t>(count);
    void *block = qalloc(bytes);
    if (!block) return false;
    auto *prog = new (block) Program<D>;
    prog->stack = static_cast<typename D::Value *>(f->values) + f->ints[StackBase];
    Step<D> *steps = prog->Steps();
    int n = Translate<D>(f, steps);
    const void *const *labels = ProgramHandlers<D>();
    for (int i = 0; i < n; ++i) steps[i].h = labels[reinterpret_cast<std::uintptr_t>(steps[i].h)];
    if (!FileProgram(f, prog)) {
        qfree(block);
        return false;
    }
    return true;
}

template bool AttachProgram<IntDomain>(CompiledFormula *);
template bool AttachProgram<RealDomain>(CompiledFormula *);
template bool AttachProgram<ComplexDomain>(CompiledFormula *);

}  // namespace quorel
