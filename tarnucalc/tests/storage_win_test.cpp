// Files and locations through the Windows calls: wide names, replacement in one step.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "files.h"
#include "locations.h"
#include "temp_dir.h"
#include "wide_text.h"

using namespace tarnu;

TEST(WindowsFiles, ChineseNamesAreTheNamesOnDisk) {
    TempDir dir;
    std::string folder = dir.file("公式");
    ASSERT_TRUE(writeTextFile(folder + "\\计算记录.txt", "1+2=3\r\n"));
    // Whatever the system's code page, the file carries the Chinese name itself.
    EXPECT_TRUE(std::filesystem::exists(fsPath(dir.path()) / L"公式" / L"计算记录.txt"));
    TextFile f = readTextFile(folder + "/计算记录.txt");
    EXPECT_EQ(f.status, ReadStatus::Ok);
    EXPECT_EQ(f.text, "1+2=3\r\n");
    EXPECT_TRUE(fileExists(folder + "\\计算记录.txt"));
    EXPECT_FALSE(fileExists(folder));
    EXPECT_EQ(readTextFile(folder + "\\没有.txt").status, ReadStatus::Missing);
    EXPECT_EQ(readTextFile(dir.file("无目录\\x.txt")).status, ReadStatus::Missing);
}

TEST(WindowsFiles, ReplaceLeavesNoTemporariesAndSparesDirectories) {
    TempDir dir;
    std::string path = dir.file("配置.ini");
    for (const char *text : {"first", "second, longer", "3"}) ASSERT_TRUE(replaceFile(path, text));
    EXPECT_EQ(slurp(path), "3");
    int entries = 0;
    for (auto &e : std::filesystem::directory_iterator(fsPath(dir.path()))) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
    std::filesystem::create_directory(fsPath(dir.file("目录")));
    EXPECT_EQ(readTextFile(dir.file("目录")).status, ReadStatus::Unreadable);
    EXPECT_FALSE(replaceFile(dir.file("目录"), "x"));
    EXPECT_TRUE(std::filesystem::is_directory(fsPath(dir.file("目录"))));
    // A file where a folder of the path should be: nothing is written.
    spit(dir.file("plain"), "x");
    EXPECT_FALSE(replaceFile(dir.file("plain\\inside.txt"), "y"));
    EXPECT_EQ(slurp(dir.file("plain")), "x");
}

TEST(WindowsFiles, ReadOnlyFileIsNotReplaced) {
    TempDir dir;
    std::string path = dir.file("h.txt");
    spit(path, "kept");
    SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(replaceFile(path, "lost"));
    SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(slurp(path), "kept");
}

TEST(WindowsLocations, BesideTheProgramOrInAppData) {
    TempDir dir;
    Locations here = resolveLocations(dir.path(), "C:\\work");
    EXPECT_EQ(here.settingsFile, dir.path() + "\\配置.ini");
    EXPECT_EQ(here.formulaDir, "C:\\work\\公式");
    EXPECT_EQ(here.skinDir, "C:\\work\\skin");
    _wputenv_s(L"APPDATA", widen(dir.file("漫游")).c_str());
    Locations away = resolveLocations(dir.file("没有"), "C:\\w");
    EXPECT_EQ(away.historyFile, dir.file("漫游") + "\\tarnucalc\\计算记录.txt");
    EXPECT_FALSE(programDirectory().empty());
    EXPECT_TRUE(std::filesystem::is_directory(fsPath(programDirectory())));
}

TEST(WindowsText, WideNamesRoundTrip) {
    for (std::string s : {"", "ascii", "配置.ini", "😀 outside the basic plane"})
        EXPECT_EQ(narrow(widen(s)), s);
    EXPECT_EQ(widen("\xFF"), L"\xFF");  // bytes that are no UTF-8 keep a name of their own
}
#endif
