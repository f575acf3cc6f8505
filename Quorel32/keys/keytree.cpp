#include "keytree.h"

#include <cstring>

#include "../base/alloc.h"
#include "../base/engine.h"

namespace quorel {

namespace {

inline int BitAt(const unsigned char *key, int depth) {
    return (key[depth >> 3] >> (7 - (depth & 7))) & 1;
}

inline bool IsEmpty(const KeyNode *n) {
    return !n->entries && !n->child[0] && !n->child[1];
}

inline int WhichChild(const KeyNode *n) {
    return n->parent->child[1] == n ? 1 : 0;
}

// Unlinks the entry of `type` from `node` and returns it (not freed), or null.
KeyEntry *UnlinkEntry(KeyNode *node, int type) {
    for (KeyEntry **link = &node->entries; *link; link = &(*link)->next) {
        KeyEntry *e = *link;
        if (e->type != type) continue;
        *link = e->next;
        e->next = nullptr;
        return e;
    }
    return nullptr;
}

void DropEntry(KeyEntry *e) {
    if (e->del) e->del(e->value);
    qfree(e);
}

// Deepest node on the key's path that exists (the key node when the whole path is there).
KeyNode *DeepestOnPath(const unsigned char *key, int len) {
    KeyNode *node = &g.root;
    for (int d = 0, bits = len * 8; d < bits; ++d) {
        KeyNode *next = node->child[BitAt(key, d)];
        if (!next) break;
        node = next;
    }
    return node;
}

// Frees empty nodes from `node` upwards, stopping at the root or a node still in use.
void PruneUp(KeyNode *node) {
    while (node != &g.root && IsEmpty(node)) {
        KeyNode *parent = node->parent;
        parent->child[WhichChild(node)] = nullptr;
        qfree(node);
        node = parent;
    }
}

// Frees a detached subtree in post-order (bit-0 child, bit-1 child, node), calling
// each entry's delete function. Detached: no delete function can reach these nodes.
struct FreeDetached {
    KeyNode *top;
    bool Enter(KeyNode *, int) { return true; }
    void Leave(KeyNode *n, int) {
        while (KeyEntry *e = n->entries) {
            n->entries = e->next;
            DropEntry(e);
        }
        if (n != top) n->parent->child[WhichChild(n)] = nullptr;
        qfree(n);
    }
};

void FreeSubtree(KeyNode *top) {
    if (!top) return;
    FreeDetached v{top};
    KeyWalk(top, v);
}

// Unlinks the entries of one type in pre-order (node, bit-0 subtree, bit-1 subtree)
// onto a private list, without callbacks, and frees the nodes below `top` that
// become empty.
struct CollectType {
    KeyNode *top;
    int type;
    KeyEntry *head = nullptr;
    KeyEntry **tail = &head;
    bool Enter(KeyNode *n, int) {
        if (KeyEntry *e = UnlinkEntry(n, type)) {
            *tail = e;
            tail = &e->next;
        }
        return true;
    }
    void Leave(KeyNode *n, int) {
        if (n == top || !IsEmpty(n)) return;
        n->parent->child[WhichChild(n)] = nullptr;
        qfree(n);
    }
};

}  // namespace

int KeyLen(const char *text) {
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

KeyEntry *KeyEntryAt(KeyNode *node, int type) {
    for (KeyEntry *e = node->entries; e; e = e->next)
        if (e->type == type) return e;
    return nullptr;
}

int KeyInsert(const void *keyBytes, int len, int type, void *value, KeyDeleter del,
              KeyEntry **entry) {
    const auto *key = static_cast<const unsigned char *>(keyBytes);
    if (entry) *entry = nullptr;
    KeyNode *node = &g.root;
    for (int d = 0, bits = len * 8; d < bits; ++d) {
        KeyNode *&next = node->child[BitAt(key, d)];
        if (!next) {
            next = qnew<KeyNode>();
            if (!next) return InsertNoMemory;
            next->parent = node;
        }
        node = next;
    }
    if (KeyEntry *e = KeyEntryAt(node, type)) {
        if (entry) *entry = e;
        return InsertExists;
    }
    auto *e = qnew<KeyEntry>();
    if (!e) return InsertNoMemory;
    e->type = type;
    e->value = value;
    e->del = del;
    e->next = node->entries;
    node->entries = e;
    if (entry) *entry = e;
    return InsertNew;
}

KeyNode *KeyNodeOf(const void *keyBytes, int len) {
    if (len <= 0) return nullptr;
    const auto *key = static_cast<const unsigned char *>(keyBytes);
    KeyNode *node = &g.root;
    for (int d = 0, bits = len * 8; d < bits && node; ++d) node = node->child[BitAt(key, d)];
    return node;
}

KeyEntry *KeySearch(const void *key, int len, int type) {
    KeyNode *node = KeyNodeOf(key, len);
    return node ? KeyEntryAt(node, type) : nullptr;
}

void KeyRemove(const void *keyBytes, int len, int type) {
    if (len <= 0) return;
    const auto *key = static_cast<const unsigned char *>(keyBytes);
    if (KeyNode *node = KeyNodeOf(key, len))
        if (KeyEntry *e = UnlinkEntry(node, type)) DropEntry(e);
    // The delete function may have removed other keys: find the path again from the
    // root rather than trusting any node seen before it ran. One walk down and one
    // climb prune every node of the path that is now empty.
    PruneUp(DeepestOnPath(key, len));
}

bool KeyRemoveTypeBelow(KeyNode *top, int type) {
    CollectType walk{top, type};
    KeyWalk(top, walk);
    bool empty = IsEmpty(top);
    // The delete functions, in walk order, once the tree is consistent again.
    while (KeyEntry *e = walk.head) {
        walk.head = e->next;
        DropEntry(e);
    }
    return empty;
}

void KeyFreeAll() {
    // The subtrees are detached before the sweep: a delete function that removes or
    // searches keys then finds an empty tree instead of nodes the sweep is freeing.
    // One that inserts keys again gets them swept by the next round.
    while (g.root.child[0] || g.root.child[1]) {
        KeyNode *zero = g.root.child[0];
        KeyNode *one = g.root.child[1];
        g.root.child[0] = g.root.child[1] = nullptr;
        FreeSubtree(zero);
        FreeSubtree(one);
    }
}

}  // namespace quorel
