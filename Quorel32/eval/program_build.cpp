// Translation of a plain formula's instruction code into a straight-line program.
#include <new>
#include <type_traits>

#include "../base/alloc.h"
#include "arith.h"
#include "native.h"
#include "program.h"

namespace quorel {

namespace {

bool IsBinary(std::uint8_t op) {
    return op >= OpAdd && op <= OpOr;
}

bool IsWhichOp(std::uint8_t c) {
    return c >= OpWhichTest && c <= OpWhichDefault;
}

// Operands a `which` instruction takes from the operand stream.
Operand WhichOperands(std::uint8_t c) {
    return c == OpWhichTest ? 3 : c == OpWhichTaken ? 4 : 1;
}

// Whether the code from CodeStart to its first OpEnd only pushes, operates and
// chooses with `which`, with every operand and constant where the record's arrays
// have them; the number of instructions (OpEnd included) through `count`. Anything
// else is left to the general evaluator. The stack discipline and the jumps are
// checked while translating.
template <class D>
bool IsPlain(const CompiledFormula *f, int *count) {
    const Operand *ints = f->ints;
    const Operand codeLen = ints[CodeLength], start = ints[CodeStart];
    const Operand opEnd = ints[DepFirst], kcEnd = ints[StackBase];
    if (start < 0 || ints[DepLast] >= ints[DepFirst]) return false;  // calls something
    Operand op = OperandStart, kc = ints[VarCount];
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
        } else if (IsWhichOp(c)) {
            op += WhichOperands(c);
            if (op > opEnd) return false;
        } else if (!IsBinary(c) && c != OpNeg && c != OpNot &&
                   !(c > OpIntrinsicBase && c <= OpIntrinsicBase + D::intrinsicCount - 1)) {
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
        Step<D> *last = n_ > barrier_ ? &s_[n_ - 1] : nullptr;
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
                ChainForm form = lh == BinaryHandler(op1, FormPushPK)   ? ChainPK
                                 : lh == BinaryHandler(op1, FormPushPP) ? ChainPP
                                 : lh == BinaryHandler(op1, FormPushKP) ? ChainKP
                                                                        : ChainForms;
                if (form != ChainForms) {
                    last->h = Handler(ChainHandler(op, op1, form));
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

    void Jump(int handler, Operand drop, Operand target) {
        Step<D> step{};
        step.h = Handler(handler);
        step.i = drop;
        step.j = target;  // a code position until Resolve
        s_[n_++] = step;
    }

    // A jump lands here: no step may fuse with the ones before.
    void Barrier() { barrier_ = n_; }

    int Count() const { return n_; }

  private:
    // [LoadP/PushP x][BinK op c] → x op c, [LoadP/PushP x][BinP op y] → x op y,
    // [LoadP/PushP x][Sqr] → x^2 and [LoadK/PushK c][BinP op y] → c op y, each one step.
    void FoldParameter(std::uint8_t op) {
        if (n_ - 2 < barrier_) return;
        Step<D> &b = s_[n_ - 1], &p = s_[n_ - 2];
        int kind = Kind(b), pkind = Kind(p);
        if ((pkind == HLoadK || pkind == HPushK) && kind == BinaryHandler(op, FormP)) {
            p.h = Handler(BinaryHandler(op, pkind == HLoadK ? FormLoadKP : FormPushKP));
            p.i = b.i;  // the constant stays where it is
            --n_;
            return;
        }
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
    int barrier_ = 0;
};

// An open `which` form: where it ends, the depth below it, whether its first test
// has been seen.
struct OpenForm {
    Operand end;
    Operand below;
};

// Walks the code once, in order. Every jump is forward, so by the time the walk
// reaches a code position, every jump to it has been met: `stepAt` marks such
// positions (-2) and then records the step they land on. Returns the step count, or
// -1 when the code is not what the compiler makes (then the formula gets no
// program), the deepest stack through `maxDepth` and the deepest nesting of `which`
// forms through `maxNesting`.
template <class D>
int Translate(const CompiledFormula *f, Step<D> *steps, int *stepAt, OpenForm *forms, int *maxDepth,
              int *maxNesting) {
    using V = typename D::Value;
    const Operand *ints = f->ints;
    V *vs = static_cast<V *>(f->values);
    const Operand pl = ints[ParamLast], codeLen = ints[CodeLength];
    Operand op = OperandStart, kc = ints[VarCount], depth = 0, top = 0;
    int nForms = 0, nesting = 0;
    Emitter<D> e(steps);
    auto jumpTo = [&](Operand t, Operand pc) {
        if (t <= pc || t >= codeLen || !stepAt) return false;
        stepAt[t] = -2;
        return true;
    };
    for (Operand pc = ints[CodeStart];; ++pc) {
        if (stepAt && stepAt[pc] == -2) {
            e.Barrier();
            stepAt[pc] = e.Count();
        }
        std::uint8_t c = f->code[pc];
        Step<D> step{};
        if (depth > top) top = depth;
        switch (c) {
            case OpEnd:
                if (nForms != 0 || depth > 1) return -1;
                e.Unary(depth > 0 ? HEnd : HEndZero);
                *maxDepth = static_cast<int>(top);
                *maxNesting = nesting;
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
            case OpNot:
                if (depth < 1) return -1;
                e.Unary(c == OpNeg ? HNeg : HNot);
                break;
            case OpWhichTest: {
                // The form is known by its end, which the value's OpWhichTaken (the
                // four operands before the ones this test jumps to) carries.
                Operand t = ints[op], i = ints[op + 2];
                op += 3;
                if (depth < 1 || i < OperandStart + 4 || i > ints[DepFirst]) return -1;
                Operand end = ints[i - 4];
                if (!jumpTo(t, pc) || end <= t) return -1;
                bool first = nForms == 0 || forms[nForms - 1].end != end;
                if (first) {
                    forms[nForms++] = OpenForm{end, depth - 1};
                    if (nForms > nesting) nesting = nForms;
                } else if (depth != forms[nForms - 1].below + 2)
                    return -1;
                // Popping the only element leaves the stack pointer where it is.
                e.Jump(first ? HTestKeep : HTest, depth > 1 ? 1 : 0, t);
                --depth;
                break;
            }
            case OpWhichTaken: {
                Operand end = ints[op];
                op += 4;
                if (nForms == 0 || forms[nForms - 1].end != end || !jumpTo(end, pc)) return -1;
                const OpenForm &form = forms[nForms - 1];
                if (depth != form.below + 1 && depth != form.below + 2) return -1;
                e.Jump(HTaken, depth - form.below - 1, end);
                depth = form.below + 1;
                break;
            }
            case OpWhichFail:
            case OpWhichDefault: {
                ++op;
                if (nForms == 0 || forms[nForms - 1].end != pc + 1) return -1;
                Operand below = forms[--nForms].below;
                bool fail = c == OpWhichFail;
                if (depth != below + (fail ? 1 : 2)) return -1;
                e.Unary(fail ? HWhichFail : HDrop);
                depth = below + 1;
                break;
            }
            default:
                if (IsBinary(c)) {
                    if (depth < 2) return -1;
                    e.Binary(c);
                    --depth;
                } else {
                    if (depth < 1) return -1;
                    e.Unary(HIntr + (c - OpIntrinsicBase - 1));
                }
                break;
        }
    }
}

// Whether the code has `which` forms, which need the jump bookkeeping.
bool HasWhich(const CompiledFormula *f, int count) {
    const std::uint8_t *code = f->code + f->ints[CodeStart];
    for (int i = 0; i < count; ++i)
        if (IsWhichOp(code[i])) return true;
    return false;
}

}  // namespace

template <class D>
bool AttachProgram(CompiledFormula *f) {
    int count;
    if (!IsPlain<D>(f, &count)) return true;
    std::size_t bytes = sizeof(Program<D>) +
                        (sizeof(Step<D>) + sizeof(std::uint16_t)) * static_cast<std::size_t>(count);
    void *block = qalloc(bytes);
    if (!block) return false;
    auto *prog = new (block) Program<D>();  // zeroed: no native code yet
    Step<D> *steps = prog->Steps();
    int *stepAt = nullptr;
    OpenForm *forms = nullptr;
    bool jumps = HasWhich(f, count);
    if (jumps) {
        stepAt = qnew<int>(static_cast<std::size_t>(f->ints[CodeLength]));
        forms = qnew<OpenForm>(static_cast<std::size_t>(count));
        if (!stepAt || !forms) {
            qfree(stepAt);
            qfree(forms);
            qfree(block);
            return false;
        }
    }
    int depth = 0, nesting = 0;
    int n = Translate<D>(f, steps, stepAt, forms, &depth, &nesting);
    if (n < 0) {  // not code the compiler makes: the general evaluator copes
        qfree(stepAt);
        qfree(forms);
        qfree(block);
        return true;
    }
    prog->f = f;
    prog->type = D::type;
    prog->depth = depth;
    prog->count = n;
    prog->nesting = nesting;
    const void *const *labels = ProgramHandlers<D>();
    std::uint16_t *kinds = prog->Kinds();
    for (int i = 0; i < n; ++i) {
        auto kind = reinterpret_cast<std::uintptr_t>(steps[i].h);
        kinds[i] = static_cast<std::uint16_t>(kind);
        steps[i].h = labels[kind];
        if (kind == HTestKeep || kind == HTest || kind == HTaken) steps[i].j = stepAt[steps[i].j];
    }
    qfree(stepAt);
    qfree(forms);
    prog->entry.store(FirstEntry<D>(prog), std::memory_order_relaxed);
    f->program = prog;
    ++g.programs.count;
    return true;
}

void DetachProgram(CompiledFormula *f) {
    auto *prog = static_cast<ProgramHead *>(f->program);
    if (!prog) return;
    FreeNative(prog);
    qfree(prog);
    f->program = nullptr;
    --g.programs.count;
}

template bool AttachProgram<IntDomain>(CompiledFormula *);
template bool AttachProgram<RealDomain>(CompiledFormula *);
template bool AttachProgram<ComplexDomain>(CompiledFormula *);

}  // namespace quorel
