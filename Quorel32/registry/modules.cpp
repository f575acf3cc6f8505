#include "modules.h"

#include <cstring>

#include "../base/alloc.h"
#include "../base/engine.h"
#include "../keys/keytree.h"

namespace quorel {

namespace {

void QUOREL_CALL FreeImportList(void *p) {
    auto *list = static_cast<ImportList *>(p);
    qfree(list->names);
    qfree(list);
}

// Drops the module's name and imports; the record itself stays.
void DropImports(ModuleRecord *rec) {
    if (!rec->importText) return;
    KeyRemove(rec->importText, KeyLen(rec->importText), KeyModuleImports);
    qfree(rec->importText);
    rec->importText = nullptr;
}

void QUOREL_CALL FreeModuleRecord(void *p) {
    auto *rec = static_cast<ModuleRecord *>(p);
    DropImports(rec);
    qfree(rec);
}

inline bool StartsName(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Removes the module variables of types 10-12 keyed by the module's number followed by
// a name. Only subtrees whose next byte can start a name are touched, so module 12's
// variables survive module 1 and common variables (names alone) are never reached.
void RemoveModuleVariables(const char *key, int len) {
    // Most modules have no variables: then nothing lies below the module's own key,
    // and the 53 searches for name starts below it can be skipped.
    const KeyNode *base = KeyNodeOf(key, len);
    if (!base || (!base->child[0] && !base->child[1])) return;
    char varKey[13];
    std::memcpy(varKey, key, len);
    for (int c = 0; c < 256; ++c) {
        if (!StartsName(static_cast<unsigned char>(c))) continue;
        varKey[len] = static_cast<char>(c);
        for (int type = KeyIntModuleVar; type <= KeyComplexModuleVar; ++type) {
            KeyNode *node = KeyNodeOf(varKey, len + 1);
            if (!node) break;
            KeyRemoveTypeBelow(node, type);
            KeyRemove(varKey, len + 1, type);  // the node's own entry, if any, and pruning
        }
    }
}

ModuleRecord *NewRecord(int count, LockFn lock) {
    auto *rec = qnew<ModuleRecord>();
    if (!rec) return nullptr;
    rec->count = count;
    rec->lock = lock;
    return rec;
}

bool InsertRecord(const char *key, int len, ModuleRecord *rec) {
    if (KeyInsert(key, len, KeyModule, rec, FreeModuleRecord, nullptr) == InsertNew) return true;
    qfree(rec);
    return false;
}

}  // namespace

int ModuleKey(int m, char *out) {
    // Every compile and deletion looks its module up: decimal digits by hand, not
    // through the formatted-output machinery.
    unsigned int a = m < 0 ? 0u - static_cast<unsigned int>(m) : static_cast<unsigned int>(m);
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + a % 10);
        a /= 10;
    } while (a != 0);
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    out[n] = '\0';
    return n;
}

ModuleRecord *FindModule(int m) {
    char key[12];
    int len = ModuleKey(m, key);
    KeyEntry *e = KeySearch(key, len, KeyModule);
    return e ? static_cast<ModuleRecord *>(e->value) : nullptr;
}

bool ModuleCountUp(int m) {
    if (ModuleRecord *rec = FindModule(m)) {
        ++rec->count;
        return true;
    }
    char key[12];
    int len = ModuleKey(m, key);
    ModuleRecord *rec = NewRecord(1, nullptr);
    return rec && InsertRecord(key, len, rec);
}

void ModuleCountDown(int m) {
    ModuleRecord *rec = FindModule(m);
    if (!rec) return;
    if (--rec->count > 0) return;
    rec->count = 0;
    char key[12];
    int len = ModuleKey(m, key);
    RemoveModuleVariables(key, len);
    // A variable's delete function runs host-free code only, but look the record up
    // again rather than trust the pointer across the removals.
    rec = FindModule(m);
    if (!rec) return;
    if (rec->lock) {
        DropImports(rec);  // a lock outlives the module's formulas
        return;
    }
    KeyRemove(key, len, KeyModule);
}

bool ModuleAllowed(int m, LockFn lock) {
    if (!lock) return true;
    lock();
    ModuleRecord *rec = FindModule(m);
    return !rec || rec->lock == lock;
}

int ModuleAttachImports(int m, const char *strings, const int *offsets, int n) {
    ModuleRecord *rec = FindModule(m);
    if (!rec || n < 1) return ModuleNoMemory;
    auto name = [&](int i) { return strings + offsets[i]; };
    std::size_t textLen = 0;
    for (int i = 0; i < n; ++i) textLen += std::strlen(name(i)) + 1;
    auto *text = qnew<char>(textLen);
    auto **ptrs = qnew<char *>(static_cast<std::size_t>(n));
    auto *list = qnew<ImportList>();
    int result = ModuleDone;
    if (!text || !ptrs || !list) result = ModuleNoMemory;
    if (result == ModuleDone && !*name(0)) result = ModuleEmptyName;
    if (result == ModuleDone) {
        char *p = text;
        for (int i = 0; i < n; ++i) {
            std::size_t len = std::strlen(name(i)) + 1;
            std::memcpy(p, name(i), len);
            if (i > 0) ptrs[i - 1] = p;
            p += len;
        }
        list->module = static_cast<int>(m < 0 ? 0u - static_cast<unsigned>(m) : m);
        list->count = n - 1;
        list->names = ptrs;
        int r = KeyInsert(text, KeyLen(text), KeyModuleImports, list, FreeImportList, nullptr);
        if (r == InsertExists) result = ModuleNameTaken;
        if (r == InsertNoMemory) result = ModuleNoMemory;
    }
    if (result != ModuleDone) {
        qfree(text);
        qfree(ptrs);
        qfree(list);
        return result;
    }
    rec->importText = text;
    return ModuleDone;
}

}  // namespace quorel

using namespace quorel;

extern "C" QUOREL_API bool QUOREL_CALL LockModule(int module, LockFn lock, bool doLock) {
    if (!lock) return false;
    lock();
    char key[12];
    int len = ModuleKey(module, key);
    KeyEntry *e = KeySearch(key, len, KeyModule);
    if (e) {
        auto *rec = static_cast<ModuleRecord *>(e->value);
        if (doLock) return rec->lock == lock;
        if (rec->count != 0) return false;
        KeyRemove(key, len, KeyModule);
        return true;
    }
    if (!doLock) return true;
    ModuleRecord *rec = NewRecord(0, lock);
    return rec && InsertRecord(key, len, rec);
}
