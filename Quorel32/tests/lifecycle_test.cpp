#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "Quorel32.h"

TEST(Lifecycle, VersionTextOutlivesEveryCycle) {
    const char *v = QuorelVer();
    ASSERT_NE(v, nullptr);
    std::string text = v;
    EXPECT_FALSE(text.empty());
    ASSERT_TRUE(InitQuorel());
    FreeQuorel();
    FreeQuorel();
    EXPECT_EQ(v, QuorelVer());
    EXPECT_EQ(text, v);
}

namespace {

std::set<std::string> DeclaredExports() {
    std::ifstream header(QUOREL_HEADER_PATH);
    std::stringstream text;
    text << header.rdbuf();
    std::string source = text.str();
    std::set<std::string> declared;
    std::regex decl(R"(QUOREL_API[^;(]*QUOREL_CALL\s+(\w+)\s*\()");
    for (std::sregex_iterator it(source.begin(), source.end(), decl), end; it != end; ++it)
        declared.insert((*it)[1]);
    return declared;
}

}  // namespace

// Hosts bind the library by plain names: it exports exactly what the header declares,
// each by its plain name, and nothing of its C++ inside.
#ifdef _WIN32
TEST(Lifecycle, SharedLibraryExportsExactlyTheHeader) {
    std::set<std::string> declared = DeclaredExports();
    ASSERT_GT(declared.size(), 20u);
    HMODULE lib = LoadLibraryA(QUOREL_LIB_PATH);
    ASSERT_NE(lib, nullptr) << GetLastError();
    for (const std::string &name : declared)
        EXPECT_NE(GetProcAddress(lib, name.c_str()), nullptr) << name;
    auto ver = reinterpret_cast<const char *(QUOREL_CALL *)()>(
        reinterpret_cast<void *>(GetProcAddress(lib, "QuorelVer")));
    ASSERT_NE(ver, nullptr);
    EXPECT_NE(std::string(ver()).find("Quorel32.dll"), std::string::npos);
    // The 32-bit stdcall decoration does not reach the export table.
    EXPECT_EQ(GetProcAddress(lib, "RealCal@8"), nullptr);
    FreeLibrary(lib);
}
#else
TEST(Lifecycle, SharedLibraryExportsExactlyTheHeader) {
    std::set<std::string> declared = DeclaredExports();
    ASSERT_GT(declared.size(), 20u);

    std::set<std::string> exported;
    FILE *nm = popen("nm -D --defined-only '" QUOREL_LIB_PATH "'", "r");
    ASSERT_NE(nm, nullptr);
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        char type = 0, name[400] = "";
        if (std::sscanf(line, "%*s %c %399s", &type, name) == 2 &&
            (type == 'T' || type == 'W' || type == 'D' || type == 'B'))
            exported.insert(name);
    }
    ASSERT_EQ(pclose(nm), 0);
    EXPECT_EQ(exported, declared);

    void *lib = dlopen(QUOREL_LIB_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const std::string &name : declared) EXPECT_NE(dlsym(lib, name.c_str()), nullptr) << name;
    dlclose(lib);
}
#endif
