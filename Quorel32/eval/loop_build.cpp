// Translation of a formula's instruction code into a register form (loop_form.h).
//
// The translator walks the code once, keeping for every element of the evaluation
// stack where its value is: an element that a push left untouched still names the
// variable or constant it came from, so `s+i` reads both where they lie, and the
// result of an operation goes straight to the stack element it would occupy (or to
// the variable a following store names). At a jump or a jump target every element
// sits in its own stack slot, so all paths meet in the same state; an element that
// the instruction code leaves unwritten there (a failed `which` condition's second
// slot, a loop test's condition inside the body) is marked undefined, and a formula
// whose code would read one keeps the general evaluator.
#include <cstring>

#include "../base/alloc.h"
#include "loop_form.h"
#include "loop_steps.h"

namespace quorel {

namespace {

// A growable array from the engine allocator.
template <class T>
struct Grow {
    T *data = nullptr;
    int size = 0, cap = 0;
    Grow() = default;
    Grow(const Grow &) = delete;
    Grow &operator=(const Grow &) = delete;
    ~Grow() { qfree(data); }
    bool Push(const T &v) {
        if (size == cap) {
            int n = cap ? cap * 2 : 32;
            T *d = static_cast<T *>(qalloc(sizeof(T) * static_cast<std::size_t>(n)));
            if (!d) return false;
            if (size) std::memcpy(d, data, sizeof(T) * static_cast<std::size_t>(size));
            qfree(data);
            data = d;
            cap = n;
        }
        data[size++] = v;
        return true;
    }
};

// Operands an instruction takes from the operand stream; -1 for what the register
// form does not translate (calls, unknown codes).
int OperandCount(std::uint8_t op, int intrinsics) {
    switch (op) {
        case OpPushCommon:
        case OpStoreCommon:
        case OpIncCommon:
        case OpDecCommon:
        case OpCommonInc:
        case OpCommonDec:
        case OpPushVar:
        case OpStoreVar:
        case OpCommaList:
        case OpIfEnd:
        case OpWhichFail:
        case OpWhichDefault:
        case OpIncVar:
        case OpDecVar:
        case OpVarInc:
        case OpVarDec:
            return 1;
        case OpIfTest:
        case OpWhileTest:
        case OpWhichTest:
            return 3;
        case OpWhileEnd:
        case OpBreak:
        case OpContinue:
        case OpUntilTest:
        case OpWhichTaken:
            return 4;
        default:
            break;
    }
    if (op == OpEnd || op == OpPushConst || (op >= OpAdd && op <= OpNot) || op == OpNeg) return 0;
    if (op > OpIntrinsicBase && op < OpIntrinsicBase + intrinsics) return 0;
    return -1;
}

// The jump target operand of an instruction (index into its operands), or -1.
int TargetOperand(std::uint8_t op) {
    if (op == OpIfTest || op == OpWhileTest || op == OpWhichTest || op == OpWhileEnd ||
        op == OpBreak || op == OpContinue || op == OpWhichTaken)
        return 0;
    return op == OpUntilTest ? 1 : -1;
}

bool Jumps(int kind) {
    return kind == LTestVal || kind == LLoopVal || kind == LUntilVal || kind == LBack ||
           kind == LJump || kind == LContinue || (kind >= LTest && kind < LIntr);
}

struct BuildStep {
    int kind, d, a, b;
    int j;  // code offset of the target until resolved, then a step index
    int j2, flag;
};

// Where an element of the evaluation stack is.
struct Elem {
    int slot;      // values index: variable, constant or stack slot
    int producer;  // the step that wrote it, while its block is still open; else -1
    bool var;      // slot is a variable, which a store may change under it
    bool defined;
};

struct Label {
    int depth = -1;  // elements; -1 while no path to it has been seen
    int step = -1;   // first step, once the walk got there
    int mask = 0;    // offset of its defined flags in the label mask pool
};

template <class D>
class Translator {
  public:
    explicit Translator(CompiledFormula *f) : f_(f), code_(f->code), ints_(f->ints) {}
    ~Translator() {
        qfree(opAt_);
        qfree(kAt_);
        qfree(labelOf_);
        qfree(labels_);
        qfree(masks_);
        qfree(st_);
        qfree(written_);
    }
    Translator(const Translator &) = delete;
    Translator &operator=(const Translator &) = delete;

    // The form, or null when the formula does not qualify or memory ran out.
    LoopForm<D> *Run();

  private:
    bool Scan();
    bool Walk();
    bool Instruction(int off);
    bool Control(int off);
    LoopForm<D> *Finish();

    int T(int d) const { return sb_ + d; }
    bool Emit(int kind, int d, int a = -1, int b = -1, int j = -1, int flag = 0) {
        return steps_.Push(BuildStep{kind, d, a, b, j, -1, flag});
    }
    bool EmitCell(int kind, int d, int a, Operand cell) {
        void *p = reinterpret_cast<void *>(cell);
        int k = 0;
        while (k < cells_.size && cells_.data[k] != p) ++k;
        if (k == cells_.size && !cells_.Push(p)) return false;
        return Emit(kind, d, a, k);
    }
    int Last() const { return steps_.size - 1; }
    bool Push(Elem e) {
        if (top_ + 1 >= depthCap_) return false;
        st_[++top_] = e;
        return true;
    }
    Elem Temp(int d, int producer) const { return Elem{T(d), producer, false, true}; }
    bool Canon(int d);
    bool CanonBelow(int n) {
        for (int d = 0; d < n; ++d)
            if (!Canon(d)) return false;
        return true;
    }
    void Escape() {
        for (int d = 0; d <= top_; ++d) st_[d].producer = -1;
    }
    void Drop(int from);
    bool Place(int to);
    bool Write(int v);
    bool TakeCondition(int &op, int &a, int &b);
    bool Test(int family, int valKind, int off, int keep, int flag);
    bool Reach(int off, int n, bool lastUndefined);
    bool Enter(int off);

    CompiledFormula *f_;
    const std::uint8_t *code_;
    const Operand *ints_;
    int pl_ = 0, vc_ = 0, sb_ = 0, depthCap_ = 0, start_ = 0, len_ = 0;
    int *opAt_ = nullptr, *kAt_ = nullptr, *labelOf_ = nullptr;
    Label *labels_ = nullptr;
    std::uint8_t *masks_ = nullptr;
    int labelCount_ = 0;
    Elem *st_ = nullptr;
    int top_ = -1;
    bool *written_ = nullptr;
    Grow<BuildStep> steps_;
    Grow<void *> cells_;  // distinct cells named
    int barrier_ = 0;     // first step of the current block
    bool dead_ = false;
};

// Puts element d into its own stack slot.
template <class D>
bool Translator<D>::Canon(int d) {
    Elem &e = st_[d];
    if (!e.defined || e.slot == T(d)) return true;
    if (!Emit(LCopy, T(d), e.slot)) return false;
    e = Temp(d, Last());
    return true;
}

// Elements from `from` up to the top are dropped unread: an `i++` whose old value
// nobody reads only increments.
template <class D>
void Translator<D>::Drop(int from) {
    for (int d = from; d <= top_; ++d) {
        const Elem &e = st_[d];
        if (e.producer < barrier_ || e.producer > Last() || e.slot != T(d)) continue;
        BuildStep &s = steps_.data[e.producer];
        if ((s.kind == LPostInc || s.kind == LPostDec) && s.d == T(d))
            s.kind = s.kind == LPostInc ? LInc : LDec;
    }
    if (from <= top_) top_ = from - 1;
}

// The top element moves down to element `to`, dropping those between.
template <class D>
bool Translator<D>::Place(int to) {
    Elem v = st_[top_];
    if (to == top_) return true;
    st_[top_].producer = -1;  // moved, not dropped
    Drop(to);
    if (!v.defined) return false;
    v.producer = v.producer >= 0 && v.slot >= sb_ ? v.producer : -1;
    if (v.slot < sb_) {  // a variable or constant: still where it lies
        st_[++top_] = v;
        return true;
    }
    // A stack slot: the step that wrote it writes the new place instead, or a copy.
    if (v.producer == Last() && v.producer >= barrier_ && steps_.data[v.producer].d == v.slot) {
        steps_.data[v.producer].d = T(to);
        st_[++top_] = Temp(to, v.producer);
        return true;
    }
    if (!Emit(LCopy, T(to), v.slot)) return false;
    st_[++top_] = Temp(to, Last());
    return true;
}

// Before variable v changes: elements that still name it get their own slots.
template <class D>
bool Translator<D>::Write(int v) {
    if (v < 0 || v >= vc_) return false;
    if (v <= pl_) written_[v] = true;
    for (int d = 0; d <= top_; ++d)
        if (st_[d].var && st_[d].slot == v && !Canon(d)) return false;
    return true;
}

// The condition on top: the operation that computed it, taken back to be fused with
// the test, or its slot.
template <class D>
bool Translator<D>::TakeCondition(int &op, int &a, int &b) {
    const Elem e = st_[top_];
    if (!e.defined) return false;
    st_[top_].producer = -1;  // read, so never dropped unread
    op = -1;
    a = e.slot;
    if (e.producer == Last() && e.producer >= barrier_) {
        const BuildStep &s = steps_.data[e.producer];
        if (s.kind >= LBin && s.kind < LTest && s.d == e.slot) {
            op = s.kind - LBin;
            a = s.a;
            b = s.b;
            --steps_.size;
        }
    }
    return true;
}

// A conditional jump on the top element: elements below `keep` are kept in their
// slots on the jump; the condition is written to the top slot when it jumps.
template <class D>
bool Translator<D>::Test(int family, int valKind, int off, int keep, int flag) {
    int op, a, b = -1;
    if (!TakeCondition(op, a, b) || !CanonBelow(keep)) return false;
    const int target = static_cast<int>(ints_[opAt_[off]]);
    if (!Emit(op < 0 ? valKind : family + op, T(top_), a, b, target, flag)) return false;
    st_[top_] = Temp(top_, -1);
    Escape();
    return true;
}

// A jump from here to code offset `off`, with elements 0..n-1 in their slots.
template <class D>
bool Translator<D>::Reach(int off, int n, bool lastUndefined) {
    if (off < start_ || off >= len_ || labelOf_[off] < 0) return false;
    Label &l = labels_[labelOf_[off]];
    std::uint8_t *m = masks_ + l.mask;
    if (n > depthCap_) return false;
    auto defined = [&](int d) { return d < n - (lastUndefined ? 1 : 0) && st_[d].defined; };
    if (l.step >= 0) {  // backward: what the target relies on must hold
        if (l.depth != n) return false;
        for (int d = 0; d < n; ++d)
            if (m[d] && !defined(d)) return false;
        return true;
    }
    if (l.depth < 0) {
        l.depth = n;
        for (int d = 0; d < n; ++d) m[d] = defined(d);
        return true;
    }
    if (l.depth != n) return false;
    for (int d = 0; d < n; ++d) m[d] = m[d] && defined(d);
    return true;
}

// The walk arrives at a jump target.
template <class D>
bool Translator<D>::Enter(int off) {
    if (!dead_) {
        if (!CanonBelow(top_ + 1)) return false;
        if (!Reach(off, top_ + 1, false)) return false;
    }
    Label &l = labels_[labelOf_[off]];
    if (l.depth < 0) return true;  // nothing reaches it yet: still dead code
    dead_ = false;
    top_ = l.depth - 1;
    for (int d = 0; d <= top_; ++d) st_[d] = Elem{T(d), -1, false, masks_[l.mask + d] != 0};
    l.step = steps_.size;
    barrier_ = steps_.size;
    return true;
}

// Comma lists, tests, jumps and the ends of forms.
template <class D>
bool Translator<D>::Control(int off) {
    const std::uint8_t op = code_[off];
    const Operand *o = ints_ + opAt_[off];
    switch (op) {
        case OpCommaList:
        case OpWhichDefault: {
            int k = static_cast<int>(o[0]);
            return k >= 0 && k <= top_ && Place(top_ - k);
        }
        case OpIfTest:
            return top_ >= 0 && Test(LTest, LTestVal, off, top_, 0) &&
                   Reach(static_cast<int>(o[0]), top_ + 1, false) &&
                   (st_[top_].defined = false, true);
        case OpWhileTest:
            return top_ >= 0 && Test(LTest, LTestVal, off, top_, 1) &&
                   Reach(static_cast<int>(o[0]), top_ + 1, false) &&
                   (st_[top_].defined = false, true);
        case OpWhichTest:
            return top_ >= 0 && top_ + 1 < depthCap_ && Test(LTest, LTestVal, off, top_, 0) &&
                   Reach(static_cast<int>(o[0]), top_ + 2, true) &&
                   (st_[top_].defined = false, true);
        case OpUntilTest: {
            int k = static_cast<int>(o[0]);
            if (k < -1 || k >= top_) return false;
            int cop, a, b = -1;
            if (!TakeCondition(cop, a, b) || !CanonBelow(k + 1)) return false;
            Drop(k + 1);
            if (!Reach(static_cast<int>(o[1]), k + 1, false)) return false;
            if (!Emit(cop < 0 ? LUntilVal : LUntil + cop, T(k + 1), a, b, static_cast<int>(o[1])))
                return false;
            Escape();
            return Push(Temp(k + 1, -1));
        }
        case OpWhileEnd:
        case OpContinue: {
            int k = static_cast<int>(o[2]);
            if (k < -1 || k > top_) return false;
            int result = -1;
            if (op == OpContinue && top_ >= 0) {
                if (!st_[top_].defined) return false;
                result = st_[top_].slot;
                st_[top_].producer = -1;
            }
            Drop(k + 1);
            if (!CanonBelow(k + 1) || !Reach(static_cast<int>(o[0]), k + 1, false)) return false;
            Escape();
            dead_ = true;
            return Emit(op == OpWhileEnd ? LBack : LContinue, -1, result, -1,
                        static_cast<int>(o[0]));
        }
        case OpBreak: {
            int k = static_cast<int>(o[2]);
            if (k < -1 || k + 1 > top_ + 1 || k + 1 >= depthCap_) return false;
            Drop(k + 1);
            if (!Emit(LZero, T(k + 1)) || !Push(Temp(k + 1, -1)) || !CanonBelow(k + 1) ||
                !Reach(static_cast<int>(o[0]), k + 2, false))
                return false;
            Escape();
            dead_ = true;
            return Emit(LJump, -1, -1, -1, static_cast<int>(o[0]));
        }
        case OpWhichTaken: {
            int k = static_cast<int>(o[2]);
            if (k < 0 || k > top_ || !Place(top_ - k) || !CanonBelow(top_ + 1) ||
                !Reach(static_cast<int>(o[0]), top_ + 1, false))
                return false;
            Escape();
            dead_ = true;
            return Emit(LJump, -1, -1, -1, static_cast<int>(o[0]));
        }
        case OpWhichFail: {
            int k = static_cast<int>(o[0]);
            if (k < 0 || k > top_ || !Emit(LWhichFail, -1)) return false;
            Drop(top_ - k + 1);
            return true;
        }
        case OpIfEnd: {
            int k = static_cast<int>(o[0]);
            if (k < 0 || k > top_) return false;
            Drop(top_ - k + 1);
            if (!Emit(LZero, T(top_))) return false;
            st_[top_] = Temp(top_, -1);
            return true;
        }
        default:
            return false;
    }
}

// Pushes, stores and operations.
template <class D>
bool Translator<D>::Instruction(int off) {
    const std::uint8_t op = code_[off];
    const Operand *o = ints_ + opAt_[off];
    auto var = [&](Operand v) { return v >= 0 && v < vc_ ? static_cast<int>(v) : -1; };
    if (op >= OpCommaList && op <= OpWhichDefault) return Control(off);
    switch (op) {
        case OpEnd: {
            dead_ = true;
            if (top_ < 0) return Emit(LEndZero, -1);
            if (!st_[top_].defined) return false;
            return Emit(LEnd, -1, st_[top_].slot);
        }
        case OpPushConst:
            if (kAt_[off] < vc_ || kAt_[off] >= sb_) return false;
            return Push(Elem{kAt_[off], -1, false, true});
        case OpPushVar: {
            int v = var(o[0]);
            return v >= 0 && Push(Elem{v, -1, true, true});
        }
        case OpStoreVar: {
            int v = var(o[0]);
            if (v < 0 || top_ < 0) return false;
            Elem &e = st_[top_];
            if (!e.defined) return false;
            bool named = false;
            for (int d = 0; d < top_; ++d) named = named || (st_[d].var && st_[d].slot == v);
            if (!named && e.producer == Last() && e.producer >= barrier_ && e.slot == T(top_) &&
                steps_.data[e.producer].kind != LPostInc &&
                steps_.data[e.producer].kind != LPostDec) {
                // s = s + i: the operation writes the variable itself.
                steps_.data[e.producer].d = v;
                if (v <= pl_) written_[v] = true;
                st_[top_] = Elem{v, -1, true, true};
                return true;
            }
            if (e.slot == v) return Write(v);
            e.producer = -1;
            return Write(v) && Emit(LCopy, v, st_[top_].slot);
        }
        case OpPushCommon:
            return top_ + 1 < depthCap_ && EmitCell(LLoadCell, T(top_ + 1), -1, o[0]) &&
                   Push(Temp(top_ + 1, Last()));
        case OpIncCommon:
        case OpDecCommon:
        case OpCommonInc:
        case OpCommonDec: {
            static const int kKinds[] = {LIncCell, LDecCell, 0, 0, LCellInc, LCellDec};
            return top_ + 1 < depthCap_ &&
                   EmitCell(kKinds[op - OpIncCommon], T(top_ + 1), -1, o[0]) &&
                   Push(Temp(top_ + 1, Last()));
        }
        case OpStoreCommon:
            if (top_ < 0 || !st_[top_].defined) return false;
            st_[top_].producer = -1;
            return EmitCell(LStoreCell, -1, st_[top_].slot, o[0]);
        case OpIncVar:
        case OpDecVar: {
            int v = var(o[0]);
            return v >= 0 && Write(v) && Emit(op == OpIncVar ? LInc : LDec, v, v) &&
                   Push(Elem{v, -1, true, true});
        }
        case OpVarInc:
        case OpVarDec: {
            int v = var(o[0]);
            if (v < 0 || top_ + 1 >= depthCap_ || !Write(v)) return false;
            return Emit(op == OpVarInc ? LPostInc : LPostDec, T(top_ + 1), v) &&
                   Push(Temp(top_ + 1, Last()));
        }
        default:
            break;
    }
    if (op >= OpAdd && op <= OpOr) {
        if (top_ < 1 || !st_[top_].defined || !st_[top_ - 1].defined) return false;
        int a = st_[top_ - 1].slot, b = st_[top_].slot;
        --top_;
        if (!Emit(LBin + (op - OpAdd), T(top_), a, b)) return false;
        st_[top_] = Temp(top_, Last());
        return true;
    }
    // Not, Neg and the intrinsics.
    if (top_ < 0 || !st_[top_].defined) return false;
    int kind = op == OpNot ? LNot : op == OpNeg ? LNeg : LIntr + (op - OpIntrinsicBase - 1);
    if (!Emit(kind, T(top_), st_[top_].slot)) return false;
    st_[top_] = Temp(top_, Last());
    return true;
}

// Operand and constant cursors of every instruction, and the jump targets; the code
// must be laid out in the order the cursors advance, which every jump confirms.
template <class D>
bool Translator<D>::Scan() {
    pl_ = static_cast<int>(ints_[ParamLast]);
    vc_ = static_cast<int>(ints_[VarCount]);
    sb_ = static_cast<int>(ints_[StackBase]);
    depthCap_ = static_cast<int>(ints_[ValueCount] - ints_[StackBase]);
    start_ = static_cast<int>(ints_[CodeStart]);
    len_ = static_cast<int>(ints_[CodeLength]);
    if (start_ < 0 || start_ >= len_ || depthCap_ < 1 || FindProgram(f_)) return false;
    const std::size_t n = static_cast<std::size_t>(len_);
    opAt_ = qnew<int>(n);
    kAt_ = qnew<int>(n);
    labelOf_ = qnew<int>(n);
    st_ = qnew<Elem>(static_cast<std::size_t>(depthCap_) + 1);
    written_ = qnew<bool>(static_cast<std::size_t>(pl_ + 2));
    if (!opAt_ || !kAt_ || !labelOf_ || !st_ || !written_) return false;
    int o = OperandStart, k = vc_;
    for (int off = start_; off < len_; ++off) {
        opAt_[off] = o;
        kAt_[off] = k;
        labelOf_[off] = -1;
        int count = OperandCount(code_[off], D::intrinsicCount);
        if (count < 0) return false;
        if (code_[off] == OpPushConst) ++k;
        o += count;
        if (o > ints_[IntCount]) return false;
    }
    for (int off = start_; off < len_; ++off) {
        int t = TargetOperand(code_[off]);
        if (t < 0) continue;
        const Operand *ops = ints_ + opAt_[off];
        Operand to = ops[t], c = ops[t + 1];
        Operand i =
            ops[code_[off] == OpIfTest || code_[off] == OpWhileTest || code_[off] == OpWhichTest
                    ? 2
                    : 3];
        if (to < start_ || to >= len_ || c != kAt_[to] || i != opAt_[to]) return false;
        if (labelOf_[to] < 0) labelOf_[to] = labelCount_++;
    }
    // The defined flags of every target: beyond this the formula is left as it is.
    if (static_cast<long long>(labelCount_) * depthCap_ > (1 << 22)) return false;
    labels_ = qnew<Label>(static_cast<std::size_t>(labelCount_) + 1);
    masks_ = qnew<std::uint8_t>(static_cast<std::size_t>(labelCount_) * depthCap_ + 1);
    if (!labels_ || !masks_) return false;
    for (int l = 0; l < labelCount_; ++l) labels_[l] = Label{-1, -1, l * depthCap_};
    return true;
}

template <class D>
bool Translator<D>::Walk() {
    for (int off = start_; off < len_; ++off) {
        if (labelOf_[off] >= 0 && !Enter(off)) return false;
        if (dead_) continue;
        if (!Instruction(off)) return false;
    }
    return true;
}

template <class D>
LoopForm<D> *Translator<D>::Finish() {
    BuildStep *s = steps_.data;
    for (int i = 0; i < steps_.size; ++i) {
        if (!Jumps(s[i].kind)) continue;
        int l = labelOf_[s[i].j];
        if (l < 0 || labels_[l].step < 0 || labels_[l].step >= steps_.size) return nullptr;
        s[i].j = labels_[l].step;
    }
    // A back-edge to a `while` test tests again itself: one dispatch per round less.
    for (int i = 0; i < steps_.size; ++i) {
        if (s[i].kind != LBack) continue;
        const BuildStep &t = s[s[i].j];
        bool test = (t.kind == LTestVal || (t.kind >= LTest && t.kind < LLoop)) && t.flag;
        if (!test) continue;
        int head = s[i].j;
        s[i] = t;
        s[i].kind = t.kind == LTestVal ? LLoopVal : LLoop + (t.kind - LTest);
        s[i].j2 = head + 1;
    }
    int written = 0;
    for (int v = 0; v <= pl_; ++v) written += written_[v];
    std::size_t bytes = sizeof(LoopForm<D>) + sizeof(LoopStep<D>) * steps_.size +
                        sizeof(void *) * static_cast<std::size_t>(cells_.size) +
                        sizeof(std::int32_t) * static_cast<std::size_t>(written);
    auto *form = static_cast<LoopForm<D> *>(qalloc(bytes));
    if (!form) return nullptr;
    using V = typename D::Value;
    form->count = steps_.size;
    form->cells = cells_.size;
    form->written = written;
    const void *const *labels = LoopHandlers<D>();
    for (int i = 0; i < steps_.size; ++i)
        form->Steps()[i] =
            LoopStep<D>{labels[s[i].kind], s[i].d, s[i].a, s[i].b, s[i].j, s[i].j2, s[i].flag};
    for (int i = 0; i < cells_.size; ++i) form->Cells()[i] = static_cast<V *>(cells_.data[i]);
    std::int32_t *w = form->Written();
    for (int v = 0; v <= pl_; ++v)
        if (written_[v]) *w++ = v;
    return form;
}

template <class D>
LoopForm<D> *Translator<D>::Run() {
    return Scan() && Walk() ? Finish() : nullptr;
}

}  // namespace

template <class D>
void AttachLoopForm(CompiledFormula *f) {
    Translator<D> t(f);
    f->loopForm = t.Run();
}

void DetachLoopForm(CompiledFormula *f) {
    qfree(f->loopForm);
    f->loopForm = nullptr;
}

template void AttachLoopForm<IntDomain>(CompiledFormula *);
template void AttachLoopForm<RealDomain>(CompiledFormula *);
template void AttachLoopForm<ComplexDomain>(CompiledFormula *);

}  // namespace quorel
