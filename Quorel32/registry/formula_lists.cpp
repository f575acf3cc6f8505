#include "formula_lists.h"

#include "../base/engine.h"
#include "../keys/keytree.h"

namespace quorel {

namespace {

CompiledFormula *HeadOf(const KeyEntry *e) {
    return e ? static_cast<CompiledFormula *>(e->value) : nullptr;
}

bool AnyInList(const CompiledFormula *f, bool (*pred)(const CompiledFormula *)) {
    for (; f; f = f->next)
        if (pred(f)) return true;
    return false;
}

// Visits the chains of every node, stopping at the first formula `pred` accepts.
struct ChainSearch {
    bool (*pred)(const CompiledFormula *);
    bool found = false;
    bool Enter(KeyNode *n, int) {
        for (const KeyEntry *e = n->entries; e && !found; e = e->next)
            if (e->type >= KeyIntFor && e->type <= KeyComplexFor)
                found = AnyInList(HeadOf(e), pred);
        return !found;
    }
    void Leave(KeyNode *, int) {}
};

}  // namespace

CompiledFormula *FormulaChain(int domain, const char *name, int len) {
    if (!IsFormulaType(domain) || !name || len <= 0) return nullptr;
    return HeadOf(KeySearch(name, len, ChainKeyType(domain)));
}

CompiledFormula *&UnnamedList(int domain) {
    return g.unnamed[domain - 1];
}

CompiledFormula *FormulaList(int domain, const char *name, int len) {
    return len > 0 ? FormulaChain(domain, name, len) : UnnamedList(domain);
}

bool LinkFormula(int domain, CompiledFormula *f, KeyDeleter chainDeleter) {
    const char *name = FormulaName(f);
    int len = KeyLen(name);
    CompiledFormula **head = &UnnamedList(domain);
    if (len > 0) {
        KeyEntry *e = nullptr;
        int r = KeyInsert(name, len, ChainKeyType(domain), f, chainDeleter, &e);
        if (r == InsertNoMemory || !e) return false;
        if (r == InsertNew) return true;
        head = reinterpret_cast<CompiledFormula **>(&e->value);
    }
    f->next = *head;
    if (*head) (*head)->prev = f;
    *head = f;
    return true;
}

void UnlinkFormula(int domain, CompiledFormula *f) {
    CompiledFormula *next = f->next;
    if (f->prev) {
        f->prev->next = next;
        if (next) next->prev = f->prev;
    } else {
        const char *name = FormulaName(f);
        int len = KeyLen(name);
        KeyEntry *e = len ? KeySearch(name, len, ChainKeyType(domain)) : nullptr;
        if (e && e->value == f) {
            e->value = next;
            if (!next) KeyRemove(name, len, ChainKeyType(domain));
        } else if (UnnamedList(domain) == f) {
            UnnamedList(domain) = next;
        }
        if (next) next->prev = nullptr;
    }
    f->prev = f->next = nullptr;
}

bool InListOfType(int domain, const CompiledFormula *f) {
    const CompiledFormula *head = f;
    while (head->prev) head = head->prev;
    if (UnnamedList(domain) == head) return true;
    const char *name = FormulaName(head);
    return FormulaChain(domain, name, KeyLen(name)) == head;
}

bool AnyFormula(bool (*pred)(const CompiledFormula *)) {
    for (const CompiledFormula *head : g.unnamed)
        if (AnyInList(head, pred)) return true;
    ChainSearch search{pred};
    KeyWalk(&g.root, search);
    return search.found;
}

}  // namespace quorel
