// x86-64 machine code for real programs (System V and Win64 calling conventions).
//
// Straight-line code makes the stack depth at every step known at translation, so
// the stack disappears: the top lives in xmm0, the elements below it in xmm1.. and,
// beyond those, in slots of the code's own frame. Around a call the live registers
// go to their slots and come back. pow and the intrinsics other than sqrt and abs
// (one exact instruction each) are called through out-of-line functions built from
// the runner's own arithmetic, so both compute them with the same code.
#include <cstring>
#include <new>

#include "../base/runerr.h"
#include "arith.h"
#include "native.h"

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(QUOREL_NO_JIT)

namespace quorel {

namespace {

using A = Arith<RealDomain>;

double CallPow(double a, double b) {
    return A::Pow(a, b);
}
template <int C>
double CallIntr(double a) {
    return A::template Intr<C>(a);
}
void CallWhichFail(ProgramHead *p) {
    ReportFormulaErrShared(DomainReal, "which", DomainReal, p->f);
}

using IntrFn = double (*)(double);
const IntrFn kIntrinsics[] = {CallIntr<46>, CallIntr<47>, CallIntr<48>, CallIntr<49>, CallIntr<50>,
                              CallIntr<51>, CallIntr<52>, CallIntr<53>, CallIntr<54>, CallIntr<55>,
                              CallIntr<56>, CallIntr<57>, CallIntr<58>, CallIntr<59>, CallIntr<60>};

enum Gpr { RAX = 0, RCX = 1, RDX = 2, RBX = 3, RSP = 4, RSI = 6, RDI = 7 };

#if defined(_WIN32)
constexpr int kParaArg = RDX, kFirstArg = RCX;
constexpr int kRegLevels = 4;  // xmm0..xmm5 are the volatile registers
constexpr int kScratch = 5;
constexpr int kShadow = 32;  // the callee's home area for its register arguments
#else
constexpr int kParaArg = RSI, kFirstArg = RDI;
constexpr int kRegLevels = 7;
constexpr int kScratch = 8;
constexpr int kShadow = 0;
#endif

// Deeper programs keep the runner: their frame would grow past a few pages.
constexpr int kMaxDepth = 256;

// 16-byte constants ahead of the program's own.
enum PoolEntry { PoolZero, PoolOne, PoolSign, PoolAbs, PoolFixed };

// SSE2 opcodes (after 0F) and their mandatory prefixes.
enum : int {
    F2 = 0xF2,
    P66 = 0x66,
    MovLoad = 0x10,
    MovStore = 0x11,
    MovApd = 0x28,
    Ucomi = 0x2E,
    Sqrt = 0x51,
    AndPd = 0x54,
    OrPd = 0x56,
    XorPd = 0x57,
    AddSd = 0x58,
    MulSd = 0x59,
    SubSd = 0x5C,
    DivSd = 0x5E,
    CmpSd = 0xC2,
};
enum Pred { PredEq = 0, PredLt = 1, PredLe = 2, PredNe = 4 };

// A memory operand: [base + disp], or a pool entry addressed relative to rip.
struct Mem {
    int base;
    std::int32_t disp;
    int pool;  // >= 0: the pool entry
};

// An operand of a step: an xmm register or memory.
struct Opnd {
    bool reg;
    int x;
    Mem m;
};

Opnd Xmm(int x) {
    return Opnd{true, x, {}};
}
Opnd InMem(Mem m) {
    return Opnd{false, 0, m};
}

struct Fixup {
    std::size_t at;   // the 32-bit displacement
    std::size_t end;  // where the instruction ends (displacements count from there)
    int target;       // pool entry or step
};

class Emitter {
  public:
    Emitter(Program<RealDomain> *p, std::uint8_t *out, std::size_t cap, Fixup *pool, Fixup *jumps,
            std::size_t *stepAt, int *targetDepth)
        : p_(p),
          out_(out),
          cap_(cap),
          poolFix_(pool),
          jumpFix_(jumps),
          stepAt_(stepAt),
          targetDepth_(targetDepth),
          poolCap_(4 * p->count),
          jumpCap_(p->count + 1) {}

    std::size_t Run();

  private:
    void Byte(int b) {
        if (n_ < cap_) out_[n_] = static_cast<std::uint8_t>(b);
        ++n_;
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) Byte(static_cast<int>(v >> (8 * i)) & 0xFF);
    }
    void U64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) Byte(static_cast<int>(v >> (8 * i)) & 0xFF);
    }
    void Patch32(std::size_t at, std::int64_t v) {
        for (int i = 0; i < 4; ++i)
            if (at + i < cap_) out_[at + i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    }

    // prefix [REX] 0F op modrm ...
    void Sse(int pfx, int op, int reg, const Opnd &o, int imm = -1) {
        if (pfx) Byte(pfx);
        int rex = 0x40 | ((reg >> 3) << 2);
        if (o.reg)
            rex |= o.x >> 3;
        else if (o.m.pool < 0)
            rex |= o.m.base >> 3;
        if (rex != 0x40) Byte(rex);
        Byte(0x0F);
        Byte(op);
        if (o.reg) {
            Byte(0xC0 | (reg & 7) << 3 | (o.x & 7));
        } else if (o.m.pool >= 0) {
            Byte(0x05 | (reg & 7) << 3);
            if (nPool_ < poolCap_)
                poolFix_[nPool_] = Fixup{n_, n_ + 4 + (imm >= 0 ? 1 : 0), o.m.pool};
            ++nPool_;
            U32(0);
        } else {
            Byte(0x80 | (reg & 7) << 3 | (o.m.base & 7));
            if ((o.m.base & 7) == RSP) Byte(0x24);
            U32(static_cast<std::uint32_t>(o.m.disp));
        }
        if (imm >= 0) Byte(imm);
    }
    void MovAbs(int r, const void *v) {
        Byte(0x48);
        Byte(0xB8 + r);
        U64(reinterpret_cast<std::uintptr_t>(v));
    }
    void Call(const void *fn) {
        MovAbs(RAX, fn);
        Byte(0xFF);
        Byte(0xD0);
    }
    void JumpTo(int op2, int step) {  // jmp (op2 0) or jcc (0F op2) to a step
        if (op2) {
            Byte(0x0F);
            Byte(op2);
        } else {
            Byte(0xE9);
        }
        if (nJump_ < jumpCap_) jumpFix_[nJump_] = Fixup{n_, n_ + 4, step};
        ++nJump_;
        U32(0);
    }

    Mem Pool(int entry) { return Mem{0, 0, entry}; }
    Opnd Const(double k) {
        std::memcpy(&consts_[nConst_], &k, 8);
        return InMem(Pool(PoolFixed + nConst_++));
    }
    Opnd Param(Operand i) { return InMem(Mem{para_, static_cast<std::int32_t>(8 * i), -1}); }
    Opnd Cell(double *cell) {
        MovAbs(RAX, cell);
        return InMem(Mem{RAX, 0, -1});
    }
    Mem Home(int level) { return Mem{RSP, kShadow + 8 * level, -1}; }
    Opnd Level(int k) { return k <= kRegLevels ? Xmm(k) : InMem(Home(k)); }

    void Load(int x, const Opnd &o) {
        if (o.reg) {
            if (o.x != x) Sse(P66, MovApd, x, o);
        } else {
            Sse(F2, MovLoad, x, o);
        }
    }
    // The top goes one level down: `depth` elements before the push.
    void PushTop(int depth) {
        Opnd at = Level(depth);
        if (at.reg)
            Load(at.x, Xmm(0));
        else
            Sse(F2, MovStore, 0, at);
    }
    // Levels 1..upto held in registers go to their slots and back around a call.
    void Spill(int upto, bool back) {
        for (int k = 1; k <= upto && k <= kRegLevels; ++k)
            Sse(F2, back ? MovLoad : MovStore, k, InMem(Home(k)));
    }

    void Arith(int opcode, const Opnd &a, const Opnd &b);
    void Compare(Pred pred, bool swap, const Opnd &a, const Opnd &b);
    void Logic(int opcode, const Opnd &a, const Opnd &b);
    // a op b into xmm0; `live` levels stay below the result. False: not translated.
    bool Binary(int op, const Opnd &a, const Opnd &b, int live);
    bool Step(int kind, const quorel::Step<RealDomain> &s, int index);
    bool Chain(int kind, const quorel::Step<RealDomain> &s);

    Program<RealDomain> *p_;
    std::uint8_t *out_;
    std::size_t cap_, n_ = 0;
    Fixup *poolFix_, *jumpFix_;
    int nPool_ = 0, nJump_ = 0;
    std::size_t *stepAt_;
    int *targetDepth_;
    int poolCap_, jumpCap_;
    double consts_[2 * 1024];
    int nConst_ = 0;
    int para_ = kParaArg;
    int depth_ = 0;
    bool frame_ = false, calls_ = false;
    int frameBytes_ = 0;
};

void Emitter::Arith(int opcode, const Opnd &a, const Opnd &b) {
    // Where both operands are NaN, the one in the destination comes through. The
    // instruction code adds and multiplies into its right operand, so this code does
    // too; a difference and a quotient keep the left one there, as everywhere.
    if (opcode == AddSd || opcode == MulSd) {
        if (b.reg && b.x == 0) {
            Sse(F2, opcode, 0, a);
        } else if (a.reg && a.x == 0) {
            Load(kScratch, b);
            Sse(F2, opcode, kScratch, a);
            Load(0, Xmm(kScratch));
        } else {
            Load(0, b);
            Sse(F2, opcode, 0, a);
        }
    } else if (a.reg && a.x == 0) {
        Sse(F2, opcode, 0, b);
    } else if (b.reg && b.x == 0) {
        int t = a.reg ? a.x : kScratch;  // a register operand is a popped level
        Load(t, a);
        Sse(F2, opcode, t, b);
        Load(0, Xmm(t));
    } else {
        Load(0, a);
        Sse(F2, opcode, 0, b);
    }
}

// (l pred r) ? 1.0 : 0.0, where Gt and Ge compare the swapped operands.
void Emitter::Compare(Pred pred, bool swap, const Opnd &a, const Opnd &b) {
    const Opnd &l = swap ? b : a, &r = swap ? a : b;
    int t = (l.reg && l.x == 0) ? 0 : l.reg ? l.x : (r.reg && r.x == 0) ? kScratch : 0;
    Load(t, l);
    Sse(F2, CmpSd, t, r, pred);
    Sse(P66, AndPd, t, InMem(Pool(PoolOne)));
    Load(0, Xmm(t));
}

// (a != 0 op b != 0) ? 1.0 : 0.0 with op `and` or `or` of the two masks.
void Emitter::Logic(int opcode, const Opnd &a, const Opnd &b) {
    const Opnd zero = InMem(Pool(PoolZero));
    int ta = (a.reg && a.x == 0) ? 0 : a.reg ? a.x : (b.reg && b.x == 0) ? kScratch : 0;
    Load(ta, a);
    Sse(F2, CmpSd, ta, zero, PredNe);
    int tb = (b.reg && b.x == 0) ? 0 : ta == 0 ? kScratch : 0;
    Load(tb, b);
    Sse(F2, CmpSd, tb, zero, PredNe);
    Sse(P66, opcode, 0, Xmm(ta == 0 ? tb : ta));  // one of the two is xmm0
    Sse(P66, AndPd, 0, InMem(Pool(PoolOne)));
}

bool Emitter::Binary(int op, const Opnd &a, const Opnd &b, int live) {
    switch (op) {
        case OpAdd:
            Arith(AddSd, a, b);
            return true;
        case OpSub:
            Arith(SubSd, a, b);
            return true;
        case OpMul:
            Arith(MulSd, a, b);
            return true;
        case OpDiv:
            Arith(DivSd, a, b);
            return true;
        case OpGt:
            Compare(PredLt, true, a, b);
            return true;
        case OpGe:
            Compare(PredLe, true, a, b);
            return true;
        case OpLt:
            Compare(PredLt, false, a, b);
            return true;
        case OpLe:
            Compare(PredLe, false, a, b);
            return true;
        case OpEq:
            Compare(PredEq, false, a, b);
            return true;
        case OpNe:
            Compare(PredNe, false, a, b);
            return true;
        case OpAnd:
            Logic(AndPd, a, b);
            return true;
        case OpOr:
            Logic(OrPd, a, b);
            return true;
        case OpPow:
            // Read both operands before xmm0 and xmm1 (a level register) are set.
            Spill(live, false);
            Load(kScratch, b);
            Load(0, a);
            Load(1, Xmm(kScratch));
            Call(reinterpret_cast<const void *>(&CallPow));
            Spill(live, true);
            return true;
        default:
            return false;
    }
}

// top op2 (x op1 y), op1 and op2 basic.
bool Emitter::Chain(int kind, const quorel::Step<RealDomain> &s) {
    static const int kOps[] = {AddSd, SubSd, MulSd, DivSd};
    int rel = kind - HChainPK_Add_Add;
    int row = 4 * ChainForms + 1;
    int op2 = kOps[rel / row], inner = rel % row;
    if (inner == 4 * ChainForms) {  // x^2
        Load(kScratch, Param(s.i));
        Sse(F2, MulSd, kScratch, Xmm(kScratch));
    } else {
        int op1 = kOps[inner / ChainForms];
        auto form = static_cast<ChainForm>(inner % ChainForms);
        Opnd x = form == ChainKP ? Const(s.k) : Param(s.i);
        Opnd y = form == ChainPK ? Const(s.k) : form == ChainPP ? Param(s.j) : Param(s.i);
        bool commutes = op1 == AddSd || op1 == MulSd;  // the right operand as destination
        Load(kScratch, commutes ? y : x);
        Sse(F2, op1, kScratch, commutes ? x : y);
    }
    Arith(op2, Xmm(0), Xmm(kScratch));
    return true;
}

bool Emitter::Step(int kind, const quorel::Step<RealDomain> &s, int index) {
    const int d = depth_;
    auto needs = [&](int n) { return d >= n; };
    if (kind >= HBin_Add && kind < HChainPK_Add_Add) {
        int op = OpAdd + (kind - HBin_Add) / FormCount;
        auto form = static_cast<BinaryForm>((kind - HBin_Add) % FormCount);
        bool push = form == FormPushPK || form == FormPushPP || form == FormPushKP;
        bool load = form == FormLoadPK || form == FormLoadPP || form == FormLoadKP;
        if (form == FormS) {
            if (!needs(2)) return false;
            depth_ = d - 1;
            return Binary(op, Level(d - 1), Xmm(0), d - 2);
        }
        if (load && d != 0) return false;
        if (!load && !push && !needs(1)) return false;
        if (push) {
            if (!needs(1)) return false;
            PushTop(d);
        }
        depth_ = load ? 1 : push ? d + 1 : d;
        int live = depth_ - 1;
        switch (form) {
            case FormP:
                return Binary(op, Xmm(0), Param(s.i), live);
            case FormK:
                return Binary(op, Xmm(0), Const(s.k), live);
            case FormV:
                return Binary(op, Xmm(0), Cell(s.cell), live);
            case FormLoadPK:
            case FormPushPK:
                return Binary(op, Param(s.i), Const(s.k), live);
            case FormLoadPP:
            case FormPushPP:
                return Binary(op, Param(s.i), Param(s.j), live);
            default:
                return Binary(op, Const(s.k), Param(s.i), live);
        }
    }
    if (kind >= HChainPK_Add_Add && kind < HIntr) return needs(1) && Chain(kind, s);
    if (kind >= HIntr && kind < HTestKeep) {
        if (!needs(1)) return false;
        int c = OpIntrinsicBase + 1 + (kind - HIntr);
        if (c == 46) {
            Sse(F2, Sqrt, 0, Xmm(0));
        } else if (c == 59) {
            Sse(P66, AndPd, 0, InMem(Pool(PoolAbs)));
        } else {
            Spill(d - 1, false);
            Call(reinterpret_cast<const void *>(kIntrinsics[kind - HIntr]));
            Spill(d - 1, true);
        }
        return true;
    }
    switch (kind) {
        case HEnd:
        case HEndZero:
            if (kind == HEndZero)
                Sse(P66, XorPd, 0, Xmm(0));
            else if (!needs(1))
                return false;
            if (frame_) {  // add rsp, imm32
                Byte(0x48), Byte(0x81), Byte(0xC4), U32(static_cast<std::uint32_t>(frameBytes_));
            }
            if (calls_) Byte(0x5B);  // pop rbx
            Byte(0xC3);
            depth_ = -1;  // nothing falls through
            return true;
        case HLoadP:
        case HLoadK:
        case HLoadV:
        case HPushP:
        case HPushK:
        case HPushV:
        case HLoadSqrP:
        case HPushSqrP: {
            bool push = kind == HPushP || kind == HPushK || kind == HPushV || kind == HPushSqrP;
            if (push ? d < 1 : d != 0) return false;
            if (push) PushTop(d);
            Opnd v = (kind == HLoadK || kind == HPushK)   ? Const(s.k)
                     : (kind == HLoadV || kind == HPushV) ? Cell(s.cell)
                                                          : Param(s.i);
            Load(0, v);
            if (kind == HLoadSqrP || kind == HPushSqrP) Sse(F2, MulSd, 0, Xmm(0));
            depth_ = d + 1;
            return true;
        }
        case HNeg:
            if (!needs(1)) return false;
            Sse(P66, XorPd, 0, InMem(Pool(PoolSign)));
            return true;
        case HNot:
            if (!needs(1)) return false;
            Sse(F2, CmpSd, 0, InMem(Pool(PoolZero)), PredEq);
            Sse(P66, AndPd, 0, InMem(Pool(PoolOne)));
            return true;
        case HSqr:
            if (!needs(1)) return false;
            Sse(F2, MulSd, 0, Xmm(0));
            return true;
        case HTestKeep:
        case HTest: {
            // Held unless tos == 0 (NaN counts as held): ZF set and PF clear.
            if (kind == HTest ? d < 2 : d < 1) return false;
            if (s.i != (d > 1 ? 1 : 0) || s.j <= index || s.j >= p_->count) return false;
            int failDepth = kind == HTest ? d - 1 : d;
            if (targetDepth_[s.j] >= 0 && targetDepth_[s.j] != failDepth) return false;
            targetDepth_[s.j] = failDepth;
            Sse(P66, Ucomi, 0, InMem(Pool(PoolZero)));
            if (kind == HTest) Load(0, Level(d - 1));  // moves leave the flags alone
            Byte(0x7A), Byte(0x06);                    // jp over the je
            JumpTo(0x84, static_cast<int>(s.j));
            if (kind == HTestKeep) {
                if (d > 1)
                    Load(0, Level(d - 1));
                else
                    Sse(P66, XorPd, 0, Xmm(0));  // the stack's harmless element 0
            }
            depth_ = d - 1;
            return true;
        }
        case HTaken: {
            if (s.i < 0 || s.i > 1 || d - s.i < 1 || s.j <= index || s.j >= p_->count) return false;
            int to = static_cast<int>(d - s.i);
            if (targetDepth_[s.j] >= 0 && targetDepth_[s.j] != to) return false;
            targetDepth_[s.j] = to;
            JumpTo(0, static_cast<int>(s.j));  // the dropped element was below the top
            depth_ = -1;
            return true;
        }
        case HDrop:
            if (!needs(2)) return false;
            depth_ = d - 1;
            return true;
        case HWhichFail:
            if (!needs(1)) return false;
            Sse(F2, MovStore, 0, InMem(Home(0)));
            Spill(d - 1, false);
            MovAbs(kFirstArg, p_);
            Call(reinterpret_cast<const void *>(&CallWhichFail));
            Spill(d - 1, true);
            Sse(F2, MovLoad, 0, InMem(Home(0)));
            return true;
        default:
            return false;
    }
}

std::size_t Emitter::Run() {
    const std::uint16_t *kinds = p_->Kinds();
    const quorel::Step<RealDomain> *steps = p_->Steps();
    const int count = p_->count;
    if (p_->depth > kMaxDepth || count > 1024) return 0;
    for (int i = 0; i < count; ++i) {
        int k = kinds[i];
        bool pow = k >= HBin_Pow && k < HBin_Pow + int{FormCount};
        bool callee = k >= HIntr && k < HTestKeep && k != HIntr && k != HIntr + 13;  // sqrt, abs
        if (pow || callee || k == HWhichFail) calls_ = true;
    }
    // The code starts a little into its pages: checks of a callee's signature that
    // read just before the entry read padding, not a neighbouring page.
    for (std::size_t i = 0; i < kNativeEntry; ++i) Byte(0xCC);
    frame_ = calls_ || p_->depth - 1 > kRegLevels;
    frameBytes_ = (kShadow + 8 * (p_->depth + 1) + 15) / 16 * 16;
    if (calls_) {
        Byte(0x53);  // push rbx: keeps the parameter pointer across calls
        Byte(0x48), Byte(0x89), Byte(0xC3 | (kParaArg << 3));  // mov rbx, para
        para_ = RBX;
    }
    if (frame_) {  // sub rsp, imm32
        Byte(0x48), Byte(0x81), Byte(0xEC), U32(static_cast<std::uint32_t>(frameBytes_));
    }
    for (int i = 0; i < count; ++i) {
        if (depth_ < 0) {  // after a jump: only a jump target goes on
            if (targetDepth_[i] < 0) return 0;
            depth_ = targetDepth_[i];
        } else if (targetDepth_[i] >= 0 && targetDepth_[i] != depth_) {
            return 0;
        }
        stepAt_[i] = n_;
        if (!Step(kinds[i], steps[i], i) || depth_ > p_->depth) return 0;
    }
    if (depth_ >= 0) return 0;  // the last step must end the program
    while (n_ % 16) Byte(0xCC);
    const std::size_t pool = n_;
    const std::uint64_t fixed[PoolFixed][2] = {
        {0, 0}, {0x3FF0000000000000ull, 0}, {0x8000000000000000ull, 0}, {0x7FFFFFFFFFFFFFFFull, 0}};
    for (const auto &e : fixed) U64(e[0]), U64(e[1]);
    for (int i = 0; i < nConst_; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, &consts_[i], 8);
        U64(bits), U64(0);
    }
    if (n_ > cap_ || nPool_ > poolCap_ || nJump_ > jumpCap_) return 0;
    for (int i = 0; i < nPool_; ++i)
        Patch32(poolFix_[i].at, static_cast<std::int64_t>(pool + 16 * poolFix_[i].target) -
                                    static_cast<std::int64_t>(poolFix_[i].end));
    for (int i = 0; i < nJump_; ++i)
        Patch32(jumpFix_[i].at, static_cast<std::int64_t>(stepAt_[jumpFix_[i].target]) -
                                    static_cast<std::int64_t>(jumpFix_[i].end));
    return n_;
}

}  // namespace

std::size_t NativeBound(const Program<RealDomain> *p) {
    // Prologue and pool, plus per step a few instructions and at most one call with
    // every register level spilled and reloaded.
    return 256 + static_cast<std::size_t>(p->count) * (96 + 2 * 10 * kRegLevels + 16);
}

std::size_t EmitNative(Program<RealDomain> *p, std::uint8_t *out, std::size_t cap) {
    const std::size_t count = static_cast<std::size_t>(p->count);
    // Per step at most four pool references (k & x: the constant, two tests against
    // zero and the mask of 1.0) and one jump.
    auto *pool = new (std::nothrow) Fixup[4 * count];
    auto *jumps = new (std::nothrow) Fixup[count + 1];
    auto *stepAt = new (std::nothrow) std::size_t[count + 1];
    auto *targetDepth = new (std::nothrow) int[count + 1];
    std::size_t n = 0;
    if (pool && jumps && stepAt && targetDepth) {
        for (std::size_t i = 0; i <= count; ++i) targetDepth[i] = -1;
        auto *e = new (std::nothrow) Emitter(p, out, cap, pool, jumps, stepAt, targetDepth);
        if (e) n = e->Run();
        delete e;
    }
    delete[] pool;
    delete[] jumps;
    delete[] stepAt;
    delete[] targetDepth;
    return n;
}

}  // namespace quorel

#endif
