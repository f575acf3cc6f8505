#include "settings.h"

#include <climits>
#include <cmath>
#include <vector>

#include "format.h"

namespace tarnu {

namespace {

// One key of 配置.ini and the field of Settings it holds; exactly one field is set.
struct Key {
    const char *section;
    const char *name;
    int Settings::*integer = nullptr;
    bool Settings::*flag = nullptr;
    std::string Settings::*text = nullptr;
    std::uint32_t Settings::*colour = nullptr;  // a COLORREF, written as "%d" writes it
};

constexpr const char *kFont = "字体设置";
constexpr const char *kSkin = "皮肤文件";
constexpr const char *kFormula = "公式";

// Every key, in the order it is read at start-up and written by 保存设置.
const Key kKeys[] = {
    {"保留位数", "保留位数", &Settings::digitsIndex},
    {"保留位数", "保留\"0\"位", nullptr, &Settings::keepZeros},
    {"总在最前", "总在最前", nullptr, &Settings::alwaysOnTop},
    {"自动复制结果", "自动复制结果", nullptr, &Settings::copyResult},
    {"自动复制结果", "自动复制算式", nullptr, &Settings::copyExpression},
    {"自动复制结果", "结果显示大写", nullptr, &Settings::moneyText},
    {"自动复制结果", "*/号转×÷号", nullptr, &Settings::convertOperators},
    {"保存窗口位置", "保存窗口位置", nullptr, &Settings::savePosition},
    {"保存窗口位置", "窗口左边", &Settings::left},
    {"保存窗口位置", "窗口顶边", &Settings::top},
    {"退出自动保存设置", "退出自动保存设置", nullptr, &Settings::saveSettingsOnExit},
    {"退出自动保存记录", "退出自动保存记录", nullptr, &Settings::saveHistoryOnExit},
    {kFont, "文字大小", &Settings::fontSize},
    {kFont, "文字字体", nullptr, nullptr, &Settings::fontFace},
    {kFont, "文字颜色", nullptr, nullptr, nullptr, &Settings::fontColour},
    {"显示键盘", "显示键盘", &Settings::keypadShown},
    {kSkin, "组合框2现行选中项", &Settings::skinIndex},
    {kSkin, "皮肤文件", nullptr, nullptr, &Settings::skinFile},
    {kFormula, "公式路径", nullptr, nullptr, &Settings::formulaPath},
};

void read(const Key &k, const std::string &value, Settings &s) {
    if (k.integer) s.*k.integer = readInteger(value);
    if (k.flag) s.*k.flag = value == kTrue;
    if (k.text) s.*k.text = value;
    if (k.colour) s.*k.colour = static_cast<std::uint32_t>(readInteger(value));
}

std::string written(const Key &k, const Settings &s) {
    if (k.integer) return std::to_string(s.*k.integer);
    if (k.flag) return s.*k.flag ? kTrue : kFalse;
    if (k.colour) return std::to_string(static_cast<std::int32_t>(s.*k.colour));
    return s.*k.text;
}

// Writes the keys `wanted` picks, in table order.
template <class Pick>
bool write(ProfileFile &file, const Settings &s, Pick wanted) {
    std::vector<ProfileFile::Entry> entries;
    for (const Key &k : kKeys) {
        if (wanted(k)) entries.push_back({k.section, k.name, written(k, s)});
    }
    return file.set(entries);
}

bool inSection(const Key &k, const char *section) {
    return std::string(k.section) == section;
}

}  // namespace

int readInteger(const std::string &text) {
    double v = std::trunc(TextToNumber(text));
    if (std::isnan(v)) return 0;
    if (v >= INT_MAX) return INT_MAX;
    if (v <= INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

Settings loadSettings(const ProfileFile &file) {
    Settings s;
    for (const Key &k : kKeys) read(k, file.getText(k.section, k.name), s);
    return s;
}

bool saveSettings(ProfileFile &file, const Settings &given) {
    // The skin file is written again only for the skins whose name it rewrites; the others
    // keep the name written when they were chosen.
    static const char *const rewritten[] = {"无", "qq2008.she", "skinh.she"};
    const bool skinRewritten = given.skinIndex >= 0 && given.skinIndex <= 2;
    Settings s = given;
    if (skinRewritten) s.skinFile = rewritten[s.skinIndex];
    return write(file, s, [&](const Key &k) {
        if (k.text == &Settings::formulaPath) return false;
        if (k.integer == &Settings::left || k.integer == &Settings::top) return s.savePosition;
        if (k.text == &Settings::skinFile) return skinRewritten;
        return true;
    });
}

bool saveFontKeys(ProfileFile &file, const std::string &face, int size, std::uint32_t colour) {
    Settings s;
    s.fontFace = face, s.fontSize = size, s.fontColour = colour;
    return write(file, s, [](const Key &k) { return inSection(k, kFont); });
}

bool saveSkinKeys(ProfileFile &file, int index, const std::string &skinFile) {
    Settings s;
    s.skinIndex = index, s.skinFile = skinFile;
    return write(file, s, [](const Key &k) { return inSection(k, kSkin); });
}

bool saveFormulaPath(ProfileFile &file, const std::string &path) {
    Settings s;
    s.formulaPath = path;
    return write(file, s, [](const Key &k) { return inSection(k, kFormula); });
}

}  // namespace tarnu
