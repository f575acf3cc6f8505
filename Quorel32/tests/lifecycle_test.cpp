#include <dlfcn.h>
#include <gtest/gtest.h>

#include "Quorel32.h"

TEST(Lifecycle, VersionIsStableAndNamesTheLibrary) {
    const char *v = QuorelVer();
    EXPECT_NE(std::string(v).find("Quorel32"), std::string::npos);
    EXPECT_NE(std::string(v).find("8.0"), std::string::npos);
    ASSERT_TRUE(InitQuorel());
    EXPECT_EQ(v, QuorelVer());
    FreeQuorel();
    FreeQuorel();
    EXPECT_EQ(v, QuorelVer());
}

TEST(Lifecycle, SharedLibraryExportsByPlainName) {
    void *lib = dlopen(QUOREL_LIB_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto ver = reinterpret_cast<const char *(*)()>(dlsym(lib, "QuorelVer"));
    ASSERT_NE(ver, nullptr);
    EXPECT_NE(std::string(ver()).find("8.0"), std::string::npos);
    // Internal C++ symbols stay hidden.
    EXPECT_EQ(dlsym(lib, "_ZN6quorel9KeyInsertEPKviiPvPFvS2_EPPNS_8KeyEntryE"), nullptr);
    dlclose(lib);
}
