// The key tree's shared types: key types the engine reserves, entries and nodes.
// The tree's operations are in keys/keytree.h.
#pragma once
#include "../include/Quorel32.h"

namespace quorel {

// Key types the engine uses for itself; hosts use >= 256 or <= -256.
enum KeyType : int {
    KeyIntFor = 1,
    KeyRealFor = 2,
    KeyComplexFor = 3,
    KeyIntFun = 4,
    KeyRealFun = 5,
    KeyComplexFun = 6,
    KeyIntConst = 7,
    KeyRealConst = 8,
    KeyComplexConst = 9,
    KeyIntModuleVar = 10,
    KeyRealModuleVar = 11,
    KeyComplexModuleVar = 12,
    KeyTypeLock = 13,
    KeyModule = 14,
    KeyModuleImports = 15,
};

inline bool IsReservedKeyType(int type) {
    return type >= -255 && type <= 255;
}

struct KeyEntry {
    int type;
    void *value;
    KeyDeleter del;
    KeyEntry *next;
};

// Nodes know their parent so that every walk (enumeration, sweeps, pruning) is a loop
// rather than a recursion whose depth would grow with the longest key.
struct KeyNode {
    KeyEntry *entries;
    KeyNode *child[2];
    KeyNode *parent;  // null for the root
};

enum InsertResult : int { InsertNew = 0, InsertExists = 1, InsertNoMemory = 2 };

}  // namespace quorel
