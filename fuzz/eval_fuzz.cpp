// Compiles and runs formulas generated from the input, in all three domains, between
// host calls that change what they depend on: host functions and constants are set and
// deleted while callers exist, formulas are deleted, key-tree entries come and go, and
// host functions call back into the engine. Generated formulas terminate: loops count a
// variable nothing else assigns, recursion is bounded by its argument, formulas call
// only formulas compiled before them, and the odd endless loop meets the run limit.
// Formulas with a fast way to run are checked against the general evaluator as they
// are compiled (twin_check.h), and real ones are also run past native code's warm-up
// and over many points at once while host functions change things underneath.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Quorel32.h"
#include "twin_check.h"

namespace {

struct Input {
    const std::uint8_t *p;
    std::size_t n;
    std::uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    int Pick(int count) { return Byte() % count; }
    bool Done() const { return n == 0; }
};

struct Formula {
    int domain;  // 1 integer, 2 real, 3 complex
    std::string name;
    void *handle;  // null once deleted: a deleted handle is never passed again
    int module;
    void *para;
};

struct Session {
    Input in;
    std::vector<Formula> formulas;
    std::vector<std::string> functions;  // real host functions, maybe deleted since
    std::vector<std::string> constants;  // real host constants, maybe deleted since
    int loopDepth = 0;
};

constexpr long long kRunLimit = 20000;

Session *current = nullptr;
int hostDepth = 0;

const char *const kNumbers[] = {"0", "1", "2", "0.5", "3", "1e300", "7", "100"};

std::string Expr(Session &s, int domain, const Formula *self, int depth);

std::string Args(Session &s, int callerDomain, int calleeDomain, int depth) {
    // A complex callee takes two arguments per parameter from the other domains.
    int count = calleeDomain == 3 && callerDomain != 3 ? 4 : 2;
    std::string out;
    for (int k = 0; k < count; ++k) out += (k ? ", " : "") + Expr(s, callerDomain, nullptr, depth);
    return out;
}

std::string Loop(Session &s, int domain, const Formula *self, int depth) {
    // The counter belongs to this nesting level; bodies assign only `s` or `b`.
    const char *counter = s.loopDepth == 0 ? "i" : "j";
    std::string limit = std::to_string(s.in.Pick(6));
    ++s.loopDepth;
    std::string body = Expr(s, domain, self, depth + 1);
    std::string exit = s.in.Pick(4) == 0 ? ", which(s > 5, break(), 0)" : "";
    --s.loopDepth;
    std::string c = counter;
    // Now and then the body writes a parameter, which goes back to the host's array.
    std::string v = s.in.Pick(4) == 0 ? "b" : "s";
    if (s.in.Pick(2))
        return "(" + c + " = 0, while(" + c + " < " + limit + ", " + c + " = " + c + " + 1, " + v +
               " = " + v + " + " + body + exit + "), " + v + ")";
    return "(" + c + " = 0, until(" + c + " = " + c + " + 1, " + v + " = " + v + " + " + body +
           exit + ", " + c + " >= " + limit + "), " + v + ")";
}

std::string Leaf(Session &s, int domain) {
    switch (s.in.Pick(5)) {
        case 0:
            return "a";
        case 1:
            return "b";
        case 2:
            return "s";
        case 3:
            if (domain == 2 && !s.constants.empty())
                return s.constants[s.in.Pick(static_cast<int>(s.constants.size()))];
            [[fallthrough]];
        default:
            return std::string(kNumbers[s.in.Pick(8)]) +
                   (domain == 3 && s.in.Pick(3) == 0 ? "i" : "");
    }
}

std::string Expr(Session &s, int domain, const Formula *self, int depth) {
    if (depth > 4 || s.in.Done()) return Leaf(s, domain);
    static const char *const ops[] = {"+", "-", "*", "/", "^", ">", "<", "==", "&", "|"};
    switch (s.in.Pick(10)) {
        case 0:
        case 1: {
            const char *op = ops[s.in.Pick(10)];
            if (domain == 1 && op[0] == '^') op = "%";
            return "(" + Expr(s, domain, self, depth + 1) + ")" + op + "(" +
                   Expr(s, domain, self, depth + 1) + ")";
        }
        case 2: {
            static const char *const fn[] = {"sqrt", "exp", "ln", "abs"};
            return std::string(fn[s.in.Pick(4)]) + "(" + Expr(s, domain, self, depth + 1) + ")";
        }
        case 3:
            if (s.loopDepth < 2) return Loop(s, domain, self, depth);
            break;
        case 4:
            if (!s.formulas.empty()) {
                const Formula &f = s.formulas[s.in.Pick(static_cast<int>(s.formulas.size()))];
                return f.name + "(" + Args(s, domain, f.domain, depth + 1) + ")";
            }
            break;
        case 5:
            if (domain == 2 && !s.functions.empty())
                return s.functions[s.in.Pick(static_cast<int>(s.functions.size()))] + "(" +
                       Expr(s, domain, self, depth + 1) + ")";
            break;
        case 6:
            // Recursion ends: the first argument falls by one and must stay in (0, 6).
            if (self)
                return "which(a > 0 & a < 6, " + self->name + "(a - 1, " +
                       Expr(s, domain, nullptr, depth + 1) + "), 0)";
            break;
        case 7:
            return "which(" + Expr(s, domain, self, depth + 1) + ", " +
                   Expr(s, domain, self, depth + 1) + ", " + Expr(s, domain, self, depth + 1) + ")";
        case 8:
            // A loop without end, which only the run limit stops.
            if (s.in.Pick(8) == 0) return "(while(1, s = s + 1), s)";
            break;
        default:
            break;
    }
    return Leaf(s, domain);
}

void ClearError() {
    int type, code, forType;
    char *name;
    void *handle;
    GetRunErr(&type, &name, &code, &forType, &handle);
}

// A host's own conversion of any double to an int argument: clamped, NaN as 0.
int ToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

void Run(const Formula &f, double x, double y) {
    if (!f.handle) return;
    if (f.domain == 1) {
        int p[2] = {ToInt(x), ToInt(y)};
        IntCal(f.handle, p);
    } else if (f.domain == 2) {
        double p[2] = {x, y};
        RealCal(f.handle, p);
    } else {
        QuorelComplex p[2] = {{x, y}, {y, x}}, r;
        ComplexCal(&r, f.handle, p);
    }
}

// Past the warm-up after which a plain real formula runs native code.
void Repeat(const Formula &f, double x, double y, int times) {
    if (f.handle && !twin::Plain(f.handle)) times = 2;  // no warm-up; maybe long loops
    for (int k = 0; k < times && f.handle; ++k) Run(f, x + k % 3, y);
}

// Many points at once; a NULL column keeps the formula's own slot.
void RunBatch(const Formula &f, double x, int n) {
    if (!f.handle || f.domain != 2) return;
    if (!twin::Plain(f.handle)) n %= 4;  // point by point, maybe to the step limit
    std::vector<double> xs(n), out(n);
    for (int k = 0; k < n; ++k) xs[k] = x + k % 5;
    const double *columns[2] = {xs.data(), nullptr};
    RealCalBatch(f.handle, n, columns, out.data());
}

// Deletes the formula as a host would and forgets its handle when the engine let go.
void Delete(Formula &f) {
    if (!f.handle) return;
    DeleteFor(f.domain, f.handle);
    if (!IsFor(f.name.c_str(), f.domain, f.module, f.handle, f.para, 1)) f.handle = nullptr;
}

// A host function that, now and then, evaluates or deletes formulas and functions
// while it runs: the engine must refuse what would pull code from under a caller.
double QUOREL_CALL Host(int m, double *x, CallerInfo *) {
    Session *s = current;
    double v = m >= 0 ? x[0] : 0.0;
    if (!s || hostDepth > 1 || s->formulas.empty()) return v;
    ++hostDepth;
    Formula &f = s->formulas[s->in.Pick(static_cast<int>(s->formulas.size()))];
    switch (s->in.Pick(6)) {
        case 0:
            Run(f, v, 1.0);
            break;
        case 4:
            RunBatch(f, v, 1 + s->in.Pick(3));
            break;
        case 5:
            // The engine is in use further up: it must refuse to be torn down.
            if (InitQuorel()) std::abort();
            FreeQuorel();
            break;
        case 1:
            Delete(f);
            break;
        case 2:
            if (!s->functions.empty())
                DeleteConstOrFunction(QUOREL_KEY_REAL_FUN, s->functions[0].c_str());
            break;
        default:
            break;
    }
    --hostDepth;
    return v + 1.0;
}

void QUOREL_CALL FreeValue(void *value) {
    std::free(value);
}

void Compile(Session &s, int domain) {
    Formula f{domain, "f" + std::to_string(s.formulas.size()), nullptr, s.in.Pick(3) - 1, nullptr};
    std::string text = f.name + "(a, b : i, j, s) = " +
                       (s.in.Pick(4) == 0 ? std::string(domain == 1   ? "SetIntStackMax(50), "
                                                        : domain == 2 ? "SetRealStackMax(50), "
                                                                      : "SetComplexStackMax(50), ")
                                          : "") +
                       Expr(s, domain, &f, 0);
    int nPara, b, e, r;
    if (domain == 1) {
        r = IntCom(text.c_str(), f.module, &f.handle, &nPara, reinterpret_cast<int **>(&f.para), &b,
                   &e);
    } else if (domain == 2) {
        r = RealCom(text.c_str(), f.module, &f.handle, &nPara, reinterpret_cast<double **>(&f.para),
                    &b, &e);
    } else {
        r = ComplexCom(text.c_str(), f.module, &f.handle, &nPara,
                       reinterpret_cast<QuorelComplex **>(&f.para), &b, &e);
    }
    if (r != 0) return;
    if (!IsFor(f.name.c_str(), f.domain, f.module, f.handle, f.para, 1)) std::abort();
    std::string twinText = "t" + text.substr(1);
    twin::Check(domain, twinText.c_str(), f.module, f.handle, f.para, s.in.Byte(), kRunLimit);
    s.formulas.push_back(f);
}

void KeyOperation(Session &s) {
    char key[3] = {static_cast<char>(s.in.Byte()), static_cast<char>(s.in.Byte()), 0};
    int len = 1 + s.in.Pick(2);
    int type = s.in.Pick(2) ? QUOREL_KEY_HOST : QUOREL_KEY_PRIVATE;
    switch (s.in.Pick(4)) {
        case 0: {
            void *value = std::malloc(8);
            void *inOut = s.in.Pick(2) ? value : nullptr;
            int r = InsertKey(key, len, type, value, FreeValue, &inOut);
            if (r != QUOREL_KEY_INSERTED && r != QUOREL_KEY_REPLACED) std::free(value);
            break;
        }
        case 1:
            DeleteKey(key, len, type);
            DeletePrivateKey(key, len, type, FreeValue);
            break;
        case 2: {
            char buffer[8];
            EnumKeyTypeValue(type, buffer, sizeof buffer, [](char *, int, void *) { return true; });
            break;
        }
        default:
            SearchKey(key, len, type);
            break;
    }
}

void Step(Session &s) {
    switch (s.in.Pick(10)) {
        case 0:
        case 1:
            Compile(s, 2);
            break;
        case 2:
            Compile(s, 1 + 2 * s.in.Pick(2));
            break;
        case 3:
        case 4:
            if (!s.formulas.empty()) {
                const Formula &f = s.formulas[s.in.Pick(static_cast<int>(s.formulas.size()))];
                switch (s.in.Pick(4)) {
                    case 0:
                        Repeat(f, s.in.Pick(8), s.in.Pick(8) - 2, 70);
                        break;
                    case 1:
                        RunBatch(f, s.in.Pick(8), s.in.Pick(200));
                        break;
                    default:
                        Run(f, s.in.Pick(8), s.in.Pick(8) - 2);
                }
            }
            break;
        case 5: {
            std::string name = "h" + std::to_string(s.functions.size());
            if (SetFunction(QUOREL_KEY_REAL_FUN, name.c_str(), reinterpret_cast<void *>(Host),
                            s.in.Pick(2) ? 0 : -2) == 0)
                s.functions.push_back(name);
            break;
        }
        case 6:
            if (!s.functions.empty())
                DeleteConstOrFunction(
                    QUOREL_KEY_REAL_FUN,
                    s.functions[s.in.Pick(static_cast<int>(s.functions.size()))].c_str());
            break;
        case 7: {
            std::string name = "c" + std::to_string(s.constants.size());
            double v = s.in.Pick(16);
            if (SetConst(QUOREL_KEY_REAL_CONST, name.c_str(), &v) == 0) s.constants.push_back(name);
            if (!s.constants.empty() && s.in.Pick(2))
                DeleteConstOrFunction(QUOREL_KEY_REAL_CONST, s.constants[0].c_str());
            break;
        }
        case 8:
            if (!s.formulas.empty())
                Delete(s.formulas[s.in.Pick(static_cast<int>(s.formulas.size()))]);
            break;
        default:
            KeyOperation(s);
            break;
    }
    ClearError();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!InitQuorel()) return 0;
    SetRunLimit(kRunLimit);
    Session s{{data, size}};
    current = &s;
    for (int steps = 0; steps < 64 && !s.in.Done(); ++steps) Step(s);
    current = nullptr;
    FreeQuorel();
    return 0;
}
