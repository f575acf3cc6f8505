// Per-module bookkeeping: formula counts, locks, names and imports.
#pragma once
#include "../include/Quorel32.h"

namespace quorel {

// Value of key type 14 (KeyModule), keyed by the decimal absolute module number.
struct ModuleRecord {
    int count;         // live formulas of the module
    LockFn lock;       // lock function, or null
    char *importText;  // owned: the names given to "Module", each NUL-terminated; or null
};

// Value of key type 15 (KeyModuleImports), keyed by the module's own name.
struct ImportList {
    int module;              // absolute module number
    int count;               // imported module names
    char **names;            // point into the ModuleRecord's import text
    unsigned char visiting;  // set while a lookup searches through this module
};

// Writes the decimal text of |m| (no sign, no leading zeros) and returns its length.
int ModuleKey(int m, char *out /* >= 12 bytes */);
ModuleRecord *FindModule(int m);

// A formula of module m was built / destroyed (outside the teardown sweep). When the
// last formula goes, the module's variables and import list go with it, and so does
// its record unless a lock keeps it. Count up is false when the module had no record
// and none could be made.
bool ModuleCountUp(int m);
void ModuleCountDown(int m);
// Compile lock check: null lock passes without a call; otherwise the lock is called
// and the module must have no record or a record locked with this function.
bool ModuleAllowed(int m, LockFn lock);

// The part of the "Module" built-in that changes state: gives module |m| (which must
// have a record without import text) its name and imports, the NUL-terminated texts
// at strings + offsets[0], then strings + offsets[1..n-1].
// Results: 0 done, 4 out of memory, 5 name taken, 6 empty name.
// Results of the built-in "Module" (returned as its value).
enum ModuleResult : int {
    ModuleNotAFormula = -1,  // the caller is no formula
    ModuleNoRecord = -2,     // the caller's module has no record
    ModuleDone = 0,
    ModuleNoArgs = 1,
    ModuleNamedAlready = 2,
    ModuleBadName = 3,  // a name offset outside the caller's strings
    ModuleNoMemory = 4,
    ModuleNameTaken = 5,  // another module bears the name
    ModuleEmptyName = 6,
};

int ModuleAttachImports(int m, const char *strings, const int *offsets, int n);

}  // namespace quorel
