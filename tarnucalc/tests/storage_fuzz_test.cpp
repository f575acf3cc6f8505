// Randomized checks of the file layer: any bytes read without harm, and what could be
// read is written back unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <map>

#include "encoding.h"
#include "files.h"
#include "fuzz_support.h"
#include "profile.h"
#include "settings.h"
#include "temp_dir.h"

using namespace tarnu;

namespace {

const FileEncoding kEncodings[] = {FileEncoding::Gb18030, FileEncoding::Utf8Bom, FileEncoding::Utf8,
                                   FileEncoding::Utf16Le, FileEncoding::Utf16Be};

const std::string kReplacement = "\xEF\xBF\xBD";

// Bytes of a text in some encoding, then damaged the ways files get damaged.
std::string damagedFile(Fuzz &f) {
    std::string bytes = encodeFileText(
        f.text(60), f.pick<FileEncoding>({std::begin(kEncodings), std::end(kEncodings)}));
    switch (f.between(0, 6)) {
        case 0:  // cut anywhere
            bytes.resize(f.below(bytes.size() + 1));
            break;
        case 1:  // a byte flipped
            if (!bytes.empty()) bytes[f.below(bytes.size())] = static_cast<char>(f.between(0, 255));
            break;
        case 2:  // a NUL inside
            bytes.insert(f.below(bytes.size() + 1), 1, '\0');
            break;
        case 3:  // an odd mark in front
            bytes =
                f.pick<std::string>({"\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF", "\xEF\xBB",
                                     std::string("\xFF\xFE\0\0", 4), "\xFE", "\x84\x31\x95\x33"}) +
                bytes;
            break;
        case 4:
            bytes = f.bytes(80);
            break;
        default:
            break;
    }
    return bytes;
}

// The same bytes, or GB18030 that says the same: glibc reads six four-byte codes (such as
// 95 32 90 31) as the characters it writes with two bytes (FE 51).
bool sameText(const std::string &written, const std::string &read) {
    if (written == read) return true;
    FileEncoding a, b;
    std::string text = decodeFileText(written, &a);
    return a == FileEncoding::Gb18030 && text == decodeFileText(read, &b) &&
           b == FileEncoding::Gb18030;
}

bool sameName(std::string a, std::string b) {
    auto lower = [](std::string s) {
        s.erase(0, s.find_first_not_of(" \t"));
        s.erase(s.find_last_not_of(" \t") + 1);
        for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    return lower(a) == lower(b);
}

}  // namespace

TEST(StorageFuzz, EveryEncodingRoundTripsItsOwnText) {
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(6000 + round);
        for (int i = 0; i < 400; ++i) {
            std::string text = f.text(f.chance(5) ? 3000 : 40);
            for (FileEncoding e : kEncodings) {
                std::string body;
                if (!encodePiece(text, e, body)) {
                    EXPECT_EQ(e, FileEncoding::Gb18030);  // a few private-use characters
                    continue;
                }
                std::string bytes = byteOrderMark(e) + body;
                FileEncoding read;
                std::string back = decodeFileText(bytes, &read);
                // Plain text may read as another encoding; its bytes must survive anyway.
                EXPECT_EQ(encodeFileText(back, read), bytes) << static_cast<int>(e) << " " << text;
                if (read == e) {
                    EXPECT_EQ(back, text) << static_cast<int>(e);
                }
            }
        }
    }
}

TEST(StorageFuzz, DamagedBytesDecodeToTextAndWhatReadsCleanlyIsKept) {
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(7000 + round);
        for (int i = 0; i < 1000; ++i) {
            std::string bytes = damagedFile(f);
            FileEncoding e;
            std::string text = decodeFileText(bytes, &e);
            ASSERT_TRUE(isValidUtf8(text));
            if (text.find(kReplacement) == std::string::npos) {
                EXPECT_TRUE(sameText(encodeFileText(text, e), bytes)) << static_cast<int>(e);
            }
            // Damage stays where it is: every line break of the file is still one.
            std::string lf = encodeFileText("\n", e).substr(byteOrderMark(e).size());
            size_t breaks = 0;
            for (size_t k = byteOrderMark(e).size(); k + lf.size() <= bytes.size(); k += lf.size())
                breaks += bytes.compare(k, lf.size(), lf) == 0;
            EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), breaks)
                << static_cast<int>(e);
            size_t at = f.below(bytes.size() + 1);
            (void)gb18030CharLength(bytes + "x", at);
        }
    }
}

TEST(StorageFuzz, TextFilesThroughTheDisk) {
    TempDir dir;
    std::string path = dir.file("f.txt");
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(8000 + round);
        for (int i = 0; i < 100; ++i) {
            std::string bytes = damagedFile(f);
            spit(path, bytes);
            TextFile file = readTextFile(path);
            ASSERT_EQ(file.status, ReadStatus::Ok);
            EXPECT_EQ(file.raw, bytes);
            ASSERT_TRUE(writeTextFile(path, file.text, file.encoding));
            TextFile again = readTextFile(path);
            EXPECT_EQ(again.text, file.text);
            bool clean = file.text.find(kReplacement) == std::string::npos &&
                         bytes.find('\0') == std::string::npos;
            if (clean) {
                EXPECT_TRUE(sameText(slurp(path), bytes));
            }
            // "\r\r\n" shows as a line ending in "\r" and is saved as "\r\n": a stray "\r" lost.
            if (file.text.find("\r\r") == std::string::npos) {
                EXPECT_EQ(toBoxLines(toFileLines(toBoxLines(file.text))), toBoxLines(file.text));
            }
        }
    }
}

TEST(StorageFuzz, ProfileEditsTouchOnlyTheirKey) {
    const std::vector<std::string> sections = {"s", "S ", "保留位数", "公式", "", " x y "};
    const std::vector<std::string> keys = {"k", " K", "保留\"0\"位", "公式路径", "a b", "=", ";c"};
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(9000 + round);
        for (int i = 0; i < 400; ++i) {
            // A random profile text, kept byte for byte when nothing is set.
            std::string text;
            for (size_t n = f.below(12); n > 0; --n) {
                switch (f.between(0, 5)) {
                    case 0:
                        text += "[" + f.pick(sections) + "]";
                        break;
                    case 1:
                        text += f.pick(keys) + "=" + f.text(8);
                        break;
                    case 2:
                        text += ";" + f.text(8);
                        break;
                    case 3:
                        break;
                    default:
                        text += f.text(10);
                        break;
                }
                text += f.pick<std::string>({"\r\n", "\n", "\r", "\r\n"});
            }
            if (f.chance(30)) text += f.text(10);
            ProfileDocument doc(text);
            ASSERT_EQ(doc.text(), text);
            // A model of what get() answers, checked after every set().
            std::vector<std::pair<std::string, std::string>> probes;
            for (auto &s : sections)
                for (auto &k : keys) probes.push_back({s, k});
            for (int step = 0; step < 6; ++step) {
                std::map<size_t, std::optional<std::string>> before;
                for (size_t p = 0; p < probes.size(); ++p)
                    before[p] = doc.get(probes[p].first, probes[p].second);
                std::string s = f.pick(sections), k = f.pick(keys);
                std::string v = f.chance(20) ? "  \"" + f.text(5) + "\" " : f.text(12);
                if (!doc.set(s, k, v)) {
                    EXPECT_TRUE(v.find_first_of("\r\n") != std::string::npos ||
                                k.find('=') != std::string::npos || k.find(';') == 0 ||
                                s.find(']') != std::string::npos)
                        << s << "|" << k << "|" << v;
                    continue;
                }
                EXPECT_EQ(doc.get(s, k), v) << s << "|" << k << "|" << v;
                for (size_t p = 0; p < probes.size(); ++p) {
                    if (sameName(probes[p].first, s) && sameName(probes[p].second, k)) continue;
                    EXPECT_EQ(doc.get(probes[p].first, probes[p].second), before[p])
                        << probes[p].first << "|" << probes[p].second << " after " << s << "|" << k
                        << "|" << v;
                }
                ProfileDocument reread(doc.text());
                EXPECT_EQ(reread.get(s, k), v);
            }
        }
    }
}

// The program writes a few keys of a file the user may have written anything in.
TEST(StorageFuzz, SavingSettingsKeepsEveryOtherByte) {
    TempDir dir;
    ProfileFile ini(dir.file("配置.ini"));
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(10000 + round);
        for (int i = 0; i < 60; ++i) {
            FileEncoding e = f.pick<FileEncoding>({std::begin(kEncodings), std::end(kEncodings)});
            std::string head = encodeFileText("[s]\r\nk=1\r\n", e);
            std::string note = damagedFile(f);
            note.erase(std::remove_if(note.begin(), note.end(),
                                      [](char c) { return c == '\n' || c == '\r' || c == '['; }),
                       note.end());
            std::string tail = encodeFileText("\r\n[t]\r\nz=2\r\n", e);
            if (e == FileEncoding::Utf16Le || e == FileEncoding::Utf16Be) {
                // Damaged UTF-16 text in the middle of UTF-16 lines: keep to whole units.
                if (note.size() % 2) note.pop_back();
                head += note;
            } else {
                head += encodeFileText("; ", FileEncoding::Gb18030) + note;
            }
            std::string bytes =
                head + (e == FileEncoding::Utf16Le || e == FileEncoding::Utf16Be ? tail.substr(2)
                        : e == FileEncoding::Utf8Bom                             ? tail.substr(3)
                                                                                 : tail);
            spit(ini.path(), bytes);
            std::string zBefore = ini.getText("t", "z");
            if (!ini.set("s", "k", "2")) {
                EXPECT_EQ(slurp(ini.path()), bytes) << "a refused save must leave the file";
                continue;
            }
            std::string after = slurp(ini.path());
            std::string oldKey = encodeFileText("k=1", e), newKey = encodeFileText("k=2", e);
            if (e == FileEncoding::Utf16Le || e == FileEncoding::Utf16Be ||
                e == FileEncoding::Utf8Bom) {
                size_t mark = e == FileEncoding::Utf8Bom ? 3 : 2;
                oldKey = oldKey.substr(mark), newKey = newKey.substr(mark);
            }
            std::string want = bytes;
            size_t at = want.find(oldKey);
            ASSERT_NE(at, std::string::npos);
            want.replace(at, oldKey.size(), newKey);
            EXPECT_EQ(after, want) << static_cast<int>(e);
            EXPECT_EQ(ini.getText("t", "z"), zBefore);
        }
    }
}

TEST(StorageFuzz, SettingsWithOddValuesLoadAndSaveTheSame) {
    TempDir dir;
    ProfileFile ini(dir.file("配置.ini"));
    const std::vector<std::string> values = {"",
                                             "-1",
                                             "9",
                                             "2147483648",
                                             "-2147483649",
                                             "1e400",
                                             "-1e400",
                                             "nan",
                                             "inf",
                                             "0x10",
                                             "３",
                                             "真",
                                             "假",
                                             " 真 ",
                                             "\"真\"",
                                             "abc",
                                             "99999999999999999999",
                                             "-0",
                                             "4294967295",
                                             std::string(20000, '7')};
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"保留位数", "保留位数"},
        {"保留位数", "保留\"0\"位"},
        {"总在最前", "总在最前"},
        {"自动复制结果", "自动复制结果"},
        {"自动复制结果", "自动复制算式"},
        {"保存窗口位置", "保存窗口位置"},
        {"保存窗口位置", "窗口左边"},
        {"保存窗口位置", "窗口顶边"},
        {"字体设置", "文字大小"},
        {"字体设置", "文字字体"},
        {"字体设置", "文字颜色"},
        {"显示键盘", "显示键盘"},
        {"皮肤文件", "组合框2现行选中项"},
        {"皮肤文件", "皮肤文件"},
        {"公式", "公式路径"}};
    for (int round = 0; round < fuzzRounds(); ++round) {
        Fuzz f(11000 + round);
        for (int i = 0; i < 12; ++i) {
            std::string text;
            for (auto &[s, k] : keys)
                if (f.chance(70))
                    text += "[" + s + "]\r\n" + k + "=" +
                            (f.chance(70) ? f.pick(values) : f.text(20)) + "\r\n";
            spit(ini.path(), encodeFileText(text, FileEncoding::Gb18030));
            Settings s = loadSettings(ini);
            // A face with a line break of its own in it cannot be written back; the rest is.
            EXPECT_EQ(saveSettings(ini, s), s.fontFace.find('\r') == std::string::npos);
            Settings r = loadSettings(ini);
            EXPECT_EQ(r.digitsIndex, s.digitsIndex);
            EXPECT_EQ(r.keepZeros, s.keepZeros);
            EXPECT_EQ(r.alwaysOnTop, s.alwaysOnTop);
            EXPECT_EQ(r.copyResult, s.copyResult);
            EXPECT_EQ(r.copyExpression, s.copyExpression);
            EXPECT_EQ(r.savePosition, s.savePosition);
            EXPECT_EQ(r.left, s.left);
            EXPECT_EQ(r.top, s.top);
            EXPECT_EQ(r.fontSize, s.fontSize);
            EXPECT_EQ(r.fontFace, s.fontFace);
            EXPECT_EQ(r.fontColour, s.fontColour);
            EXPECT_EQ(r.keypadShown, s.keypadShown);
            EXPECT_EQ(r.skinIndex, s.skinIndex);
            EXPECT_EQ(r.formulaPath, s.formulaPath);
            std::string face = f.text(15);
            if (saveFontKeys(ini, face, f.between(INT_MIN, INT_MAX), 0xFFFFFFFFu)) {
                EXPECT_EQ(loadSettings(ini).fontFace, face);
            }
            std::string path = "/tmp/" + f.text(10) + (f.chance(50) ? " " : "");
            if (saveFormulaPath(ini, path)) {
                EXPECT_EQ(loadSettings(ini).formulaPath, path);
            }
        }
    }
}
