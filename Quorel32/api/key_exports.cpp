// The key tree as hosts see it: reserved types refused, type locks honoured on insert,
// private types removable only by the holder of their delete function.
#include <cstring>

#include "../base/alloc.h"
#include "../base/engine.h"
#include "../keys/keytree.h"

namespace quorel {

namespace {

// Value of a KeyTypeLock entry.
struct TypeLock {
    KeyDeleter del;
    LockFn lock;
};

void QUOREL_CALL FreeTypeLock(void *p) {
    qfree(p);
}

// Key of a type's lock entry: the type's four bytes, least significant first.
void LockKey(int type, unsigned char out[4]) {
    auto u = static_cast<unsigned int>(type);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(u >> (8 * i));
}

TypeLock *FindTypeLock(int type) {
    unsigned char key[4];
    LockKey(type, key);
    KeyEntry *e = KeySearch(key, 4, KeyTypeLock);
    return e ? static_cast<TypeLock *>(e->value) : nullptr;
}

// --- enumeration -----------------------------------------------------------------

// Sets the bit of edge depth d when the buffer byte is writable.
void SetPathBit(EnumState &s, int d) {
    if (d / 8 + 1 < s.size) s.buffer[d / 8] |= static_cast<char>(0x80 >> (d % 8));
}

// Clears the bit of depth d and all less significant bits of its byte.
void ClearPathBitsFrom(EnumState &s, int d) {
    if (d / 8 + 1 < s.size) {
        unsigned keep = ~((0x100u >> (d % 8)) - 1u) & 0xFFu;
        s.buffer[d / 8] = static_cast<char>(static_cast<unsigned char>(s.buffer[d / 8]) & keep);
    }
}

void EnterNode(EnumState &s, KeyNode *n, int d) {
    if (n->parent->child[1] == n) SetPathBit(s, d);
    if (d % 8 != 7) return;
    KeyEntry *e = KeyEntryAt(n, s.type);
    if (!e) return;
    int len = d / 8 + 1;
    if (len > s.size - 1) len = s.size - 1;
    s.buffer[len] = 0;
    s.goOn = s.callback(s.buffer, len, e->value);
}

// Depth-first walk below the root in key order, keeping the current path in the
// buffer. The callback must not change the tree, so following parent links is safe.
// Walk depths count from the root; path depths from its children.
struct EnumVisit {
    EnumState &s;
    bool Enter(KeyNode *n, int depth) {
        if (depth == 0) return true;
        s.depth = depth - 1;
        EnterNode(s, n, s.depth);
        return s.goOn;
    }
    void Leave(KeyNode *, int depth) {
        if (depth == 0) return;
        s.depth = depth - 1;
        ClearPathBitsFrom(s, depth);
    }
};

void EnumWalk(EnumState &s) {
    s.depth = 0;
    EnumVisit v{s};
    KeyWalk(&g.root, v);
}

bool QUOREL_CALL NoteFound(char *, int, void *) {
    return false;
}

// Whether any key of `type` exists, by the enumeration walk with a two-byte buffer.
bool AnyKeyOfType(int type) {
    char buffer[2];
    EnumKeyTypeValue(type, buffer, 2, NoteFound);
    return !g.enumState.goOn;
}

int Lock(int type, KeyDeleter del, LockFn lock) {
    if (FindTypeLock(type) || AnyKeyOfType(type)) return QUOREL_LOCK_REFUSED;
    auto *rec = qnew<TypeLock>();
    if (!rec) return QUOREL_LOCK_REFUSED;  // only a failed insert reports out of memory
    rec->del = del;
    rec->lock = lock;
    unsigned char key[4];
    LockKey(type, key);
    int r = KeyInsert(key, 4, KeyTypeLock, rec, FreeTypeLock, nullptr);
    if (r == InsertNew) return QUOREL_LOCK_DONE;
    qfree(rec);
    return r == InsertNoMemory ? QUOREL_LOCK_NO_MEMORY : QUOREL_LOCK_REFUSED;
}

int Unlock(int type, LockFn lock) {
    TypeLock *rec = FindTypeLock(type);
    if (!rec) return QUOREL_LOCK_DONE;
    if (rec->lock != lock) return QUOREL_LOCK_REFUSED;
    KeyRemoveTypeBelow(&g.root, type);
    unsigned char key[4];
    LockKey(type, key);
    KeyRemove(key, 4, KeyTypeLock);
    return QUOREL_LOCK_DONE;
}

}  // namespace

}  // namespace quorel

using namespace quorel;

extern "C" {

QUOREL_API int QUOREL_CALL InsertKey(const char *key, int len, int keyType, void *value,
                                     KeyDeleter del, void **valueInOut) {
    if (IsReservedKeyType(keyType)) return QUOREL_KEY_RESERVED_TYPE;
    if (TypeLock *lock = FindTypeLock(keyType); lock && lock->del != del)
        return QUOREL_KEY_TYPE_LOCKED;
    if (len <= 0 || !key) return QUOREL_KEY_BAD_LENGTH;
    KeyEntry *e = nullptr;
    int r = KeyInsert(key, len, keyType, value, del, &e);
    if (r == InsertNew) return QUOREL_KEY_INSERTED;
    if (r == InsertNoMemory) return QUOREL_KEY_NO_MEMORY;
    bool keepExisting =
        !valueInOut || !*valueInOut || (keyType <= QUOREL_KEY_PRIVATE && e->del != del);
    if (keepExisting) {
        if (valueInOut) *valueInOut = e->value;
        return QUOREL_KEY_EXISTS;
    }
    // Take the old value out of the entry before its delete function runs, so that a
    // delete function that looks the key up again never sees a value it has freed.
    void *old = e->value;
    KeyDeleter oldDel = e->del;
    e->value = value;
    e->del = del;
    if (oldDel) oldDel(old);
    return QUOREL_KEY_REPLACED;
}

QUOREL_API void *QUOREL_CALL SearchKey(const char *key, int len, int keyType) {
    if (IsReservedKeyType(keyType) || len <= 0 || !key) return nullptr;
    KeyEntry *e = KeySearch(key, len, keyType);
    return e ? e->value : nullptr;
}

QUOREL_API void QUOREL_CALL DeleteKey(const char *key, int len, int keyType) {
    if (keyType < QUOREL_KEY_HOST || len <= 0 || !key) return;
    KeyRemove(key, len, keyType);
}

QUOREL_API void QUOREL_CALL DeletePrivateKey(const char *key, int len, int keyType,
                                             KeyDeleter del) {
    if (keyType > QUOREL_KEY_PRIVATE || len <= 0 || !key) return;
    KeyEntry *e = KeySearch(key, len, keyType);
    if (e && e->del == del) KeyRemove(key, len, keyType);
}

QUOREL_API void QUOREL_CALL EnumKeyTypeValue(int keyType, char *buffer, int size,
                                             QuorelEnumCallback callback) {
    if (size < 1 || !buffer) return;
    EnumState &s = g.enumState;
    s.type = keyType;
    s.buffer = buffer;
    s.size = size;
    s.callback = callback;
    s.goOn = true;
    s.depth = 0;
    std::memset(buffer, 0, static_cast<size_t>(size));
    if (IsReservedKeyType(keyType) || !callback) return;
    // The walk runs on its own copy: a callback that (against the rules) starts another
    // enumeration then cannot redirect this one to a buffer that is not ours.
    EnumState walk = s;
    // The walk stands in the tree while the callback runs: FreeQuorel or InitQuorel
    // from the callback would free the nodes under it, so they are refused meanwhile.
    BusyScope busy;
    EnumWalk(walk);
    s.goOn = walk.goOn;
    s.depth = walk.depth;
}

QUOREL_API int QUOREL_CALL LockKeyType(int keyType, KeyDeleter del, LockFn lock) {
    if (lock) lock();
    if (IsReservedKeyType(keyType)) return QUOREL_LOCK_REFUSED;
    return del ? Lock(keyType, del, lock) : Unlock(keyType, lock);
}

}  // extern "C"
