#include "settings.h"

#include <climits>
#include <cmath>

#include "format.h"

namespace tarnu {

namespace {

// Sections and keys, in the order they are read and written.
constexpr const char *kDigits = "保留位数";
constexpr const char *kOnTop = "总在最前";
constexpr const char *kCopy = "自动复制结果";
constexpr const char *kPosition = "保存窗口位置";
constexpr const char *kAutoSettings = "退出自动保存设置";
constexpr const char *kAutoHistory = "退出自动保存记录";
constexpr const char *kFont = "字体设置";
constexpr const char *kKeypad = "显示键盘";
constexpr const char *kSkin = "皮肤文件";
constexpr const char *kFormula = "公式";

const char *boolText(bool on) {
    return on ? kTrue : kFalse;
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
    auto text = [&](const char *section, const char *key) { return file.getText(section, key); };
    auto flag = [&](const char *section, const char *key) { return text(section, key) == kTrue; };
    auto number = [&](const char *section, const char *key) {
        return readInteger(text(section, key));
    };
    Settings s;
    s.digitsIndex = number(kDigits, "保留位数");
    s.keepZeros = flag(kDigits, "保留\"0\"位");
    s.alwaysOnTop = flag(kOnTop, "总在最前");
    s.copyResult = flag(kCopy, "自动复制结果");
    s.copyExpression = flag(kCopy, "自动复制算式");
    s.moneyText = flag(kCopy, "结果显示大写");
    s.convertOperators = flag(kCopy, "*/号转×÷号");
    s.savePosition = flag(kPosition, "保存窗口位置");
    s.left = number(kPosition, "窗口左边");
    s.top = number(kPosition, "窗口顶边");
    s.saveSettingsOnExit = flag(kAutoSettings, "退出自动保存设置");
    s.saveHistoryOnExit = flag(kAutoHistory, "退出自动保存记录");
    s.fontSize = number(kFont, "文字大小");
    s.fontFace = text(kFont, "文字字体");
    s.fontColour = static_cast<std::uint32_t>(number(kFont, "文字颜色"));
    s.keypadShown = number(kKeypad, "显示键盘");
    s.skinIndex = number(kSkin, "组合框2现行选中项");
    s.skinFile = text(kSkin, "皮肤文件");
    s.formulaPath = text(kFormula, "公式路径");
    return s;
}

bool saveSettings(ProfileFile &file, const Settings &s) {
    auto n = [](long long v) { return std::to_string(v); };
    std::vector<ProfileFile::Entry> e = {
        {kDigits, "保留位数", n(s.digitsIndex)},
        {kDigits, "保留\"0\"位", boolText(s.keepZeros)},
        {kOnTop, "总在最前", boolText(s.alwaysOnTop)},
        {kCopy, "自动复制结果", boolText(s.copyResult)},
        {kCopy, "自动复制算式", boolText(s.copyExpression)},
        {kCopy, "结果显示大写", boolText(s.moneyText)},
        {kCopy, "*/号转×÷号", boolText(s.convertOperators)},
        {kPosition, "保存窗口位置", boolText(s.savePosition)},
    };
    if (s.savePosition) {
        e.push_back({kPosition, "窗口左边", n(s.left)});
        e.push_back({kPosition, "窗口顶边", n(s.top)});
    }
    e.push_back({kAutoSettings, "退出自动保存设置", boolText(s.saveSettingsOnExit)});
    e.push_back({kAutoHistory, "退出自动保存记录", boolText(s.saveHistoryOnExit)});
    e.push_back({kFont, "文字大小", n(s.fontSize)});
    e.push_back({kFont, "文字字体", s.fontFace});
    // COLORREF as the signed 32-bit decimal "%d" writes.
    e.push_back({kFont, "文字颜色", n(static_cast<std::int32_t>(s.fontColour))});
    e.push_back({kKeypad, "显示键盘", n(s.keypadShown)});
    e.push_back({kSkin, "组合框2现行选中项", n(s.skinIndex)});
    static const char *const rewritten[] = {"无", "qq2008.she", "skinh.she"};
    if (s.skinIndex >= 0 && s.skinIndex <= 2)
        e.push_back({kSkin, "皮肤文件", rewritten[s.skinIndex]});
    return file.set(e);
}

bool saveFontKeys(ProfileFile &file, const std::string &face, int size, std::uint32_t colour) {
    return file.set({{kFont, "文字大小", std::to_string(size)},
                     {kFont, "文字字体", face},
                     {kFont, "文字颜色", std::to_string(static_cast<std::int32_t>(colour))}});
}

bool saveSkinKeys(ProfileFile &file, int index, const std::string &skinFile) {
    return file.set(
        {{kSkin, "组合框2现行选中项", std::to_string(index)}, {kSkin, "皮肤文件", skinFile}});
}

bool saveFormulaPath(ProfileFile &file, const std::string &path) {
    return file.set(kFormula, "公式路径", path);
}

}  // namespace tarnu
