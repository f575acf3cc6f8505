#include "registry.h"

#include <cstring>

#include "../keys/keytree.h"
#include "formula_lists.h"
#include "modules.h"

namespace quorel {

namespace {

constexpr int kDomains[] = {DomainInt, DomainReal, DomainComplex};

inline Operand ModuleOf(const CompiledFormula *f) {
    return f->ints[ModuleNo];
}

// --- unqualified names -----------------------------------------------------------

bool LookupPlain(const char *name, int len, int callerModule, FoundFormula *out) {
    const Operand own = AbsModule(callerModule);
    FoundFormula lastPublic{0, nullptr};
    for (int domain : kDomains) {
        for (CompiledFormula *f = FormulaChain(domain, name, len); f; f = f->next) {
            if (AbsModule(ModuleOf(f)) == own) {
                *out = {domain, f};
                return true;
            }
            if (ModuleOf(f) > 0) lastPublic = {domain, f};
        }
    }
    if (!lastPublic.formula) return false;
    *out = lastPublic;
    return true;
}

// --- qualified names: N1::N2::...::f ---------------------------------------------

struct Span {
    const char *text;
    int len;
};

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

Span Trim(const char *begin, const char *end) {
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    return {begin, static_cast<int>(end - begin)};
}

// Position of the first "::" in [p, end), or null.
const char *FindSeparator(const char *p, const char *end) {
    for (; p + 1 < end; ++p)
        if (p[0] == ':' && p[1] == ':') return p;
    return nullptr;
}

ImportList *FindImports(Span name) {
    if (name.len <= 0) return nullptr;
    KeyEntry *e = KeySearch(name.text, name.len, KeyModuleImports);
    return e ? static_cast<ImportList *>(e->value) : nullptr;
}

ImportList *FindImports(const char *name) {
    return FindImports(Span{name, KeyLen(name)});
}

bool Imports(const ImportList *list, Span name) {
    for (int i = 0; i < list->count; ++i) {
        const char *n = list->names[i];
        if (static_cast<int>(std::strlen(n)) == name.len &&
            std::memcmp(n, name.text, name.len) == 0)
            return true;
    }
    return false;
}

// An exported formula named `f` of the module, newest first in domain order.
bool ExportedIn(const ImportList *module, Span f, FoundFormula *out) {
    for (int domain : kDomains) {
        for (CompiledFormula *c = FormulaChain(domain, f.text, f.len); c; c = c->next) {
            if (AbsModule(ModuleOf(c)) == module->module && (c->code[FlagsByte] & FlagExported)) {
                *out = {domain, c};
                return true;
            }
        }
    }
    return false;
}

// Depth-first search of the imports; among matches the shallowest wins, the first
// found among equals. Modules on the current path are skipped so cycles end.
struct ImportSearch {
    Span f;
    int bestDepth;
    FoundFormula best;

    void Visit(ImportList *module, int depth) {
        if (depth >= bestDepth) return;
        FoundFormula found;
        if (ExportedIn(module, f, &found)) {
            bestDepth = depth;
            best = found;
            return;
        }
        SearchImports(module, depth);
    }

    void SearchImports(ImportList *module, int depth) {
        module->visiting = 1;
        for (int i = 0; i < module->count && depth + 1 < bestDepth; ++i) {
            ImportList *next = FindImports(module->names[i]);
            if (next && !next->visiting) Visit(next, depth + 1);
        }
        module->visiting = 0;
    }
};

bool LookupQualified(const char *name, const char *end, FoundFormula *out) {
    const char *sep = FindSeparator(name, end);
    ImportList *module = FindImports(Trim(name, sep));
    if (!module) return false;
    const char *p = sep + 2;
    // Every further part but the last names a module imported by the previous one.
    while (const char *next = FindSeparator(p, end)) {
        Span part = Trim(p, next);
        if (!Imports(module, part)) return false;
        module = FindImports(part);
        if (!module) return false;
        p = next + 2;
    }
    Span f = Trim(p, end);
    if (f.len <= 0) return false;
    if (ExportedIn(module, f, out)) return true;
    ImportSearch search{f, 0x7fffffff, {0, nullptr}};
    search.SearchImports(module, 0);
    if (!search.best.formula) return false;
    *out = search.best;
    return true;
}

}  // namespace

bool LookupFormula(const char *name, int len, int callerModule, FoundFormula *out) {
    if (!name || len <= 0 || !out) return false;
    const char *end = name + len;
    if (FindSeparator(name, end)) return LookupQualified(name, end, out);
    return LookupPlain(name, len, callerModule, out);
}

}  // namespace quorel
