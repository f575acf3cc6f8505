// The key tree: a binary trie over the bits of byte-string keys, one level per bit,
// most significant bit first. Each node holds at most one entry per key type.
#pragma once
#include "../base/keynode.h"

namespace quorel {

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
