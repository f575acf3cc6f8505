#include <dlfcn.h>
#include <gtest/gtest.h>

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

// Hosts bind the library by plain names: it exports exactly what the header declares,
// each by its plain name, and nothing of its C++ inside.
TEST(Lifecycle, SharedLibraryExportsExactlyTheHeader) {
    std::ifstream header(QUOREL_HEADER_PATH);
    std::stringstream text;
    text << header.rdbuf();
    std::string source = text.str();
    std::set<std::string> declared;
    std::regex decl(R"(QUOREL_API[^;(]*QUOREL_CALL\s+(\w+)\s*\()");
    for (std::sregex_iterator it(source.begin(), source.end(), decl), end; it != end; ++it)
        declared.insert((*it)[1]);
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
