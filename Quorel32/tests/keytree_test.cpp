#include "keys/keytree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Quorel32.h"
#include "base/alloc.h"
#include "base/engine.h"

using quorel::g;

namespace {

std::vector<std::pair<void *, int>> deleted;  // (value, deleter id)
void QUOREL_CALL DelA(void *v) {
    deleted.push_back({v, 1});
}
void QUOREL_CALL DelB(void *v) {
    deleted.push_back({v, 2});
}
int lockCalls = 0;
void QUOREL_CALL LockF() {
    ++lockCalls;
}
void QUOREL_CALL LockG() {
    ++lockCalls;
}

void *V(long n) {
    return reinterpret_cast<void *>(n);
}

int Insert(const std::string &k, int type, void *value, KeyDeleter del, void **io = nullptr) {
    return InsertKey(k.data(), static_cast<int>(k.size()), type, value, del, io);
}
void *Search(const std::string &k, int type) {
    return SearchKey(k.data(), static_cast<int>(k.size()), type);
}

class KeyTree : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InitQuorel());
        deleted.clear();
        lockCalls = 0;
    }
    void TearDown() override { FreeQuorel(); }
};

TEST_F(KeyTree, PrefixKeysAndTypesAreIndependent) {
    EXPECT_EQ(Insert("ab", 256, V(1), DelA), 0);
    EXPECT_EQ(Insert("abc", 256, V(2), DelA), 0);
    EXPECT_EQ(Insert("ab", 257, V(3), DelA), 0);
    EXPECT_EQ(Insert("ab", -300, V(4), DelA), 0);
    EXPECT_EQ(Search("ab", 256), V(1));
    EXPECT_EQ(Search("ab", 257), V(3));
    EXPECT_EQ(Search("ab", -300), V(4));
    EXPECT_EQ(Search("a", 256), nullptr);
    EXPECT_EQ(Search("abcd", 256), nullptr);
    DeleteKey("abc", 3, 256);
    EXPECT_EQ(Search("ab", 256), V(1));
    EXPECT_EQ(Insert("abc", 256, V(2), DelA), 0);
    DeleteKey("ab", 2, 256);
    EXPECT_EQ(Search("abc", 256), V(2));
    EXPECT_EQ(Search("ab", 257), V(3));
    ASSERT_EQ(deleted.size(), 2u);
    EXPECT_EQ(deleted[0].first, V(2));
    EXPECT_EQ(deleted[1].first, V(1));
}

TEST_F(KeyTree, KeysAreRawBytesWithNulAndHighBytes) {
    const char k1[] = {'a', 0, 'b'};
    const char k2[] = {'a', 0, 'c'};
    EXPECT_EQ(InsertKey(k1, 3, 256, V(1), nullptr, nullptr), 0);
    EXPECT_EQ(InsertKey(k2, 3, 256, V(2), nullptr, nullptr), 0);
    EXPECT_EQ(SearchKey(k1, 3, 256), V(1));
    EXPECT_EQ(SearchKey(k2, 3, 256), V(2));
    EXPECT_EQ(SearchKey("a", 1, 256), nullptr);
    EXPECT_EQ(Search("\xff\x80", 256), nullptr);
    EXPECT_EQ(Insert("\xff\x80", 256, V(3), nullptr), 0);
    EXPECT_EQ(Search("\xff\x80", 256), V(3));
    EXPECT_EQ(Search("A\0b", 256), nullptr);  // case-sensitive, exact
}

TEST_F(KeyTree, InsertExistingKeyResults) {
    ASSERT_EQ(Insert("k", 256, V(1), DelA), 0);
    void *io = nullptr;
    EXPECT_EQ(Insert("k", 256, V(2), DelB, &io), 1);  // null in/out: report, keep
    EXPECT_EQ(io, V(1));
    EXPECT_TRUE(deleted.empty());
    EXPECT_EQ(Insert("k", 256, V(2), DelB, nullptr), 1);
    io = V(99);
    EXPECT_EQ(Insert("k", 256, V(2), DelB, &io), 2);  // replace
    EXPECT_EQ(io, V(99));
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0], std::make_pair(V(1), 1));
    EXPECT_EQ(Search("k", 256), V(2));
    DeleteKey("k", 1, 256);
    EXPECT_EQ(deleted.back(), std::make_pair(V(2), 2));  // the new deleter went along
}

TEST_F(KeyTree, PrivateKeysBelongToTheirDeleter) {
    ASSERT_EQ(Insert("p", -300, V(1), DelA), 0);
    void *io = V(99);
    EXPECT_EQ(Insert("p", -300, V(2), DelB, &io), 1);
    EXPECT_EQ(io, V(1));
    io = V(99);
    EXPECT_EQ(Insert("p", -300, V(3), DelA, &io), 2);
    EXPECT_EQ(deleted.size(), 1u);
    DeleteKey("p", 1, -300);
    DeletePrivateKey("p", 1, -300, DelB);
    EXPECT_EQ(Search("p", -300), V(3));
    DeletePrivateKey("p", 1, 300, DelA);  // only private types
    EXPECT_EQ(Search("p", -300), V(3));
    DeletePrivateKey("p", 1, -300, DelA);
    EXPECT_EQ(Search("p", -300), nullptr);
    EXPECT_EQ(deleted.size(), 2u);
}

TEST_F(KeyTree, BadArgumentsChangeNothing) {
    for (int type : {255, 0, -255, 1, 14}) {
        EXPECT_EQ(Insert("\xf0", type, V(1), DelA), 3);
        EXPECT_EQ(Search("\xf0", type), nullptr);
        DeleteKey("\xf0", 1, type);
    }
    EXPECT_EQ(InsertKey("\xf0", 0, 256, V(1), DelA, nullptr), 6);
    EXPECT_EQ(InsertKey("\xf0", -1, 256, V(1), DelA, nullptr), 6);
    EXPECT_EQ(SearchKey("\xf0", 0, 256), nullptr);
    DeleteKey("\xf0", 0, 256);
    DeletePrivateKey("\xf0", 0, -256, DelA);
    EXPECT_EQ(g.root.child[1], nullptr);
    EXPECT_TRUE(deleted.empty());
}

TEST_F(KeyTree, RemovingTheOnlyLongKeyLeavesNoNodes) {
    std::string longKey(200, '\xda');
    ASSERT_EQ(Insert(longKey, 256, V(1), nullptr), 0);
    ASSERT_EQ(Insert(longKey.substr(0, 100), 257, V(2), nullptr), 0);
    DeleteKey(longKey.data(), 200, 256);
    EXPECT_NE(quorel::KeyNodeOf(longKey.data(), 100), nullptr);
    EXPECT_EQ(quorel::KeyNodeOf(longKey.data(), 101), nullptr);
    DeleteKey(longKey.data(), 100, 257);
    EXPECT_EQ(g.root.child[1], nullptr);
    DeleteKey(longKey.data(), 200, 256);  // absent: nothing
}

// A delete function that removes another key, as module records do.
std::string chainedKey;
void QUOREL_CALL DelRemovesOther(void *) {
    DeleteKey(chainedKey.data(), static_cast<int>(chainedKey.size()), 256);
}

TEST_F(KeyTree, DeleterMayRemoveKeysOnTheSamePath) {
    chainedKey =
        "\xe1"
        "bcd";
    ASSERT_EQ(Insert("\xe1"
                     "bcd",
                     256, V(1), DelA),
              0);
    ASSERT_EQ(Insert("\xe1"
                     "bc",
                     256, V(2), DelRemovesOther),
              0);
    DeleteKey(
        "\xe1"
        "bc",
        3, 256);
    EXPECT_EQ(Search("\xe1"
                     "bcd",
                     256),
              nullptr);
    EXPECT_EQ(g.root.child[1], nullptr);
}

TEST_F(KeyTree, FailedInsertLeavesOnlyEmptyPathNodesThatRemovePrunes) {
    quorel::qallocFailAt(5);  // fails inside the path
    EXPECT_EQ(Insert("\xf1", 256, V(1), DelA), 5);
    quorel::qallocFailAt(0);
    EXPECT_NE(g.root.child[1], nullptr);
    DeleteKey("\xf1", 1, 256);
    EXPECT_EQ(g.root.child[1], nullptr);
    EXPECT_TRUE(deleted.empty());
}

// --- enumeration ---------------------------------------------------------------------

std::vector<std::string> seen;
int stopAfter = 1000;
bool QUOREL_CALL Collect(char *key, int len, void *value) {
    EXPECT_EQ(key[len], 0);
    seen.push_back(std::string(key, len) + "=" +
                   std::to_string(reinterpret_cast<std::intptr_t>(value)));
    return static_cast<int>(seen.size()) < stopAfter;
}

class KeyEnum : public KeyTree {
  protected:
    void SetUp() override {
        KeyTree::SetUp();
        seen.clear();
        stopAfter = 1000;
        Insert("b", 300, V(1), nullptr);
        Insert("a", 300, V(2), nullptr);
        Insert("ab", 300, V(3), nullptr);
        Insert("\x80", 300, V(4), nullptr);
        Insert("ac", 301, V(5), nullptr);
    }
};

TEST_F(KeyEnum, AscendingByteOrder) {
    char buf[16];
    EnumKeyTypeValue(300, buf, sizeof buf, Collect);
    EXPECT_EQ(seen, (std::vector<std::string>{"a=2", "ab=3", "b=1", "\x80=4"}));
}

TEST_F(KeyEnum, ShortBufferCutsKeys) {
    char buf[2];
    EnumKeyTypeValue(300, buf, 2, Collect);
    EXPECT_EQ(seen, (std::vector<std::string>{"a=2", "a=3", "b=1", "\x80=4"}));
    char one[1] = {'z'};
    EnumKeyTypeValue(300, one, 1, Collect);  // every key cut to nothing
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[4], "=2");
}

TEST_F(KeyEnum, StopsWhenTheCallbackSaysSo) {
    char buf[16];
    stopAfter = 1;
    EnumKeyTypeValue(300, buf, sizeof buf, Collect);
    EXPECT_EQ(seen, (std::vector<std::string>{"a=2"}));
}

TEST_F(KeyEnum, BufferRules) {
    char buf[4] = {'x', 'y', 'z', 'w'};
    EnumKeyTypeValue(300, buf, 0, Collect);
    EXPECT_EQ(std::string(buf, 4), "xyzw");
    EnumKeyTypeValue(100, buf, 4, Collect);
    EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
    EXPECT_TRUE(seen.empty());
    EnumKeyTypeValue(302, buf, 4, Collect);
    EXPECT_TRUE(seen.empty());
}

TEST_F(KeyEnum, DeepKeysAreWalkedWithoutRecursion) {
    std::string deep(20000, 'q');
    ASSERT_EQ(Insert(deep, 300, V(9), nullptr), 0);
    std::vector<char> buf(deep.size() + 1);
    EnumKeyTypeValue(300, buf.data(), static_cast<int>(buf.size()), Collect);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[3], deep + "=9");
}

// --- type locks ----------------------------------------------------------------------

TEST_F(KeyTree, LockKeyTypeLifecycle) {
    ASSERT_EQ(Insert("k", 400, V(1), DelA), 0);
    EXPECT_EQ(LockKeyType(400, DelB, LockF), 1);  // keys exist
    EXPECT_EQ(lockCalls, 1);                      // called before any check
    EXPECT_EQ(LockKeyType(200, DelB, LockF), 1);
    EXPECT_EQ(lockCalls, 2);

    ASSERT_EQ(LockKeyType(401, DelB, LockF), 0);
    EXPECT_EQ(LockKeyType(401, DelB, LockF), 1);  // already locked
    EXPECT_EQ(Insert("x", 401, V(2), DelA), 4);
    EXPECT_EQ(Insert("x", 401, V(2), nullptr), 4);
    EXPECT_EQ(Insert("x", 401, V(2), DelB), 0);
    EXPECT_EQ(Insert("y", 401, V(3), DelB), 0);
    EXPECT_EQ(Insert("y", 400, V(3), DelA), 0);  // other types are free
    unsigned char lockKey[4] = {0x91, 0x01, 0, 0};
    EXPECT_NE(quorel::KeySearch(lockKey, 4, quorel::KeyTypeLock), nullptr);

    EXPECT_EQ(LockKeyType(401, nullptr, LockG), 1);  // wrong lock function
    EXPECT_EQ(Search("x", 401), V(2));
    deleted.clear();
    EXPECT_EQ(LockKeyType(401, nullptr, LockF), 0);
    EXPECT_EQ(Search("x", 401), nullptr);
    EXPECT_EQ(Search("y", 401), nullptr);
    EXPECT_EQ(Search("y", 400), V(3));
    EXPECT_EQ(deleted.size(), 2u);
    EXPECT_EQ(quorel::KeySearch(lockKey, 4, quorel::KeyTypeLock), nullptr);
    EXPECT_EQ(LockKeyType(401, nullptr, LockG), 0);  // no lock: nothing to undo
    EXPECT_EQ(Insert("x", 401, V(2), DelA), 0);
}

TEST_F(KeyTree, UnlockSurvivesDeletersThatRemoveKeys) {
    ASSERT_EQ(LockKeyType(500, DelRemovesOther, LockF), 0);
    chainedKey =
        "\xe1"
        "b";
    ASSERT_EQ(Insert("\xe1"
                     "b",
                     256, V(1), DelA),
              0);
    ASSERT_EQ(Insert("\xe1", 500, V(2), DelRemovesOther), 0);
    ASSERT_EQ(Insert("\xe1"
                     "bc",
                     500, V(3), DelRemovesOther),
              0);
    EXPECT_EQ(LockKeyType(500, nullptr, LockF), 0);
    EXPECT_EQ(Search("\xe1"
                     "b",
                     256),
              nullptr);
    EXPECT_EQ(g.root.child[1], nullptr);
}

TEST_F(KeyTree, FreeQuorelCallsEachDeleterOnce) {
    Insert("k", 256, V(1), DelA);
    Insert("k", -256, V(2), DelB);
    Insert(std::string(3000, 'z'), 256, V(3), DelA);
    FreeQuorel();
    EXPECT_EQ(deleted.size(), 3u);
    EXPECT_EQ(Search("k", 256), nullptr);
    FreeQuorel();
    EXPECT_EQ(deleted.size(), 3u);
}

}  // namespace

namespace {

int nestedCalls = 0;
bool QUOREL_CALL Inner(char *, int, void *) {
    ++nestedCalls;
    return true;
}
bool QUOREL_CALL StartsAnother(char *key, int len, void *) {
    char big[64];
    EnumKeyTypeValue(300, big, sizeof big, Inner);
    seen.push_back(std::string(key, len));
    return true;
}

TEST_F(KeyEnum, NestedEnumerationDoesNotDisturbTheOuterOne) {
    char buf[2];
    nestedCalls = 0;
    EnumKeyTypeValue(300, buf, 2, StartsAnother);
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "a", "b", "\x80"}));
    EXPECT_EQ(nestedCalls, 16);
}

}  // namespace
