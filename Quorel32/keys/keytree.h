// The key tree: a binary trie over the bits of byte-string keys, one level per bit,
// most significant bit first. Each node holds at most one entry per key type.
#pragma once
#include "../api/Quorel32.h"

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

// Inserts a new entry (result 0) or returns the existing one of that type untouched
// (result 1). Out of memory: result 2, *entry null; path nodes made so far stay.
int KeyInsert(const void *key, int len, int type, void *value, KeyDeleter del, KeyEntry **entry);
KeyEntry *KeySearch(const void *key, int len, int type);
KeyNode *KeyNodeOf(const void *key, int len);  // null for len <= 0 or a missing path
// Removes the entry (delete function called after unlinking) and prunes empty nodes.
void KeyRemove(const void *key, int len, int type);
// Removes every entry of `type` at and below `node`, freeing emptied nodes below it;
// the delete functions run only after the walk, so they may change the tree freely.
// True when `node` was left without entries and children by the walk.
bool KeyRemoveTypeBelow(KeyNode *node, int type);

// First entry of `type` at `node`, or null.
KeyEntry *KeyEntryAt(KeyNode *node, int type);
// Frees everything below the root, calling each entry's delete function.
void KeyFreeAll();

// Convenience for NUL-terminated names.
int KeyLen(const char *text);

}  // namespace quorel
