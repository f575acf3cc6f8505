// Profile, settings and text files through real files.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "files.h"
#include "locations.h"
#include "profile.h"
#include "settings.h"
#include "temp_dir.h"

using namespace tarnu;

namespace {

// "真" and "保留位数" as GB18030 bytes.
const std::string kZhenGb = "\xD5\xE6";
const std::string kDigitsGb = "\xB1\xA3\xC1\xF4\xCE\xBB\xCA\xFD";

}  // namespace

TEST(Profile, KeepsLinesAndOrderAndAppendsInPlace) {
    TempDir dir;
    std::string path = dir.file("a.ini");
    spit(path, "; note\r\n[one]\r\nx=1\r\nY = 2 \r\n\r\n[two]\r\nz=3\r\n");
    ProfileFile ini(path);
    EXPECT_EQ(ini.getText("ONE", "y"), "2");
    ASSERT_TRUE(ini.set("one", "x", "10"));
    ASSERT_TRUE(ini.set("one", "w", "new"));
    ASSERT_TRUE(ini.set("three", "k", "v"));
    EXPECT_EQ(
        slurp(path),
        "; note\r\n[one]\r\nx=10\r\nY = 2 \r\nw=new\r\n\r\n[two]\r\nz=3\r\n[three]\r\nk=v\r\n");
    EXPECT_EQ(ini.getText("two", "z"), "3");
    EXPECT_FALSE(ini.get("two", "missing"));
    EXPECT_FALSE(ini.get("nowhere", "z"));
}

TEST(Profile, CreatesTheFileAndItsDirectory) {
    TempDir dir;
    ProfileFile ini(dir.file("sub/dir/b.ini"));
    EXPECT_FALSE(ini.get("s", "k"));
    ASSERT_TRUE(ini.set("s", "k", "v"));
    EXPECT_EQ(slurp(ini.path()), "[s]\r\nk=v\r\n");
}

TEST(Profile, ValueFormsAndLimits) {
    TempDir dir;
    ProfileFile ini(dir.file("c.ini"));
    spit(ini.path(), "[s]\nq=\"quoted\"\nlong=" + std::string(20000, 'a') + "\nlast=no newline");
    EXPECT_EQ(ini.getText("s", "q"), "quoted");
    EXPECT_EQ(ini.getText("s", "long").size(), kProfileValueLimit - 1);
    EXPECT_EQ(ini.getText("s", "last"), "no newline");
    // Line breaks in a value would forge other keys: refused, file unchanged.
    std::string before = slurp(ini.path());
    EXPECT_FALSE(ini.set("s", "k", "a\nb=c"));
    EXPECT_EQ(slurp(ini.path()), before);
    // New lines follow the file's "\n" ends; a missing last line end is supplied.
    ASSERT_TRUE(ini.set("s", "n", "1"));
    EXPECT_NE(slurp(ini.path()).find("last=no newline\nn=1\n"), std::string::npos);
}

TEST(Profile, LongChineseValuesAreCutOnCharacters) {
    TempDir dir;
    ProfileFile ini(dir.file("d.ini"));
    std::string value;
    for (int i = 0; i < 6000; ++i) value += "字";  // 2 bytes each in GB18030
    ASSERT_TRUE(ini.set("s", "k", value));
    std::string read = ini.getText("s", "k");
    EXPECT_EQ(read.size(), 5119u * 3);  // 10238 bytes of whole characters, as UTF-8
}

TEST(Profile, Gb18030OnDiskUtf8Inside) {
    TempDir dir;
    ProfileFile ini(dir.file("e.ini"));
    ASSERT_TRUE(ini.set("保留位数", "保留位数", "真"));
    EXPECT_EQ(slurp(ini.path()), "[" + kDigitsGb + "]\r\n" + kDigitsGb + "=" + kZhenGb + "\r\n");
    EXPECT_EQ(ini.getText("保留位数", "保留位数"), "真");
}

TEST(Profile, Utf8WithMarkStaysUtf8) {
    TempDir dir;
    ProfileFile ini(dir.file("f.ini"));
    spit(ini.path(), "\xEF\xBB\xBF[总在最前]\r\n总在最前=真\r\n");
    EXPECT_EQ(ini.getText("总在最前", "总在最前"), "真");
    ASSERT_TRUE(ini.set("总在最前", "总在最前", "假"));
    EXPECT_EQ(slurp(ini.path()), "\xEF\xBB\xBF[总在最前]\r\n总在最前=假\r\n");
}

// A UTF-8 editor's text that GB18030 would also take, as nonsense characters.
TEST(Profile, Utf8WithoutMarkIsReadAndKeptAsUtf8) {
    TempDir dir;
    ProfileFile ini(dir.file("u.ini"));
    spit(ini.path(), "[保留位数]\n保留位数=3\n");
    EXPECT_EQ(ini.getText("保留位数", "保留位数"), "3");
    ASSERT_TRUE(ini.set("保留位数", "保留位数", "4"));
    EXPECT_EQ(slurp(ini.path()), "[保留位数]\n保留位数=4\n");
    std::string path = dir.file("f.txt");
    spit(path, "中文1");
    TextFile f = readTextFile(path);
    EXPECT_EQ(f.text, "中文1");
    EXPECT_EQ(f.encoding, FileEncoding::Utf8);
}

TEST(Profile, UnchangedValuesLeaveTheFileAlone) {
    TempDir dir;
    ProfileFile ini(dir.file("g.ini"));
    spit(ini.path(), "[s]\r\nk = v\r\n");
    ASSERT_TRUE(ini.set("s", "k", "v2"));
    ASSERT_TRUE(ini.set("s", "k", "v2"));
    EXPECT_EQ(slurp(ini.path()), "[s]\r\nk=v2\r\n");
    struct stat before, after;
    stat(ini.path().c_str(), &before);
    ASSERT_TRUE(ini.set("s", "k", "v2"));
    stat(ini.path().c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);  // not even replaced
}

TEST(Profile, ValuesComeBackAsTheyWereSet) {
    TempDir dir;
    ProfileFile ini(dir.file("v.ini"));
    for (std::string v :
         {" lead", "trail ", "\t", "\"quoted\"", "'q'", " \"both\" ", "\"", "a\"b"}) {
        ASSERT_TRUE(ini.set("s", "k", v));
        EXPECT_EQ(ini.getText("s", "k"), v);
    }
    EXPECT_NE(slurp(ini.path()).find("k=a\"b\r\n"), std::string::npos);  // quoted only when needed
    // Keys that would read as a comment or a section are refused.
    EXPECT_FALSE(ini.set("s", ";k", "v"));
    EXPECT_FALSE(ini.set("s", " [k]", "v"));
    EXPECT_FALSE(ini.get("s", ";k"));
}

// Bytes that do not decode (a stray byte, a line in another encoding) are no reason to
// change lines the program never writes.
TEST(Profile, LinesNotSetKeepTheirBytes) {
    TempDir dir;
    ProfileFile ini(dir.file("w.ini"));
    const std::string gb = "[s]\r\nk=1\r\n; \x81\xFF note\r\nx=\xD5\xE6\x80";
    spit(ini.path(), gb);
    ASSERT_TRUE(ini.set("s", "k", "2"));
    ASSERT_TRUE(ini.set("s", "new", "真"));
    EXPECT_EQ(slurp(ini.path()),
              "[s]\r\nk=2\r\n; \x81\xFF note\r\nx=\xD5\xE6\x80\r\nnew=" + kZhenGb + "\r\n");
    // UTF-16 with a lone surrogate: the same, unit by unit.
    const char le[] = "\xFF\xFE[\0s\0]\0\n\0\x00\xD8k\0=\0\x31\0\n\0";
    spit(ini.path(), std::string(le, sizeof le - 1));
    ASSERT_TRUE(ini.set("s", "z", "9"));
    EXPECT_EQ(slurp(ini.path()),
              std::string(le, sizeof le - 1) + std::string("z\0=\0\x39\0\n\0", 8));
}

TEST(Profile, UnreadableFileIsNeverOverwritten) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("h.ini"));  // unreadable as a file
    ProfileFile ini(dir.file("h.ini"));
    EXPECT_FALSE(ini.get("s", "k"));
    EXPECT_FALSE(ini.set("s", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("h.ini")));
}

#ifndef _WIN32
// Permission bits are POSIX; storage_win_test covers replacement on Windows.
TEST(Files, AtomicReplaceKeepsModeAndLeavesNoTemporaries) {
    TempDir dir;
    std::string path = dir.file("t.txt");
    spit(path, "old");
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(replaceFile(path, "new"));
    EXPECT_EQ(slurp(path), "new");
    struct stat st;
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    int entries = 0;
    for (auto &e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
    // A path that cannot be written fails and touches nothing.
    spit(dir.file("plain"), "x");
    EXPECT_FALSE(replaceFile(dir.file("plain/inside.txt"), "y"));
    EXPECT_EQ(slurp(dir.file("plain")), "x");
}
#endif

TEST(Files, TextFilesDecodeAndCutAtNul) {
    TempDir dir;
    std::string path = dir.file("h.txt");
    EXPECT_EQ(readTextFile(path).status, ReadStatus::Missing);
    spit(path, "1+2=3\r\n" + kZhenGb + std::string("\0junk", 5));
    TextFile f = readTextFile(path);
    EXPECT_EQ(f.status, ReadStatus::Ok);
    EXPECT_EQ(f.text, "1+2=3\r\n真");
    EXPECT_EQ(f.encoding, FileEncoding::Gb18030);
    // UTF-8 without a mark that is not GB18030 reads as UTF-8.
    spit(path, "\xE7\x9C\x9F\xE5\x80\xBC");  // 真值
    f = readTextFile(path);
    EXPECT_EQ(f.text, "真值");
    EXPECT_EQ(f.encoding, FileEncoding::Utf8);
}

// Windows editors save "Unicode" text as UTF-16 with a mark: its NUL bytes are no end of
// the text, and a file written back must not lose what it held.
TEST(Files, Utf16WithMarkReadsWholeAndStaysUtf16) {
    TempDir dir;
    std::string path = dir.file("h.txt");
    const char le[] =
        "\xFF\xFE"
        "1\0+\0"
        "2\0=\0"
        "3\0\r\0\n\0"
        "\x1F\x77";  // 1+2=3, 真
    const std::string utf16(le, sizeof le - 1);
    spit(path, utf16);
    TextFile f = readTextFile(path);
    EXPECT_EQ(f.text, "1+2=3\r\n真");
    EXPECT_EQ(f.encoding, FileEncoding::Utf16Le);
    ASSERT_TRUE(writeTextFile(path, f.text, f.encoding));
    EXPECT_EQ(slurp(path), utf16);

    ProfileFile ini(dir.file("u.ini"));
    const char be[] =
        "\xFE\xFF"
        "\0[\0s\0]\0\n"
        "\0k\0=\0v";
    std::string bytes(be, sizeof be - 1);
    spit(ini.path(), bytes);
    EXPECT_EQ(ini.getText("s", "k"), "v");
    ASSERT_TRUE(ini.set("s", "k", "w"));
    bytes.back() = 'w';
    EXPECT_EQ(slurp(ini.path()), bytes);
}

// One unit that is no character (a lone surrogate, a cut last unit) must not shift the
// reading of every unit after it.
TEST(Files, DamagedUtf16IsReadUnitByUnit) {
    const char le[] =
        "\xFF\xFE\x00\xD8"
        "A\0\n\0B\0\x41";
    FileEncoding e;
    EXPECT_EQ(decodeFileText(std::string(le, sizeof le - 1), &e),
              "\xEF\xBF\xBD"
              "A\nB\xEF\xBF\xBD");
    const char be[] = "\xFE\xFF\xDC\x00\0A";
    EXPECT_EQ(decodeFileText(std::string(be, sizeof be - 1), &e),
              "\xEF\xBF\xBD"
              "A");
}

#ifndef _WIN32  // which characters GB18030 lacks is iconv's table; Windows maps them
// GB18030 has no code for a few private-use characters (U+E78D…U+E796, U+E816…): a text
// with one is written whole as UTF-8 with a mark rather than with "?" for it.
TEST(Files, TextGb18030CannotHoldIsWrittenAsUtf8) {
    TempDir dir;
    std::string path = dir.file("p.txt");
    const std::string text = "1+2=3\r\n\xEE\x9E\x8D真";  // U+E78D
    ASSERT_TRUE(writeTextFile(path, text, FileEncoding::Gb18030));
    TextFile f = readTextFile(path);
    EXPECT_EQ(f.text, text);
    EXPECT_EQ(f.encoding, FileEncoding::Utf8Bom);
    ASSERT_TRUE(writeTextFile(path, "真", FileEncoding::Gb18030));
    EXPECT_EQ(slurp(path), kZhenGb);
}
#endif

#ifndef _WIN32
// Symbolic links and named pipes as POSIX systems make them.
TEST(Files, OddPathsAreReportedNotReplaced) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("dir"));
    symlink("loop", dir.file("loop").c_str());
    symlink("nowhere", dir.file("dangling").c_str());
    EXPECT_EQ(readTextFile(dir.file("dir")).status, ReadStatus::Unreadable);
    EXPECT_EQ(readTextFile(dir.file("loop")).status, ReadStatus::Unreadable);
    EXPECT_EQ(readTextFile(dir.file("dangling")).status, ReadStatus::Missing);
    EXPECT_FALSE(writeTextFile(dir.file("dir"), "x"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("dir")));
    // A named pipe nobody writes to reads as empty instead of waiting forever, and is never
    // replaced by a plain file (nor would /dev/null be, for root).
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_EQ(readTextFile(dir.file("pipe")).status, ReadStatus::Ok);
    EXPECT_EQ(readTextFile(dir.file("pipe")).text, "");
    EXPECT_FALSE(writeTextFile(dir.file("pipe"), "x"));
    struct stat st;
    ASSERT_EQ(lstat(dir.file("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A name near the longest allowed still takes a temporary file beside it.
    std::string name;
    for (int i = 0; i < 82; ++i) name += "公";  // 246 bytes, 250 with ".txt"
    ASSERT_TRUE(writeTextFile(dir.file(name + ".txt"), "1+2"));
    EXPECT_EQ(readTextFile(dir.file(name + ".txt")).text, "1+2");
    EXPECT_FALSE(writeTextFile(dir.file(std::string(300, 'n')), "x"));
    // A link to a file not there yet gets that file; the link stays.
    ASSERT_TRUE(writeTextFile(dir.file("dangling"), "through the link"));
    EXPECT_EQ(slurp(dir.file("nowhere")), "through the link");
    ASSERT_EQ(lstat(dir.file("dangling").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    int entries = 0;
    for (auto &e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
    EXPECT_EQ(entries, 6);  // no temporaries left behind
}
#endif

TEST(Files, LineEndsAndNames) {
    EXPECT_EQ(toBoxLines("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(toFileLines("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(toFileLines(toBoxLines("x\r\n\r\ny")), "x\r\n\r\ny");
    EXPECT_EQ(fileNamePart("C:\\a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(fileNamePart("/home/u/公式/f.txt"), "f.txt");
    EXPECT_EQ(fileNamePart("plain"), "plain");
}

TEST(Settings, DefaultsWithoutAFile) {
    TempDir dir;
    ProfileFile ini(dir.file("配置.ini"));
    Settings s = loadSettings(ini);
    EXPECT_EQ(s.digitsIndex, 0);
    EXPECT_FALSE(s.keepZeros || s.alwaysOnTop || s.copyResult || s.copyExpression || s.moneyText ||
                 s.convertOperators || s.savePosition);
    EXPECT_EQ(s.skinFile, "");
    EXPECT_EQ(s.fontColour, 0u);
}

TEST(Settings, RoundTripThroughTheFile) {
    TempDir dir;
    ProfileFile ini(dir.file("配置.ini"));
    Settings s;
    s.digitsIndex = 3;
    s.keepZeros = s.copyExpression = s.convertOperators = s.savePosition = true;
    s.left = 120;
    s.top = 80;
    s.saveHistoryOnExit = true;
    s.fontSize = 12;
    s.fontFace = "宋体";
    s.fontColour = 0x00FF8040;
    s.keypadShown = 1;
    s.skinIndex = 1;
    ASSERT_TRUE(saveSettings(ini, s));
    ASSERT_TRUE(saveFormulaPath(ini, "/tmp/公式/f.txt"));
    Settings r = loadSettings(ini);
    EXPECT_EQ(r.digitsIndex, 3);
    EXPECT_TRUE(r.keepZeros && r.copyExpression && r.convertOperators && r.savePosition);
    EXPECT_FALSE(r.copyResult || r.alwaysOnTop || r.saveSettingsOnExit);
    EXPECT_TRUE(r.saveHistoryOnExit);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.fontFace, "宋体");
    EXPECT_EQ(r.fontSize, 12);
    EXPECT_EQ(r.fontColour, 0x00FF8040u);
    EXPECT_EQ(r.keypadShown, 1);
    EXPECT_EQ(r.skinFile, "qq2008.she");
    EXPECT_EQ(r.formulaPath, "/tmp/公式/f.txt");
    EXPECT_NE(slurp(ini.path()).find("\xB1\xA3\xC1\xF4\"0\"\xCE\xBB=" + kZhenGb),
              std::string::npos);
}

TEST(Settings, PositionAndSkinFileWrittenOnlyWhenAsked) {
    TempDir dir;
    ProfileFile ini(dir.file("配置.ini"));
    Settings s;
    s.savePosition = true;
    s.left = 10;
    s.top = 20;
    ASSERT_TRUE(saveSettings(ini, s));
    ASSERT_TRUE(saveSkinKeys(ini, 5, "darkroyale.she"));
    s.savePosition = false;
    s.left = 999;
    s.skinIndex = 5;
    ASSERT_TRUE(saveSettings(ini, s));
    Settings r = loadSettings(ini);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.skinIndex, 5);
    EXPECT_EQ(r.skinFile, "darkroyale.she");
}

TEST(Settings, IntegersReadTruncatedTowardZero) {
    EXPECT_EQ(readInteger("12"), 12);
    EXPECT_EQ(readInteger("-3.9"), -3);
    EXPECT_EQ(readInteger("x"), 0);
    EXPECT_EQ(readInteger("1e30"), INT_MAX);
}

#ifndef _WIN32
// The POSIX configuration directory; storage_win_test has the Windows one.
TEST(Locations, BesideTheProgramOrInTheConfigDirectory) {
    TempDir dir;
    Locations here = resolveLocations(dir.path(), "/work/place");
    EXPECT_EQ(here.settingsFile, dir.file("配置.ini"));
    EXPECT_EQ(here.historyFile, dir.file("计算记录.txt"));
    EXPECT_EQ(here.formulaDir, "/work/place/公式");
    EXPECT_EQ(here.skinDir, "/work/place/skin");
    setenv("XDG_CONFIG_HOME", dir.file("cfg").c_str(), 1);
    Locations away = resolveLocations("/nonexistent/bin", "/w");
    EXPECT_EQ(away.settingsFile, dir.file("cfg/tarnucalc/配置.ini"));
    EXPECT_EQ(away.historyFile, dir.file("cfg/tarnucalc/计算记录.txt"));
    unsetenv("XDG_CONFIG_HOME");
    std::string home = getenv("HOME") ? getenv("HOME") : ".";
    EXPECT_EQ(resolveLocations("/nonexistent/bin", "/w").historyFile,
              home + "/.config/tarnucalc/计算记录.txt");
}
#endif
