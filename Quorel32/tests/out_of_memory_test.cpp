// Every allocation of these exports is made to fail in turn: each must report it as
// specified and leave nothing behind (LeakSanitizer checks the latter).
#include <gtest/gtest.h>

#include "Quorel32.h"
#include "base/alloc.h"
#include "base/engine.h"
#include "hand_formula.h"
#include "keys/keytree.h"
#include "registry/modules.h"

using namespace quorel;

namespace {

int deletes = 0;
void QUOREL_CALL CountDelete(void *) {
    ++deletes;
}
void QUOREL_CALL FreeValue(void *p) {
    ++deletes;
    qfree(p);
}
void QUOREL_CALL LockF() {}

struct Disarm {
    ~Disarm() { qallocFailAt(0); }
};

TEST(OutOfMemory, InitQuorelFailsCleanlyAtEveryAllocation) {
    Disarm d;
    qallocFailAt(1000000);  // only counts
    ASSERT_TRUE(InitQuorel());
    long needed = qallocCount();
    qallocFailAt(0);
    FreeQuorel();
    // Failures among the build buffers make InitQuorel fail with nothing kept; past
    // them every allocation belongs to the registration of built-ins, which never
    // makes it fail.
    long firstSuccess = 0;
    for (long n = 1; n <= needed + 1; ++n) {
        qallocFailAt(n);
        bool ok = InitQuorel();
        qallocFailAt(0);
        if (ok && !firstSuccess) firstSuccess = n;
        if (firstSuccess) {
            EXPECT_TRUE(ok) << n;
        } else {
            EXPECT_EQ(g.build.code, nullptr) << n;
            EXPECT_EQ(g.build.tokenKinds, nullptr) << n;
            EXPECT_EQ(g.root.child[0], nullptr) << n;
            EXPECT_EQ(g.root.child[1], nullptr) << n;
        }
        FreeQuorel();
    }
    EXPECT_GT(firstSuccess, 1);
    ASSERT_TRUE(InitQuorel());
    FreeQuorel();
}

TEST(OutOfMemory, InsertKeyReportsFiveAndKeepsTheValueTheHosts) {
    Disarm d;
    ASSERT_TRUE(InitQuorel());
    ASSERT_EQ(InsertKey("ab", 2, 256, nullptr, CountDelete, nullptr), 0);
    int results5 = 0;
    for (long n = 1;; ++n) {
        void *value = qalloc(8);
        qallocFailAt(n);
        int r = InsertKey("abcdef", 6, 256, value, FreeValue, nullptr);
        qallocFailAt(0);
        if (r == 0) break;
        ASSERT_EQ(r, 5) << n;
        ++results5;
        qfree(value);                 // still the host's
        DeleteKey("abcdef", 6, 256);  // prunes the path nodes the failure left
        ASSERT_EQ(KeyNodeOf("abc", 3), nullptr);
    }
    EXPECT_EQ(results5, 4 * 8 + 1);  // the nodes of "cdef" and the entry
    EXPECT_NE(SearchKey("abcdef", 6, 256), nullptr);
    deletes = 0;
    FreeQuorel();
    EXPECT_EQ(deletes, 2);
}

TEST(OutOfMemory, LockKeyTypeReportsTwoWhenTheLockCannotBeStored) {
    Disarm d;
    ASSERT_TRUE(InitQuorel());
    int results2 = 0;
    for (long n = 1;; ++n) {
        qallocFailAt(n);
        int r = LockKeyType(0x010203F4, CountDelete, LockF);
        qallocFailAt(0);
        if (r == 0) break;
        EXPECT_EQ(r, n == 1 ? 1 : 2) << n;  // the record itself, then its key
        results2 += r == 2;
        const unsigned char key[4] = {0xF4, 3, 2, 1};
        KeyRemove(key, 4, KeyTypeLock);  // prunes the path nodes the failure left
        ASSERT_EQ(KeyNodeOf(key, 1), nullptr);
    }
    EXPECT_EQ(results2, 4 * 8 + 1);
    EXPECT_EQ(InsertKey("k", 1, 0x010203F4, nullptr, nullptr, nullptr), 4);
    EXPECT_EQ(InsertKey("k", 1, 0x010203F4, nullptr, CountDelete, nullptr), 0);
    FreeQuorel();
}

TEST(OutOfMemory, LockModuleAndCountUpFailQuietly) {
    Disarm d;
    ASSERT_TRUE(InitQuorel());
    for (long n = 1;; ++n) {
        qallocFailAt(n);
        bool ok = LockModule(123, LockF, true);
        qallocFailAt(0);
        if (ok) break;
        EXPECT_EQ(FindModule(123), nullptr) << n;
    }
    EXPECT_EQ(FindModule(123)->lock, LockF);
    FreeQuorel();
}

TEST(Teardown, SweepsRecordsWhoseDeletersRemoveOtherKeys) {
    // A module record's delete function removes its import list; the sweep must not
    // free that list twice, nor touch what the record's deleter freed.
    ASSERT_TRUE(InitQuorel());
    ModuleCountUp(4);
    ASSERT_EQ(handmade::Attach(4, {"Four", "Five"}), 0);
    ASSERT_TRUE(LockModule(6, LockF, true));
    ASSERT_EQ(LockKeyType(777, CountDelete, LockF), 0);
    ASSERT_EQ(InsertKey("4x", 2, 777, nullptr, CountDelete, nullptr), 0);
    deletes = 0;
    FreeQuorel();
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(FindModule(4), nullptr);
    ASSERT_TRUE(InitQuorel());
    EXPECT_EQ(InsertKey("4x", 2, 777, nullptr, nullptr, nullptr), 0);  // the lock went too
    FreeQuorel();
}

}  // namespace
