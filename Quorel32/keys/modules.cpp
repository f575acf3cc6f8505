#include "modules.h"

#include <cstdio>

#include "../api/engine.h"
#include "keytree.h"

namespace quorel {

int ModuleKey(int m, char *out) {
    unsigned int a = m < 0 ? 0u - static_cast<unsigned int>(m) : static_cast<unsigned int>(m);
    return std::snprintf(out, 12, "%u", a);
}

ModuleRecord *FindModule(int m) {
    char key[12];
    int len = ModuleKey(m, key);
    KeyEntry *e = KeySearch(key, len, KeyModule);
    return e ? static_cast<ModuleRecord *>(e->value) : nullptr;
}

// Placeholders until module bookkeeping lands.
void ModuleCountUp(int) {}
void ModuleCountDown(int) {}
bool ModuleAllowed(int, LockFn) { return true; }

}  // namespace quorel
