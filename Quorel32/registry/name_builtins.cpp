#include "name_builtins.h"

#include <cstring>

#include "../base/alloc.h"
#include "../base/domain.h"
#include "modules.h"
#include "registry.h"

namespace quorel {

namespace {

// The arguments are string literals: byte offsets into the caller's string area,
// passed as numbers of the domain. Real and complex callers need them converted into
// a temporary int array (null when that cannot be allocated).
class Offsets {
  public:
    Offsets(int m, const int *x) : ints_(x) { (void)m; }
    Offsets(int m, const double *x) : owned_(Alloc(m)) {
        for (int i = 0; owned_ && i <= m; ++i) owned_[i] = TruncToInt(x[i]);
        ints_ = owned_;
    }
    Offsets(int m, const QuorelComplex *x) : owned_(Alloc(m)) {
        for (int i = 0; owned_ && i <= m; ++i) owned_[i] = TruncToInt(x[i].re);
        ints_ = owned_;
    }
    ~Offsets() { qfree(owned_); }
    Offsets(const Offsets &) = delete;
    Offsets &operator=(const Offsets &) = delete;

    const int *get() const { return ints_; }

  private:
    static int *Alloc(int m) { return qnew<int>(m < 0 ? 0 : static_cast<std::size_t>(m) + 1); }
    int *owned_ = nullptr;
    const int *ints_ = nullptr;
};

inline bool InStringArea(const CompiledFormula *f, int offset) {
    return offset >= 0 && offset < f->ints[CodeStart];
}

int ModuleCore(int m, const int *args, const CallerInfo *caller) {
    if (!args) return ModuleNoMemory;
    if (m < 0) return ModuleNoArgs;
    CompiledFormula *self = CallerFormula(caller);
    if (!self) return ModuleNotAFormula;
    int module = static_cast<int>(self->ints[ModuleNo]);
    ModuleRecord *rec = FindModule(module);
    if (!rec) return ModuleNoRecord;
    if (rec->importText) return ModuleNamedAlready;
    for (int i = 0; i <= m; ++i)
        if (!InStringArea(self, args[i])) return ModuleBadName;
    return ModuleAttachImports(module, reinterpret_cast<const char *>(self->code), args, m + 1);
}

// "OutFun": 0 when every name was marked, else the 1-based position of the first
// name that is out of range or names no formula, or one of these.
enum : int { OutFunNoMemory = -1, OutFunNotAFormula = -2 };

int OutFunCore(int m, const int *args, const CallerInfo *caller) {
    if (!args) return OutFunNoMemory;
    CompiledFormula *self = CallerFormula(caller);
    if (!self) return OutFunNotAFormula;
    const char *strings = reinterpret_cast<const char *>(self->code);
    for (int i = 0; i <= m; ++i) {
        if (!InStringArea(self, args[i])) return i + 1;
        const char *name = strings + args[i];
        int len = static_cast<int>(strnlen(name, self->ints[CodeStart] - args[i]));
        FoundFormula found{0, nullptr};
        if (!LookupFormula(name, len, static_cast<int>(self->ints[ModuleNo]), &found)) return i + 1;
        found.formula->code[FlagsByte] |= FlagExported;
    }
    return 0;
}

}  // namespace

int QUOREL_CALL IntModuleFn(int m, int *x, CallerInfo *caller) {
    Offsets args(m, x);
    return ModuleCore(m, args.get(), caller);
}
double QUOREL_CALL RealModuleFn(int m, double *x, CallerInfo *caller) {
    Offsets args(m, x);
    return ModuleCore(m, args.get(), caller);
}
void QUOREL_CALL ComplexModuleFn(QuorelComplex *result, int m, QuorelComplex *x,
                                 CallerInfo *caller) {
    Offsets args(m, x);
    *result = {static_cast<double>(ModuleCore(m, args.get(), caller)), 0.0};
}

int QUOREL_CALL IntOutFun(int m, int *x, CallerInfo *caller) {
    Offsets args(m, x);
    return OutFunCore(m, args.get(), caller);
}
double QUOREL_CALL RealOutFun(int m, double *x, CallerInfo *caller) {
    Offsets args(m, x);
    return OutFunCore(m, args.get(), caller);
}
void QUOREL_CALL ComplexOutFun(QuorelComplex *result, int m, QuorelComplex *x, CallerInfo *caller) {
    Offsets args(m, x);
    *result = {static_cast<double>(OutFunCore(m, args.get(), caller)), 0.0};
}

}  // namespace quorel
