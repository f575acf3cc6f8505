#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

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

#ifdef _WIN32
TEST(Lifecycle, SharedLibraryExportsByPlainName) {
    HMODULE lib = LoadLibraryA(QUOREL_LIB_PATH);
    ASSERT_NE(lib, nullptr) << GetLastError();
    auto ver = reinterpret_cast<const char *(QUOREL_CALL *)()>(
        reinterpret_cast<void *>(GetProcAddress(lib, "QuorelVer")));
    ASSERT_NE(ver, nullptr);
    EXPECT_NE(std::string(ver()).find("Quorel32.dll"), std::string::npos);
    // The 32-bit stdcall decoration does not reach the export table.
    EXPECT_EQ(GetProcAddress(lib, "RealCal@8"), nullptr);
    EXPECT_EQ(GetProcAddress(lib, "_ZN6quorel9KeyInsertEPKviiPvPFvS2_EPPNS_8KeyEntryE"), nullptr);
    FreeLibrary(lib);
}
#else
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
#endif
