// The sequence driver: host functions and callbacks, model lookups, and each kind of
// call with what it must do right away.
#include "api_sequence_model.h"

namespace apiseq {

Sequence *cur = nullptr;

void Sequence::Fail(const std::string &what) {
    if (failed_) return;
    failed_ = true;
    std::string t;
    for (const std::string &s : trace_) t += "  " + s + "\n";
    ADD_FAILURE() << "seed " << seed_ << " step " << step_ << ": " << what << "\nrecent:\n" << t;
}

// --- host functions ---------------------------------------------------------------

// What hk computes: 2x + 1 (wrapping in the integer domain).
Val HkValue(int domain, const Val &x) {
    if (domain == 1) {
        auto i = static_cast<std::int32_t>(x.re);
        return {
            static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(i) * 2u + 1u)),
            0};
    }
    return {x.re * 2 + 1, x.im * 2};
}

int QUOREL_CALL IntHk(int, int *x, CallerInfo *) {
    return static_cast<int>(HkValue(1, {static_cast<double>(x[0]), 0}).re);
}
double QUOREL_CALL RealHk(int, double *x, CallerInfo *) {
    return HkValue(2, {x[0], 0}).re;
}
void QUOREL_CALL ComplexHk(QuorelComplex *r, int, QuorelComplex *x, CallerInfo *) {
    Val v = HkValue(3, {x[0].re, x[0].im});
    *r = {v.re, v.im};
}
// Writes through its first argument: x = x + y.
int QUOREL_CALL IntRw(int, int *x, CallerInfo *) {
    x[0] = static_cast<int>(static_cast<std::uint32_t>(x[0]) + static_cast<std::uint32_t>(x[1]));
    return x[0];
}
double QUOREL_CALL RealRw(int, double *x, CallerInfo *) {
    return x[0] = x[0] + x[1];
}
void QUOREL_CALL ComplexRw(QuorelComplex *r, int, QuorelComplex *x, CallerInfo *) {
    x[0] = {x[0].re + x[1].re, x[0].im + x[1].im};
    *r = x[0];
}
int QUOREL_CALL IntRr(int m, int *, CallerInfo *c) {
    return static_cast<int>(cur->HostReentrant(1, m, c).re);
}
double QUOREL_CALL RealRr(int m, double *, CallerInfo *c) {
    return cur->HostReentrant(2, m, c).re;
}
void QUOREL_CALL ComplexRr(QuorelComplex *r, int m, QuorelComplex *, CallerInfo *c) {
    Val v = cur->HostReentrant(3, m, c);
    *r = {v.re, v.im};
}
int QUOREL_CALL IntMaxHost(int m, int *x, CallerInfo *) {
    return m < 0 ? 0 : *std::max_element(x, x + m + 1);
}
double QUOREL_CALL RealMaxHost(int m, double *x, CallerInfo *) {
    return m < 0 ? 0 : *std::max_element(x, x + m + 1);
}

void *HostFunction(int type, const std::string &name) {
    if (name == "hk")
        return type == 4 ? (void *)IntHk : type == 5 ? (void *)RealHk : (void *)ComplexHk;
    if (name == "rw")
        return type == 4 ? (void *)IntRw : type == 5 ? (void *)RealRw : (void *)ComplexRw;
    if (name == "rr")
        return type == 4 ? (void *)IntRr : type == 5 ? (void *)RealRr : (void *)ComplexRr;
    if (name == "max" && type != 6) return type == 4 ? (void *)IntMaxHost : (void *)RealMaxHost;
    return nullptr;
}
int ParaCodeOf(const std::string &name) {
    return name == "hk" ? 0 : name == "rw" ? 1 : -2;
}

void QUOREL_CALL FreeCb(int type, void *slots, int count) {
    cur->FreeCallback(type, slots, count);
}
void QUOREL_CALL DelA(void *v) {
    cur->CountRelease(static_cast<HostValue *>(v));
}
void QUOREL_CALL DelB(void *v) {
    cur->CountRelease(static_cast<HostValue *>(v));
}
void QUOREL_CALL DelBomb(void *v) {
    cur->BombDeleter(static_cast<HostValue *>(v));
}
void QUOREL_CALL DelSentinel(void *) {
    cur->SentinelGone();
}
void QUOREL_CALL LockOne() {
    cur->LockCalled(1);
}
void QUOREL_CALL LockTwo() {
    cur->LockCalled(2);
}
// Presented to compiles only: asks for FreeQuorel, which must be refused there.
void QUOREL_CALL LockFreeing() {
    cur->LockCalled(3);
}
bool QUOREL_CALL EnumCollect(char *key, int len, void *value);

const KeyDeleter kDeleters[] = {DelA, DelB, DelBomb};

// --- model lookups ----------------------------------------------------------------

std::vector<Formula *> Sequence::Chain(int domain, const std::string &name) {
    std::vector<Formula *> out;
    for (auto &[id, f] : formulas_)
        if (!f.dying && f.domain == domain && f.name == name) out.push_back(&f);
    std::sort(out.begin(), out.end(), [](Formula *a, Formula *b) { return a->seq > b->seq; });
    return out;
}

// A call by plain name from module `module`: the module's own formula first (domains
// in order, newest first), else the last public one met.
Formula *Sequence::LookupPlain(const std::string &name, int module) {
    Formula *lastPublic = nullptr;
    for (int d = 1; d <= 3; ++d)
        for (Formula *f : Chain(d, name)) {
            if (Abs(f->module) == Abs(module)) return f;
            if (f->module > 0) lastPublic = f;
        }
    return lastPublic;
}

bool Sequence::InUseForSure(const Formula &f) {
    if (Running(f.h)) return true;
    Operand self = f.Referrers();
    for (auto &[id, g] : formulas_)
        if (Running(g.h) && g.deps.count(self)) return true;
    return false;
}

// What the engine itself sees: the formula, or a formula that calls it, has an
// activation under way. A refused deletion must have this reason.
bool Sequence::EngineInUse(const Formula &f) const {
    if (f.Rec()->code[quorel::RunStateByte] != quorel::RunIdle) return true;
    for (auto &[id, g] : formulas_)
        if (g.deps.count(f.refs) && g.Rec()->code[quorel::RunStateByte] != quorel::RunIdle)
            return true;
    return false;
}

bool Sequence::FunctionInUseForSure(Operand node) {
    for (auto &[id, g] : formulas_)
        if (Running(g.h) && g.deps.count(node)) return true;
    return false;
}

int Sequence::ModuleCount(long long absModule) const {
    int n = 0;
    for (auto &[id, f] : formulas_) n += Abs(f.module) == absModule;
    return n;
}

// --- lifecycle --------------------------------------------------------------------

Operand Sequence::NodeOf(int type, const char *name) {
    quorel::KeyEntry *e = quorel::KeySearch(name, static_cast<int>(std::strlen(name)), type);
    if (!e) return 0;
    return reinterpret_cast<Operand>(&static_cast<quorel::FunctionNode *>(e->value)->referrers);
}

void Sequence::RecordBuiltins() {
    const char *const shared[] = {"CalFun", "const", "GetCalByte", "Module", "OutFun"};
    for (int type = 4; type <= 6; ++type)
        for (const char *n : shared) fns_[{type, n}] = NodeOf(type, n);
    for (const char *n : {"max", "min", "SetIntStackMax"}) fns_[{4, n}] = NodeOf(4, n);
    for (const char *n : {"max", "sum", "DataSum", "SimpIntegrate", "SetRealStackMax"})
        fns_[{5, n}] = NodeOf(5, n);
    fns_[{6, "SetComplexStackMax"}] = NodeOf(6, "SetComplexStackMax");
    for (auto &[k, node] : fns_) CHECK_SEQ(node != 0, k.second);
}

void Sequence::AfterInit() {
    ready_ = true;
    RecordBuiltins();
    for (int type = 4; type <= 6; ++type)
        for (const char *n : {"hk", "rw", "rr"}) {
            CHECK_SEQ(SetFunction(type, n, HostFunction(type, n), ParaCodeOf(n)) == 0, n);
            fns_[{type, n}] = NodeOf(type, n);
        }
    for (int type = 7; type <= 9; ++type) {
        Val v{2.5, type == 9 ? -1.0 : 0.0};
        std::int32_t i = 2;
        void *p = type == 7 ? static_cast<void *>(&i) : static_cast<void *>(&v);
        CHECK_SEQ(SetConst(type, "ka", p) == 0, "ka");
        consts_[{type, "ka"}] = type == 7 ? Val{2, 0} : v;
    }
    sentinelGone_ = false;
    CHECK_SEQ(InsertKey("sentinel", 8, 999, nullptr, DelSentinel, nullptr) == 0, "sentinel");
    // Stack sizing formulas of a module of their own, which the model leaves alone;
    // host functions call them from inside running activations.
    const char *const texts[] = {"(n) = SetIntStackMax(n)", "(n) = SetRealStackMax(n)",
                                 "(n) = SetComplexStackMax(n)"};
    for (int d = 1; d <= 3; ++d) {
        void *h = nullptr;
        int np, b, e;
        void *para;
        int r = d == 1   ? IntCom(texts[0], kStackModule, &h, &np, reinterpret_cast<int **>(&para),
                                  &b, &e)
                : d == 2 ? RealCom(texts[1], kStackModule, &h, &np,
                                   reinterpret_cast<double **>(&para), &b, &e)
                         : ComplexCom(texts[2], kStackModule, &h, &np,
                                      reinterpret_cast<QuorelComplex **>(&para), &b, &e);
        CHECK_SEQ(r == 0, texts[d - 1]);
        stackSetter_[d - 1] = r == 0 ? h : nullptr;
    }
}

// Sizes a domain's evaluation stack, often while nested activations use it.
void Sequence::ResizeStack(int domain) {
    void *h = stackSetter_[domain - 1];
    if (!h) return;
    static const int sizes[] = {0, 10, 60, 400, 5000, 40000};
    int size = sizes[R(6)];
    Note("stack " + std::to_string(domain) + " := " + std::to_string(size));
    ++engineDepth_;
    if (domain == 1) {
        IntCal(h, &size);
    } else if (domain == 2) {
        double n = size;
        RealCal(h, &n);
    } else {
        QuorelComplex n{static_cast<double>(size), 0}, r;
        ComplexCal(&r, h, &n);
    }
    --engineDepth_;
    if (quorel::g.stacks[domain - 1].pendingData) ++stats["stack resize waiting"];
}

void Sequence::Init() {
    std::vector<int> ids;
    for (auto &[k, rec] : keys_) ids.push_back(rec.id);
    const bool hadSentinel = ready_;
    bool wasSweeping = sweeping_;
    sweeping_ = true;
    bool ok = InitQuorel();
    sweeping_ = wasSweeping;
    CHECK_SEQ(ok, "InitQuorel with nothing running");
    if (!ok) return;
    // Every host value was released exactly once, with everything else.
    for (int id : ids) CHECK_SEQ(released_[id] == 1, "InitQuorel releases every host value");
    if (hadSentinel) CHECK_SEQ(sentinelGone_, "the sentinel key went with the engine");
    ResetModel();
    AfterInit();
}

void Sequence::ResetModel() {
    // The values the model still lists were released by the sweep (checked by
    // CountRelease as they went); their memory is gone.
    keys_.clear();
    typeLocks_.clear();
    formulas_.clear();
    fns_.clear();
    consts_.clear();
    modules_.clear();
    ready_ = false;
    for (void *&h : stackSetter_) h = nullptr;
    // FreeQuorel leaves the error slot alone, and the handle it names has gone.
    int t, c, ft;
    char *n;
    void *h;
    GetRunErr(&t, &n, &c, &ft, &h);
}

void Sequence::TryFree(bool alsoInit) {
    bool expect = engineDepth_ == 0 && !sweeping_;
    Note(std::string("FreeQuorel") + (expect ? "" : " (refused)"));
    // Values the model lists must be released by this call if it is honoured.
    std::vector<int> ids;
    for (auto &[k, rec] : keys_) ids.push_back(rec.id);
    bool wasSweeping = sweeping_;
    sweeping_ = true;
    bool wasGone = sentinelGone_;
    FreeQuorel();
    sweeping_ = wasSweeping;
    bool honoured = sentinelGone_ && !wasGone;
    ++stats[honoured ? "FreeQuorel done" : "FreeQuorel refused"];
    CHECK_SEQ(honoured == expect, "FreeQuorel honoured exactly when nothing runs");
    if (!honoured) return;
    for (int id : ids) CHECK_SEQ(released_[id] == 1, "every host value released once");
    CHECK_SEQ(quorel::g.programs.count == 0, "programs freed");
    ResetModel();
    if (alsoInit) {
        CHECK_SEQ(InitQuorel(), "InitQuorel after FreeQuorel");
        AfterInit();
    }
}

void Sequence::CountRelease(HostValue *v) {
    CHECK_SEQ(v->magic == kMagic, "delete function got a value it never had");
    int n = ++released_[v->id];
    CHECK_SEQ(n == 1, "value released twice");
    v->magic = 0;
    delete v;
}

// A delete function that removes another key, and at the top level may free the
// engine (and start it again) from inside the removal.
void Sequence::BombDeleter(HostValue *v) {
    CountRelease(v);
    if (sweeping_ || failed_) return;
    unsigned what = R(10);
    if (what < 3 && !keys_.empty()) {
        auto it = keys_.begin();
        std::advance(it, R(static_cast<unsigned>(keys_.size())));
        if (it->first.first >= 256) {
            auto key = it->first;
            int goneId = it->second.id;
            Note("  deleter removes key " + std::to_string(key.first));
            keys_.erase(it);
            DeleteKey(key.second.data(), static_cast<int>(key.second.size()), key.first);
            CHECK_SEQ(released_[goneId] == 1, "other key released by DeleteKey");
        }
    } else if (what == 3 && hostDepth_ < 3) {
        ++hostDepth_;
        TryFree(Chance(50));
        --hostDepth_;
    }
}

void Sequence::ResetFromCallback() {
    TryFree(false);
    CHECK_SEQ(!InitQuorel(), "InitQuorel from inside a call");
}

void Sequence::LockCalled(int which) {
    if (which == 3 && engineDepth_ > 0) TryFree(false);
}

// --- compiling ----------------------------------------------------------------------

struct Plan {
    std::string text;
    std::string name;
    bool pure = true;
    bool paramModified = false;
    bool exact = true;  // the compile result is predicted
    int expect = 0;     // first failing reference in text order (0: none)
    std::set<Operand> deps;
};

int Sequence::Compile(int domain) {
    if (!ready_) return -1;
    const int fnType = domain + 3, constType = domain + 6;
    Plan p;
    int module = RandomModule();
    bool named = Chance(55);
    if (named) p.name = kPool[R(std::size(kPool))];

    auto other = [&]() {
        std::string n;
        do n = kPool[R(std::size(kPool))];
        while (n == p.name);
        return n;
    };
    auto fail = [&](int code) {
        if (p.expect == 0) p.expect = code;
    };
    auto fn = [&](const std::string &name) {
        auto it = fns_.find({fnType, name});
        if (it == fns_.end())
            fail(25);
        else
            p.deps.insert(it->second);
        return name;
    };
    auto callee = [&](const std::string &name, const std::string &arg) {
        Formula *f = LookupPlain(name, module);
        if (!f) {
            fail(25);
            return name + "(" + arg + ")";
        }
        p.deps.insert(f->Referrers());
        p.pure = p.pure && f->pure;
        bool pairs = f->domain == 3 && domain != 3;
        return name + "(" + arg + (pairs ? ", 0)" : ")");
    };
    auto constant = [&](const std::string &name) {
        if (!consts_.count({constType, name})) fail(24);
        return name;
    };
    const char *pow = domain == 1 ? " % 3" : "^2";
    std::string lit = domain == 1 ? "3" : domain == 2 ? "1.5" : "(1.5 + 2i)";
    std::string body, vars;
    int params = 1;
    switch (R(22)) {
        case 0:
            body = "x * 3 + " + lit + " - x" + pow;
            break;
        case 1:
            body = "(x + " + lit + ") * (x - 2) / 4";
            break;
        case 2:
            body = "x + " + constant(kConstNames[R(2)]) + " * 2";
            break;
        case 3:
            vars = " : j, s";
            body = "s = 0, j = 0, while(j < 4, s = s + x, j++), s";
            break;
        case 4:
            vars = " : j";
            body = "j = 0, until(j++, j >= 3), which(x > 1, x, x < 0, 0 - x, 7)";
            break;
        case 5:
            body = callee(other(), "x") + " + 1";
            break;
        case 6:
            body = fn("hk") + "(x) + 1";
            break;
        case 7:
            vars = " : a";
            body = "a = x, " + fn("rw") + "(&a, 3), a";
            break;
        case 8:
            p.paramModified = true;
            body = fn("rw") + "(&x, 2), x = x * 2, x";
            break;
        case 9:
            p.pure = false;
            if (Chance(50)) {
                vars = " : j";
                body = "j = 0, while(j < 2, " + fn("rr") + "(x, j), j++), x";
            } else {
                body = fn("rr") + "(x) + x";
            }
            break;
        case 10:
            // Recursion continues inside the evaluation loop; with a host function at
            // every level the host re-enters from each of those activations.
            if (!named) p.name = other();
            p.pure = false;
            if (Chance(50))
                body = "if(x > 0, return(" + p.name + "(x - 1) + 1)), 0";
            else
                body = "if(x > 0, return(" + p.name + "(x - 1) + " + fn("rr") + "(x))), 0";
            break;
        case 11:
            p.pure = false;
            vars = " : static, c";
            body = "c++, c + x";
            break;
        case 12:
            p.pure = false;
            vars = " : : mv";
            body = "mv = mv + 1, mv + x";
            break;
        case 13:
            p.pure = false;
            vars = " : : common, cv";
            body = "cv = cv + x, cv";
            break;
        case 14:
            // The release run calls back into the engine, or another formula; an
            // ordinary run does not.
            vars = " : static, a, free";
            if (Chance(50))
                body = "if(free, " + fn("rr") + "(1)), a = x, x + 1";
            else
                body = "if(free, " + callee(other(), "a") + "), a = x, x + 1";
            break;
        case 15: {
            p.pure = false;
            std::string target = "\"" + std::string(kPool[R(std::size(kPool))]) + "\"";
            if (domain == 2) {
                unsigned k = R(3);
                body = k == 0   ? fn("sum") + "(" + target + ", 0, 2, 1) + x"
                       : k == 1 ? fn("DataSum") + "(" + target + ", 1, 2) + x"
                                : fn("SimpIntegrate") + "(0, 1, 0.5, " + target + ") + x";
            } else {
                body = fn("CalFun") + "(" + (domain == 1 ? "5" : "4") + ", \"hk\", x) + x";
            }
            break;
        }
        case 16: {
            p.pure = false;
            params = 0;
            const char *names[] = {"SetIntStackMax", "SetRealStackMax", "SetComplexStackMax"};
            static const int sizes[] = {0, 10, 40, 300, 3000, 20000};
            body = fn(names[domain - 1]) + "(" + std::to_string(sizes[R(6)]) + ")";
            break;
        }
        case 17: {
            p.pure = false;
            params = 0;
            if (Chance(50)) {
                body = fn("Module") + "(\"m" + std::to_string(Abs(module)) + "\", \"m" +
                       std::to_string(R(4)) + "\")";
            } else {
                body = fn("OutFun") + "(\"" + std::string(kPool[R(std::size(kPool))]) + "\")";
            }
            break;
        }
        case 18:
            // A qualified call resolves through the Module and OutFun records.
            p.pure = false;
            p.exact = false;
            body = "m" + std::to_string(R(4)) + "::" + other() + "(x" +
                   (domain != 3 && Chance(50) ? ", 0)" : ")");
            break;
        case 19:
            p.pure = false;
            if (domain == 3)
                body = "which(x > 100, 1, x > 200, 2) + x";
            else
                body = fn("max") + "() + x";
            break;
        case 20:
            // Plain expressions run as straight-line programs; these read cells the
            // module's other formulas write.
            if (Chance(50)) {
                for (int k = 0; k < 40; ++k)
                    body += (k ? " + x * " : "x * ") + std::to_string(k % 7);
            } else {
                p.pure = false;
                bool common = Chance(50);
                vars = common ? " : : common, cv" : " : : mv";
                body = std::string(common ? "cv" : "mv") + " * 2 + x";
            }
            break;
        default:
            p.pure = false;
            if (Chance(50)) {
                params = 0;
                body = fn("const") + "(\"kq\", " + lit + ", " + std::to_string(R(2)) + ")";
            } else {
                body = "\"str\\065\", " + fn("GetCalByte") + "(x) + " + fn("hk") + "(x)";
            }
            break;
    }
    if (params == 0) {
        // Every formula of the shared names takes one argument, so callers can call it.
        named = false;
        p.name.clear();
    }
    if (!named && !p.name.empty()) named = true;  // the recursive form needs a name
    std::string header = params ? "x" + vars : vars.empty() ? "" : vars;
    p.text = (named ? p.name : "") + "(" + header + ") = " + body;
    if (params == 0 && !named && vars.empty() && Chance(50)) p.text = body;

    // What the compile must give: the lock, a pending error, a clash, then the first
    // failing reference.
    LockFn lock = nullptr;
    if (Chance(8)) lock = Chance(40) ? LockOne : Chance(60) ? LockTwo : LockFreeing;
    int expect = p.expect;
    if (named) {
        for (auto &[id, f] : formulas_) {
            if (f.dying || f.name != p.name) continue;
            bool clash = module > 0 ? (f.module > 0 || f.module == -static_cast<long long>(module))
                                    : Abs(f.module) == Abs(module);
            if (clash) expect = 29;
        }
    }
    if (TestRunErr() != 0) expect = 36;
    if (lock) {
        auto it = modules_.find(Abs(module));
        if (it != modules_.end() && it->second.lock != lock) expect = -2;
    }
    Note("compile d" + std::to_string(domain) + " m" + std::to_string(module) +
         (lock == LockOne   ? " L1"
          : lock == LockTwo ? " L2"
          : lock            ? " L3"
                            : "") +
         " " + p.text);

    void *h = reinterpret_cast<void *>(lock);
    int nPara = -9, b = -1, e = -1;
    void *para = nullptr;
    ++engineDepth_;
    int r;
    if (domain == 1)
        r = IntCom(p.text.c_str(), module, &h, &nPara, reinterpret_cast<int **>(&para), &b, &e);
    else if (domain == 2)
        r = RealCom(p.text.c_str(), module, &h, &nPara, reinterpret_cast<double **>(&para), &b, &e);
    else
        r = ComplexCom(p.text.c_str(), module, &h, &nPara,
                       reinterpret_cast<QuorelComplex **>(&para), &b, &e);
    --engineDepth_;
    ++stats["compile " + std::to_string(r)];
    if (oom_ && r == 1) return -1;  // out of memory: nothing made
    if (p.exact || expect != 0)
        CHECK_SEQ(r == expect, "compile result " + std::to_string(r) + ", expected " +
                                   std::to_string(expect) + ": " + p.text);
    else
        CHECK_SEQ(r == 0 || r == 25 || (r >= 32 && r <= 34),
                  "qualified call: " + std::to_string(r));
    if (r != 0) return -1;

    Formula f;
    f.h = h;
    f.domain = domain;
    f.name = named ? p.name : "";
    f.module = module;
    f.nPara = nPara;
    f.values = para;
    f.seq = nextSeq_++;
    f.pure = p.pure;
    f.paramModified = p.paramModified;
    CompiledFormula *rec = f.Rec();
    f.refs = reinterpret_cast<Operand>(&rec->ints[quorel::Referrers]);
    CHECK_SEQ(nPara == params - 1, "parameter count");
    CHECK_SEQ(para == rec->values, "parameter area");
    for (Operand k = rec->ints[quorel::DepFirst]; k <= rec->ints[quorel::DepLast]; ++k)
        f.deps.insert(rec->ints[k]);
    if (p.exact) CHECK_SEQ(f.deps == p.deps, "dependency list: " + p.text);
    // Whatever was linked is a formula or function the model knows.
    for (Operand d : f.deps) {
        bool known = false;
        for (auto &[id, g] : formulas_) known = known || (!g.dying && g.Referrers() == d);
        for (auto &[k, node] : fns_) known = known || node == d;
        CHECK_SEQ(known, "dependency on something unknown: " + p.text);
    }
    int id = nextId_++;
    formulas_[id] = f;
    modules_[Abs(module)];  // a successful compile makes the record, or keeps it
    return id;
}

// --- evaluating -----------------------------------------------------------------------

void Sequence::Evaluate(int id, bool probe) {
    Formula *f = Find(id);
    if (!f || f->dying) return;
    const void *h = f->h;
    const int domain = f->domain, n = f->nPara + 1;
    const bool ownArea = !probe && Chance(30);
    std::vector<Val> args(static_cast<std::size_t>(n > 0 ? n : 0));
    for (Val &a : args) {
        if (probe)
            a = domain == 1 ? Val{3, 0} : domain == 2 ? Val{1.5, 0} : Val{1.5, 0.5};
        else
            a = {static_cast<double>(static_cast<int>(R(45)) - 4) + (domain == 1 ? 0 : 0.25),
                 domain == 3 ? static_cast<double>(R(3)) : 0};
    }
    std::vector<std::int32_t> ia;
    std::vector<double> ra;
    std::vector<QuorelComplex> ca;
    for (const Val &a : args) {
        ia.push_back(static_cast<std::int32_t>(a.re));
        ra.push_back(a.re);
        ca.push_back({a.re, a.im});
    }
    if (ownArea) {
        // The host may pass the formula's own parameter area.
        for (int i = 0; i < n; ++i) {
            if (domain == 1) static_cast<std::int32_t *>(f->values)[i] = ia[i];
            if (domain == 2) static_cast<double *>(f->values)[i] = ra[i];
            if (domain == 3) static_cast<QuorelComplex *>(f->values)[i] = ca[i];
        }
    }
    Note("eval #" + std::to_string(id) + (probe ? " probe" : ""));
    if (quorel::FindProgram(f->Rec()))
        ++stats[running_.empty() ? "eval program" : "eval program nested"];
    const int errBefore = TestRunErr();
    running_.push_back(h);
    ++engineDepth_;
    Val v;
    if (domain == 1) {
        int *p = ownArea ? static_cast<int *>(f->values) : n > 0 ? ia.data() : nullptr;
        v.re = IntCal(const_cast<void *>(h), p);
    } else if (domain == 2) {
        double *p = ownArea ? static_cast<double *>(f->values) : n > 0 ? ra.data() : nullptr;
        v.re = RealCal(const_cast<void *>(h), p);
    } else {
        QuorelComplex *p = ownArea ? static_cast<QuorelComplex *>(f->values)
                           : n > 0 ? ca.data()
                                   : nullptr;
        QuorelComplex r{-1, -1};
        QuorelComplex *back = ComplexCal(&r, const_cast<void *>(h), p);
        CHECK_SEQ(back == &r, "ComplexCal returns the record");
        v = {r.re, r.im};
    }
    --engineDepth_;
    running_.pop_back();
    ++stats[hostDepth_ ? "eval nested" : "eval"];
    f = Find(id);
    CHECK_SEQ(f != nullptr && !f->dying, "a running formula was deleted under its evaluation");
    if (!f) return;
    CHECK_SEQ(f->Rec()->code[quorel::RunStateByte] == quorel::RunIdle || Running(h),
              "run state back to idle");
    const int errAfter = TestRunErr();
    if (f->broken) {
        if (errBefore == 0) {
            CHECK_SEQ(errAfter == f->broken, "an unusable formula reports its error type");
            CHECK_SEQ(quorel::g.runErr.forHandle == h, "and names itself");
        }
        CHECK_SEQ(v.re == 0 && (domain != 3 || v.im == 0), "an unusable formula yields 0");
        return;
    }
    if (probe && f->pure && errBefore == 0 && errAfter == 0) {
        ++stats["probe compared"];
        if (f->hasProbe)
            CHECK_SEQ(SameBits(f->probe, v),
                      "a pure formula changed its value: #" + std::to_string(id));
        f->hasProbe = true;
        f->probe = v;
    }
}

// --- deleting -------------------------------------------------------------------------

// The model's side of a formula that has gone: its callers become unusable.
void Sequence::Forget(int id) {
    Formula *f = Find(id);
    Operand self = f->Referrers();
    long long absModule = Abs(f->module);
    formulas_.erase(id);
    for (auto &[gid, g] : formulas_)
        if (g.deps.erase(self)) g.broken = 4;
    if (ModuleCount(absModule) == 0) {
        auto it = modules_.find(absModule);
        if (it != modules_.end() && !it->second.lock) modules_.erase(it);
    }
}

void Sequence::DeleteFormula(int id) {
    Formula *f = Find(id);
    if (!f) return;
    if (f->dying) {
        // Its deletion is under way (this is its release run or free callback): the
        // record still exists but belongs to no list, so a second DeleteFor is refused.
        Note("DeleteFor of a dying #" + std::to_string(id));
        ++engineDepth_;
        DeleteFor(f->domain, f->h);
        --engineDepth_;
        return;
    }
    void *h = f->h;
    const int domain = f->domain;
    const bool mustRefuse = InUseForSure(*f);
    const bool mustDelete = engineDepth_ == 0 && hostDepth_ == 0;
    Note("DeleteFor #" + std::to_string(id) + (mustRefuse ? " (in use)" : ""));
    f->dying = true;
    ++engineDepth_;
    DeleteFor(domain, h);
    --engineDepth_;
    f = Find(id);
    CHECK_SEQ(f != nullptr, "model lost a dying formula");
    if (!f) return;
    f->dying = false;
    bool alive = IsFor(f->name.c_str(), domain, f->module, h, f->values, f->nPara);
    if (mustRefuse) CHECK_SEQ(alive, "a formula in use was deleted");
    if (alive) CHECK_SEQ(EngineInUse(*f), "DeleteFor refused a formula nobody runs");
    if (mustDelete) CHECK_SEQ(!alive, "DeleteFor refused with nothing running");
    ++stats[alive ? "DeleteFor refused" : "DeleteFor done"];
    if (!alive) Forget(id);
}

// DeleteFor with the handle of another domain leaves the formula alone.
void Sequence::DeleteWrongType(int id) {
    Formula *f = Find(id);
    if (!f || f->dying) return;
    int type = f->domain % 3 + 1;
    Note("DeleteFor wrong type #" + std::to_string(id));
    ++engineDepth_;
    DeleteFor(type, f->h);
    --engineDepth_;
    f = Find(id);
    if (!f) return;
    CHECK_SEQ(IsFor(f->name.c_str(), f->domain, f->module, f->h, f->values, f->nPara),
              "DeleteFor of the wrong type deleted the formula");
}

// --- functions and constants --------------------------------------------------------------

void Sequence::FunctionChurn() {
    if (!ready_) return;
    int type = 4 + static_cast<int>(R(3));
    std::string name = kFnNames[R(std::size(kFnNames))];
    auto it = fns_.find({type, name});
    if (it == fns_.end()) {
        void *fp = HostFunction(type, name);
        if (!fp) return;
        Note("SetFunction " + std::to_string(type) + " " + name);
        CHECK_SEQ(SetFunction(type, name.c_str(), fp, ParaCodeOf(name)) == 0, "SetFunction");
        fns_[{type, name}] = NodeOf(type, name.c_str());
        return;
    }
    Operand node = it->second;
    if (Chance(20)) {
        CHECK_SEQ(SetFunction(type, name.c_str(), (void *)RealHk, 0) == 1, "SetFunction twice");
        return;
    }
    const bool mustRefuse = FunctionInUseForSure(node);
    Note("DeleteConstOrFunction " + std::to_string(type) + " " + name +
         (mustRefuse ? " (in use)" : ""));
    DeleteConstOrFunction(type, name.c_str());
    bool gone = NodeOf(type, name.c_str()) != node;
    ++stats[gone ? "function deleted" : "function deletion refused"];
    if (mustRefuse) CHECK_SEQ(!gone, "a function was deleted under a formula running it");
    if (!gone) {
        bool used = false;
        for (auto &[id, g] : formulas_)
            used = used ||
                   (g.deps.count(node) && g.Rec()->code[quorel::RunStateByte] != quorel::RunIdle);
        CHECK_SEQ(used, "a function deletion refused though no caller runs");
    }
    if (engineDepth_ == 0) CHECK_SEQ(gone, "DeleteConstOrFunction refused with nothing running");
    if (!gone) return;
    fns_.erase({type, name});
    for (auto &[id, g] : formulas_)
        if (g.deps.erase(node)) g.broken = 5;
}

void Sequence::ConstChurn() {
    if (!ready_) return;
    int type = 7 + static_cast<int>(R(3));
    std::string name = kConstNames[R(2)];
    bool exists = consts_.count({type, name}) != 0;
    if (Chance(50)) {
        Note("SetConst " + std::to_string(type) + " " + name);
        Val v{static_cast<double>(R(9)) - 4, type == 9 ? 0.5 : 0.0};
        std::int32_t i = static_cast<std::int32_t>(v.re);
        void *p = type == 7 ? static_cast<void *>(&i) : static_cast<void *>(&v);
        CHECK_SEQ(SetConst(type, name.c_str(), p) == (exists ? 1 : 0), "SetConst");
        if (!exists) consts_[{type, name}] = v;
    } else {
        Note("DeleteConstOrFunction " + std::to_string(type) + " " + name);
        DeleteConstOrFunction(type, name.c_str());
        consts_.erase({type, name});
    }
    // Messages 7 to 9 match the key types.
    for (auto &[k, v] : consts_) {
        auto *stored =
            ExMsgWithQuorel(k.first, const_cast<char *>(k.second.c_str()), nullptr, nullptr);
        CHECK_SEQ(stored != nullptr, "constant address");
        if (!stored) continue;
        double re =
            k.first == 7 ? *static_cast<std::int32_t *>(stored) : *static_cast<double *>(stored);
        CHECK_SEQ(re == v.re, "constant value");
    }
}

// --- keys -----------------------------------------------------------------------------------

std::string RandomKey(std::mt19937 &rng) {
    static const char *const keys[] = {"a", "b", "ab", "abc", "\x80", "z", "fa", "sentinel"};
    switch (rng() % 4) {
        case 0:
            return std::string("\0x", 2);
        case 1:
            return std::string(40 + rng() % 8, 'q');
        default:
            return keys[rng() % std::size(keys)];
    }
}

void Sequence::KeyOp() {
    int type = kHostTypes[R(std::size(kHostTypes))];
    std::string key = RandomKey(rng_);
    auto mk = std::make_pair(type, key);
    auto it = keys_.find(mk);
    const int len = static_cast<int>(key.size());
    switch (R(6)) {
        case 0:
        case 1: {
            KeyDeleter del = kDeleters[R(3)];
            auto *v = new HostValue{nextValueId_++, kMagic};
            void *inout = Chance(50) ? reinterpret_cast<void *>(1) : nullptr;
            int expect;
            auto lock = typeLocks_.find(type);
            if (lock != typeLocks_.end() && lock->second.del != del)
                expect = 4;
            else if (it == keys_.end())
                expect = 0;
            else if (!inout || (type <= -256 && it->second.del != del))
                expect = 1;
            else
                expect = 2;
            Note("InsertKey " + std::to_string(type) + " expect " + std::to_string(expect));
            HostValue *old = it != keys_.end() ? it->second.v : nullptr;
            int oldId = it != keys_.end() ? it->second.id : 0;
            const int newId = v->id;
            if (expect == 0 || expect == 2) keys_[mk] = KeyRec{v, newId, del};
            int r = InsertKey(key.data(), len, type, v, del, &inout);
            CHECK_SEQ(r == expect, "InsertKey result " + std::to_string(r));
            if (expect == 1) CHECK_SEQ(inout == old, "InsertKey gives the existing value");
            if (expect == 2) CHECK_SEQ(released_[oldId] == 1, "replaced value released");
            if (r != 0 && r != 2) delete v;
            (void)newId;
            break;
        }
        case 2: {
            void *found = SearchKey(key.data(), len, type);
            CHECK_SEQ(found == (it == keys_.end() ? nullptr : it->second.v), "SearchKey");
            break;
        }
        case 3: {
            Note("DeleteKey " + std::to_string(type));
            int id = it != keys_.end() ? it->second.id : 0;
            if (type >= 256 && it != keys_.end()) keys_.erase(it);
            DeleteKey(key.data(), len, type);
            if (id) CHECK_SEQ(released_[id] == (type >= 256 ? 1 : 0), "DeleteKey released");
            break;
        }
        case 4: {
            KeyDeleter del = kDeleters[R(3)];
            Note("DeletePrivateKey " + std::to_string(type));
            int id = it != keys_.end() ? it->second.id : 0;
            bool goes = type <= -256 && it != keys_.end() && it->second.del == del;
            if (goes) keys_.erase(it);
            DeletePrivateKey(key.data(), len, type, del);
            if (id) CHECK_SEQ(released_[id] == (goes ? 1 : 0), "DeletePrivateKey released");
            break;
        }
        default: {
            // Reserved types and empty keys are refused.
            int reserved = static_cast<int>(R(511)) - 255;
            auto *v = new HostValue{nextValueId_++, kMagic};
            CHECK_SEQ(InsertKey("a", 1, reserved, v, DelA, nullptr) == 3, "reserved type");
            CHECK_SEQ(InsertKey("a", 0, 256, v, DelA, nullptr) ==
                          (typeLocks_.count(256) && typeLocks_[256].del != DelA ? 4 : 6),
                      "empty key");
            CHECK_SEQ(SearchKey("ka", 2, reserved) == nullptr, "reserved search");
            DeleteKey("ka", 2, reserved);
            delete v;
            break;
        }
    }
}

struct EnumSeen {
    std::vector<std::pair<std::string, void *>> got;
    int stopAfter;
    bool reset;  // the callback asks for FreeQuorel and InitQuorel, which are refused
};
EnumSeen *enumSeen = nullptr;

bool QUOREL_CALL EnumCollect(char *key, int len, void *value) {
    enumSeen->got.push_back({std::string(key, static_cast<std::size_t>(len)), value});
    // A callback may read the tree.
    (void)SearchKey(key, len, 256);
    if (enumSeen->reset) cur->ResetFromCallback();
    return static_cast<int>(enumSeen->got.size()) != enumSeen->stopAfter;
}

void Sequence::Enumerate() {
    int type = kHostTypes[R(std::size(kHostTypes))];
    int size = static_cast<int>(R(2) ? 1 + R(8) : 64);
    std::vector<char> buffer(static_cast<std::size_t>(size) + 8, '\x55');
    EnumSeen seen{{}, Chance(30) ? 1 + static_cast<int>(R(3)) : -1, Chance(20)};
    enumSeen = &seen;
    ++engineDepth_;
    EnumKeyTypeValue(type, buffer.data(), size, EnumCollect);
    --engineDepth_;
    enumSeen = nullptr;
    std::vector<std::pair<std::string, void *>> want;
    for (auto &[k, rec] : keys_) {
        if (k.first != type) continue;
        std::string shown = k.second.substr(0, static_cast<std::size_t>(size - 1));
        want.push_back({shown, rec.v});
    }
    std::sort(want.begin(), want.end(), [this](const auto &a, const auto &b) {
        return std::lexicographical_compare(
            a.first.begin(), a.first.end(), b.first.begin(), b.first.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    });
    // Keys cut to the same prefix keep their tree order, which the values' order
    // inside the model cannot tell; compare as sets then.
    if (seen.stopAfter > 0 && static_cast<int>(want.size()) > seen.stopAfter)
        want.resize(static_cast<std::size_t>(seen.stopAfter));
    if (size >= 64) {
        CHECK_SEQ(seen.got == want, "enumeration order and content");
    } else {
        CHECK_SEQ(seen.got.size() == want.size(), "enumeration count");
    }
    CHECK_SEQ(buffer[static_cast<std::size_t>(size)] == '\x55',
              "enumeration wrote past the buffer");
}

void Sequence::TypeLockOp() {
    static const int types[] = {256, 300, -300};
    int type = types[R(3)];
    LockFn lock = Chance(50) ? LockOne : LockTwo;
    auto it = typeLocks_.find(type);
    if (Chance(50)) {
        KeyDeleter del = kDeleters[R(3)];
        bool anyKey = false;
        for (auto &[k, rec] : keys_) anyKey = anyKey || k.first == type;
        int expect = it != typeLocks_.end() || anyKey ? 1 : 0;
        Note("LockKeyType " + std::to_string(type) + " expect " + std::to_string(expect));
        if (expect == 0) typeLocks_[type] = {del, lock};
        CHECK_SEQ(LockKeyType(type, del, lock) == expect, "LockKeyType lock");
    } else {
        int expect = it == typeLocks_.end() ? 0 : it->second.lock != lock ? 1 : 0;
        Note("LockKeyType unlock " + std::to_string(type) + " expect " + std::to_string(expect));
        std::vector<int> gone;
        if (it != typeLocks_.end() && expect == 0) {
            typeLocks_.erase(it);
            for (auto k = keys_.begin(); k != keys_.end();) {
                if (k->first.first == type) {
                    gone.push_back(k->second.id);
                    k = keys_.erase(k);
                } else {
                    ++k;
                }
            }
        }
        CHECK_SEQ(LockKeyType(type, nullptr, lock) == expect, "LockKeyType unlock");
        for (int id : gone) CHECK_SEQ(released_[id] == 1, "unlock releases every key of the type");
    }
}

void Sequence::ModuleLockOp() {
    if (!ready_) return;
    int module = Chance(40) ? 9 : RandomModule();
    long long am = Abs(module);
    LockFn lock = Chance(50) ? LockOne : LockTwo;
    bool doLock = Chance(60);
    auto it = modules_.find(am);
    bool expect;
    if (it != modules_.end()) {
        if (doLock) {
            expect = it->second.lock == lock;
        } else {
            expect = ModuleCount(am) == 0;
            if (expect) modules_.erase(it);
        }
    } else {
        expect = true;
        if (doLock) modules_[am].lock = lock;
    }
    Note("LockModule " + std::to_string(module) + (doLock ? " lock" : " unlock"));
    CHECK_SEQ(LockModule(module, lock, doLock) == expect, "LockModule");
    CHECK_SEQ(!LockModule(module, nullptr, doLock), "LockModule without a lock function");
}

void Sequence::ErrorOp(CallerInfo *caller, bool clear) {
    CheckErrSlot();
    switch (clear ? 0 : R(4)) {
        case 0: {
            int t, c, ft;
            char *n;
            void *h;
            GetRunErr(&t, &n, &c, &ft, &h);
            CHECK_SEQ(TestRunErr() == 0, "GetRunErr clears");
            break;
        }
        case 1:
            if (caller) {
                static char name[] = "host";
                SetRunErr(7, name, 3, 0, caller);
                int t, c, ft;
                char *n;
                void *h;
                if (Chance(50)) {
                    GetRunErr(&t, &n, &c, &ft, &h);
                    CHECK_SEQ(t == 7 && c == 3 && ft == caller->type && h == caller->handle,
                              "SetRunErr unpacks the CallerInfo");
                }
            }
            break;
        case 2: {
            int id = PickLive();
            if (id >= 0) SetRunErr(9, nullptr, 1, Find(id)->domain, Find(id)->h);
            break;
        }
        default:
            (void)TestRunErr();
            break;
    }
}

// --- callbacks ------------------------------------------------------------------------------

Val Sequence::HostReentrant(int domain, int m, CallerInfo *caller) {
    CHECK_SEQ(caller && caller->type == domain, "CallerInfo of the calling formula");
    if (!caller) return {};
    int callerId = IdOf(caller->handle);
    CHECK_SEQ(callerId >= 0, "host function called by an unknown formula");
    if (callerId >= 0) {
        auto *rec = static_cast<CompiledFormula *>(caller->handle);
        CHECK_SEQ(rec->code[quorel::RunStateByte] != quorel::RunIdle, "the caller is running");
    }
    running_.push_back(caller->handle);
    ++stats[callerId >= 0 && Find(callerId)->dying ? "host call in release run" : "host call"];
    ++hostDepth_;
    if (Chance(15) && !oom_) ResizeStack(domain);
    int actions = static_cast<int>(R(3));
    for (int k = 0; k < actions && budget_ > 0 && hostDepth_ <= 3 && !failed_; ++k) {
        --budget_;
        Step(true, caller);
    }
    --hostDepth_;
    running_.pop_back();
    return {static_cast<double>(m + 1), 0};
}

void Sequence::FreeCallback(int type, void *slots, int count) {
    ++stats["free callback"];
    CHECK_SEQ(count >= 0 && type >= 1 && type <= 3, "free callback arguments");
    // The statics before `free` are readable.
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        if (type == 1) sum += static_cast<std::int32_t *>(slots)[i];
        if (type == 2) sum += static_cast<double *>(slots)[i];
        if (type == 3) sum += static_cast<QuorelComplex *>(slots)[i].re;
    }
    (void)sum;
    ++hostDepth_;
    if (budget_ > 0 && hostDepth_ <= 3 && !failed_) {
        --budget_;
        Step(true, nullptr);
    }
    --hostDepth_;
}

// --- the sequence -----------------------------------------------------------------------------

// A formula that calls back into the engine when it runs, or -1.
int Sequence::PickReentrant() {
    std::vector<int> ids;
    for (auto &[id, f] : formulas_) {
        if (f.dying || f.broken) continue;
        for (int type = 4; type <= 6; ++type) {
            auto it = fns_.find({type, "rr"});
            if (it != fns_.end() && f.deps.count(it->second)) ids.push_back(id);
        }
    }
    return ids.empty() ? -1 : ids[R(static_cast<unsigned>(ids.size()))];
}

enum Action {
    ActCompile,
    ActEvaluate,
    ActEvaluateReentrant,
    ActDelete,
    ActDeleteRunning,
    ActFunctions,
    ActConstants,
    ActKeys,
    ActErrors,
    ActRegistry,
    ActModuleLock,
    ActFree,
    ActCheck,
    ActTypeLock,
    ActPlainChurn,
    ActEnumerate,
    ActFreeCallback,
    ActOutOfMemory,
    ActCount
};

void Sequence::Step(bool nested, CallerInfo *caller) {
    if (!ready_) {
        if (!nested) Init();
        return;
    }
    // Weights at the top level and inside host code.
    static const int top[ActCount] = {12, 8, 8, 5, 1, 2, 2, 5, 3, 2, 2, 1, 1, 2, 4, 2, 1, 2};
    static const int inner[ActCount] = {6, 4, 3, 4, 3, 2, 1, 3, 2, 3, 1, 1, 1, 0, 3, 1, 0, 0};
    // While an allocation is set to fail, host code only compiles, evaluates and
    // deletes, whose failures the model can tell.
    static const int starved[ActCount] = {4, 4, 2, 3, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const int *w = oom_ ? starved : nested ? inner : top;
    int total = 0;
    for (int a = 0; a < ActCount; ++a) total += w[a];
    int pick = static_cast<int>(R(static_cast<unsigned>(total)));
    int act = 0;
    while (pick >= w[act]) pick -= w[act++];
    switch (act) {
        case ActCompile:
            // A host clears the error slot before it compiles, most of the time.
            if (!nested && Chance(85)) ErrorOp(nullptr, true);
            if (LiveCount() < 60) Compile(1 + static_cast<int>(R(3)));
            break;
        case ActEvaluate:
            Evaluate(PickLive(), Chance(60));
            break;
        case ActEvaluateReentrant:
            if (!nested && Chance(70)) ErrorOp(nullptr, true);
            Evaluate(
                nested && Chance(30) ? IdOf(caller ? caller->handle : nullptr) : PickReentrant(),
                Chance(50));
            break;
        case ActDelete:
            if (LiveCount() > 0) DeleteFormula(PickLive());
            break;
        case ActDeleteRunning:
            if (caller) {
                DeleteFormula(IdOf(caller->handle));  // the running formula itself
            } else if (!running_.empty()) {
                DeleteFormula(IdOf(running_[R(static_cast<unsigned>(running_.size()))]));
            } else {
                DeleteWrongType(PickLive());
            }
            break;
        case ActFunctions:
            FunctionChurn();
            break;
        case ActConstants:
            ConstChurn();
            break;
        case ActKeys:
            KeyOp();
            break;
        case ActErrors:
            ErrorOp(caller, false);
            break;
        case ActRegistry:
            CheckRegistry(caller);
            break;
        case ActModuleLock:
            ModuleLockOp();
            break;
        case ActFree:
            if (nested) {
                TryFree(false);  // refused: the engine is in use
                Note("InitQuorel (refused)");
                CHECK_SEQ(!InitQuorel(), "InitQuorel from inside a call");
            } else if (Chance(40)) {
                TryFree(Chance(70));
            }
            break;
        case ActCheck:
            CheckFormulas();
            break;
        case ActTypeLock:
            TypeLockOp();
            break;
        case ActPlainChurn:
            // Formulas without calls (straight-line programs among them) compiled, run
            // and dropped while others run.
            for (int k = 0; k < 3 && !failed_; ++k) {
                int id = PickLive();
                if (id >= 0 && Find(id)->deps.empty()) Evaluate(id, true);
            }
            if (Chance(50) && LiveCount() > 0) DeleteFormula(PickLive());
            if (Chance(50) && LiveCount() < 60) Compile(1 + static_cast<int>(R(3)));
            break;
        case ActEnumerate:
            Enumerate();
            break;
        case ActFreeCallback:
            freeCallbackOn_ = !freeCallbackOn_;
            ExMsgWithQuorel(freeCallbackOn_ ? 5 : 6, (void *)FreeCb, nullptr, nullptr);
            break;
        default: {
            // One allocation, early in a compile, an evaluation or a deletion (and
            // whatever host code they run), fails.
            if (Chance(70)) ErrorOp(nullptr, true);
            unsigned what = R(3);
            Note("out of memory window");
            oom_ = true;
            quorel::qallocFailAt(1 + R(60));
            if (what == 0)
                Compile(1 + static_cast<int>(R(3)));
            else if (what == 1)
                Evaluate(Chance(50) ? PickReentrant() : PickLive(), Chance(50));
            else
                DeleteFormula(PickLive());
            quorel::qallocFailAt(0);
            oom_ = false;
            break;
        }
    }
}

void Sequence::Run() {
    cur = this;
    // QUOREL_SEQ_CHECK_ALL=1 compares engine and model after every step, to find the
    // first step at which they part.
    const bool checkEveryStep = EnvInt("QUOREL_SEQ_CHECK_ALL", 0) != 0;
    Init();
    for (step_ = 0; step_ < steps_ && !failed_; ++step_) {
        budget_ = 14;
        Step(false, nullptr);
        if (step_ % 50 == 49 || checkEveryStep) CheckFormulas();
    }
    if (!failed_) CheckFormulas();
    // The end: everything the host gave is released exactly once.
    if (ready_) TryFree(false);
    ExMsgWithQuorel(6, nullptr, nullptr, nullptr);
    for (auto &[id, n] : released_) CHECK_SEQ(n <= 1, "released twice");
    cur = nullptr;
}

}  // namespace apiseq
