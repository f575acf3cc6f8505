#include "keytree.h"

#include <cstring>

#include "../api/alloc.h"
#include "../api/engine.h"

namespace quorel {

namespace {

inline int BitAt(const unsigned char *key, int depth) {
    return (key[depth >> 3] >> (7 - (depth & 7))) & 1;
}

inline bool IsEmpty(const KeyNode *n) { return !n->entries && !n->child[0] && !n->child[1]; }

KeyEntry *FindEntry(KeyNode *node, int type) {
    for (KeyEntry *e = node->entries; e; e = e->next)
        if (e->type == type) return e;
    return nullptr;
}

// Unlinks the entry of `type` from `node`, calls its delete function, frees it.
void RemoveEntry(KeyNode *node, int type) {
    for (KeyEntry **link = &node->entries; *link; link = &(*link)->next) {
        KeyEntry *e = *link;
        if (e->type != type) continue;
        *link = e->next;
        if (e->del) e->del(e->value);
        qfree(e);
        return;
    }
}

// One pruning step: frees the deepest-first empty node on the key's path, walking from
// the root each time, so a delete function that removed other keys cannot leave us on
// a freed node. Returns false when nothing was freed.
bool PruneOnce(const unsigned char *key, int len) {
    int bits = len * 8;
    KeyNode *parent = nullptr;
    KeyNode *node = &g.root;
    int lastBit = 0;
    int d = 0;
    for (; d < bits; ++d) {
        KeyNode *next = node->child[BitAt(key, d)];
        if (!next) break;
        parent = node;
        lastBit = BitAt(key, d);
        node = next;
    }
    // `node` is the key node (whole path present) or the last node before a gap.
    if (node == &g.root || !IsEmpty(node)) return false;
    parent->child[lastBit] = nullptr;
    qfree(node);
    return true;
}

void FreeSubtree(KeyNode *node) {
    if (!node) return;
    FreeSubtree(node->child[0]);
    FreeSubtree(node->child[1]);
    // Entries from the head; a delete function may remove keys elsewhere, but the
    // sweep only ever holds this node, whose children are already gone.
    while (KeyEntry *e = node->entries) {
        node->entries = e->next;
        if (e->del) e->del(e->value);
        qfree(e);
    }
    qfree(node);
}

}  // namespace

int KeyLen(const char *text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

int KeyInsert(const void *keyBytes, int len, int type, void *value, KeyDeleter del,
              KeyEntry **entry) {
    const auto *key = static_cast<const unsigned char *>(keyBytes);
    KeyNode *node = &g.root;
    for (int d = 0, bits = len * 8; d < bits; ++d) {
        KeyNode *&next = node->child[BitAt(key, d)];
        if (!next) {
            next = qnew<KeyNode>();
            if (!next) {
                if (entry) *entry = nullptr;
                return InsertNoMemory;
            }
        }
        node = next;
    }
    if (KeyEntry *e = FindEntry(node, type)) {
        if (entry) *entry = e;
        return InsertExists;
    }
    auto *e = qnew<KeyEntry>();
    if (!e) {
        if (entry) *entry = nullptr;
        return InsertNoMemory;
    }
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
    return node ? FindEntry(node, type) : nullptr;
}

void KeyRemove(const void *keyBytes, int len, int type) {
    if (len <= 0) return;
    const auto *key = static_cast<const unsigned char *>(keyBytes);
    if (KeyNode *node = KeyNodeOf(key, len)) RemoveEntry(node, type);
    while (PruneOnce(key, len)) {
    }
}

bool KeyRemoveTypeBelow(KeyNode *node, int type) {
    RemoveEntry(node, type);
    for (KeyNode *&child : node->child) {
        if (child && KeyRemoveTypeBelow(child, type)) {
            qfree(child);
            child = nullptr;
        }
    }
    return IsEmpty(node);
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
