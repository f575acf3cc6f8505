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

// Walks the subtree at `top` depth first, bit-0 child before bit-1 child, following
// parent links instead of recursing, so no key length can exhaust the stack. The
// visitor provides
//   bool Enter(KeyNode *n, int depth)  // pre-order; false stops the walk
//   void Leave(KeyNode *n, int depth)  // after n's subtree; may free n
// where depth counts edges from `top`. Every entered node is left, also when the walk
// stops early (then from the stopping node up to `top`, siblings unvisited). The walk
// reads a node's parent and position before leaving it, so Leave may unhook and free
// any node but `top`.
template <class V>
void KeyWalk(KeyNode *top, V &v) {
    KeyNode *n = top;
    int depth = 0;
    bool going = v.Enter(n, depth);
    for (;;) {
        KeyNode *down = n->child[0] ? n->child[0] : n->child[1];
        if (going && down) {
            n = down;
            going = v.Enter(n, ++depth);
            continue;
        }
        for (;;) {
            if (n == top) {
                v.Leave(n, depth);
                return;
            }
            KeyNode *parent = n->parent;
            bool toSibling = going && parent->child[0] == n && parent->child[1];
            v.Leave(n, depth);
            if (toSibling) {
                n = parent->child[1];
                going = v.Enter(n, depth);
                break;
            }
            n = parent;
            --depth;
        }
    }
}

// Convenience for NUL-terminated names.
int KeyLen(const char *text);

}  // namespace quorel
