#include "layout_table.h"

#include "control_ids.h"
#include "controller.h"

namespace tarnu::win32 {

namespace {

constexpr ControlDef kMain[] = {
    // Page buttons: a strip along the top edge, over every page.
    {kPageButtonId + 0, -1, Kind::Button, "计算", {0, 0, 60, 21}, 0, false},
    {kPageButtonId + 1, -1, Kind::Button, "设置", {60, 0, 60, 21}, 0, false},
    {kPageButtonId + 2, -1, Kind::Button, "帮助", {120, 0, 60, 21}, 0, false},
    {kPageButtonId + 3, -1, Kind::Button, "键盘", {180, 0, 60, 21}, 0, false},
    {kPageButtonId + 4, -1, Kind::Button, "公式", {240, 0, 64, 21}, 0, false},
    // Page 0. The function list comes first: it lies beneath the buttons it overlaps, so
    // only its arrow shows at the end of the button row.
    {kFunctionsId, 0, Kind::DropList, "", {224, 57, 81, 22}, 14, false},
    {kExpressionId, 0, Kind::Line, "", {0, 21, 304, 32}, 19, true},
    {kCacheButtonId, 0, Kind::Button, "缓存", {3, 55, 34, 24}, 0, false},
    {kCacheId, 0, Kind::Line, "", {39, 55, 82, 24}, 0, false},
    {kCacheUpId, 0, Kind::Button, "↑", {124, 55, 21, 24}, 0, false},
    {kClearExpressionId, 0, Kind::Button, "C↑", {146, 55, 30, 24}, 0, false},
    {kClearHistoryId, 0, Kind::Button, "C↓", {177, 55, 30, 24}, 0, false},
    {kCompactId, 0, Kind::Button, "<", {208, 55, 30, 24}, 14, false},
    {kWideId, 0, Kind::Button, ">", {238, 55, 30, 24}, 0, false},
    {kCheckBoxId + 10, 0, Kind::Check, "", {269, 55, 15, 24}, 0, false},
    {kHistoryId, 0, Kind::Multi, "", {0, 81, 304, 218}, 19, false},
    // Page 1
    {kCheckBoxId + 1, 1, Kind::Check, "总在最前", {15, 35, 72, 24}, 0, false},
    {kCheckBoxId + 6, 1, Kind::Check, "退出自动保存记录", {162, 35, 116, 24}, 0, false},
    {kSkinsId, 1, Kind::DropList, "", {15, 62, 49, 20}, 0, false},
    {kSkinLabelId, 1, Kind::Label, "皮肤(需重启)", {67, 62, 71, 20}, 0, false},
    {kCheckBoxId + 5, 1, Kind::Check, "退出自动保存设置", {162, 60, 120, 24}, 0, false},
    {kDigitsId, 1, Kind::DropList, "", {15, 91, 38, 20}, 0, false},
    {kDigitsLabelId, 1, Kind::Label, "保留位数", {57, 91, 51, 20}, 0, false},
    {kCheckBoxId + 2, 1, Kind::Check, "保留\"0\"位", {15, 119, 75, 24}, 0, false},
    {kCheckBoxId + 7, 1, Kind::Check, "自动复制算式", {15, 144, 96, 24}, 0, false},
    {kCheckBoxId + 3, 1, Kind::Check, "自动复制结果", {15, 171, 96, 24}, 0, false},
    {kCheckBoxId + 8, 1, Kind::Check, "结果显示大写", {15, 196, 96, 24}, 0, false},
    {kFontButtonId, 1, Kind::Button, "记录窗口字体设置", {163, 195, 108, 30}, 0, false},
    {kCheckBoxId + 9, 1, Kind::Check, "*/号转×÷号", {15, 223, 96, 24}, 0, false},
    {kSaveButtonId, 1, Kind::Button, "保存设置", {179, 233, 72, 30}, 0, false},
    {kCheckBoxId + 4, 1, Kind::Check, "保存窗口位置", {15, 248, 96, 24}, 0, false},
    // Page 2
    {kHelpId, 2, Kind::ReadOnlyMulti, "", {2, 22, 304, 266}, 12, false},
    // Page 4
    {kDividerId, 4, Kind::Divider, "", {0, 21, 320, 1}, 0, false},
    {kFormulaCaptionId, 4, Kind::Label, "公式：", {4, 27, 300, 14}, 0, false},
    {kFormulaEditorId, 4, Kind::Multi, "", {0, 46, 304, 170}, 16, true},
    {kCalcFormulaId, 4, Kind::Button, "计算公式", {90, 221, 72, 32}, 0, false},
    {kOpenFormulaId, 4, Kind::Button, "打开公式", {186, 226, 56, 25}, 0, false},
    {kSaveFormulaId, 4, Kind::Button, "保存公式", {245, 226, 56, 25}, 0, false},
    {kResultLabelId, 4, Kind::Label, "计算结果：", {6, 238, 64, 14}, 0, false},
    {kFormulaResultId, 4, Kind::Line, "", {0, 257, 304, 32}, 19, true},
};

constexpr int Key(KeypadKey k) {
    return kKeypadKeyId + static_cast<int>(k);
}

constexpr ControlDef kKeypad[] = {
    {Key(KeypadKey::OpenBracket), -1, Kind::Button, "(", {6, 6, 32, 24}, 16, false},
    {Key(KeypadKey::CloseBracket), -1, Kind::Button, ")", {46, 6, 32, 24}, 16, false},
    {Key(KeypadKey::Times), -1, Kind::Button, "×", {86, 6, 32, 24}, 16, false},
    {Key(KeypadKey::Divide), -1, Kind::Button, "/", {126, 6, 32, 24}, 16, false},
    {Key(KeypadKey::Digit7), -1, Kind::Button, "7", {6, 38, 32, 24}, 16, false},
    {Key(KeypadKey::Digit8), -1, Kind::Button, "8", {46, 38, 32, 24}, 16, false},
    {Key(KeypadKey::Digit9), -1, Kind::Button, "9", {86, 38, 32, 24}, 16, false},
    {Key(KeypadKey::Plus), -1, Kind::Button, "+", {126, 38, 32, 24}, 16, false},
    {Key(KeypadKey::Digit4), -1, Kind::Button, "4", {6, 70, 32, 24}, 16, false},
    {Key(KeypadKey::Digit5), -1, Kind::Button, "5", {46, 70, 32, 24}, 16, false},
    {Key(KeypadKey::Digit6), -1, Kind::Button, "6", {86, 70, 32, 24}, 16, false},
    {Key(KeypadKey::Minus), -1, Kind::Button, "-", {126, 70, 32, 24}, 16, false},
    {Key(KeypadKey::Digit1), -1, Kind::Button, "1", {6, 102, 32, 24}, 16, false},
    {Key(KeypadKey::Digit2), -1, Kind::Button, "2", {46, 102, 32, 24}, 19, false},
    {Key(KeypadKey::Digit3), -1, Kind::Button, "3", {86, 102, 32, 24}, 16, false},
    {Key(KeypadKey::Equals), -1, Kind::Button, "=", {126, 102, 32, 56}, 16, false},
    {Key(KeypadKey::Digit0), -1, Kind::Button, "0", {6, 134, 32, 24}, 16, false},
    {Key(KeypadKey::Point), -1, Kind::Button, ".", {46, 134, 32, 24}, 16, false},
    {Key(KeypadKey::Backspace), -1, Kind::Button, "←", {86, 134, 32, 24}, 16, false},
    {kKeypadBarId, -1, Kind::Divider, "", {-10, 163, 190, 3}, 0, false},
    // Six characters need 72 pixels at the 12-pixel height: a pixel more than designed.
    {kKeypadLabelId, -1, Kind::Label, "结果金额大写", {47, 171, 72, 24}, 0, false},
    {kKeypadMoneyId, -1, Kind::ReadOnlyMulti, "", {3, 198, 160, 91}, 14, false},
};

}  // namespace

std::span<const ControlDef> MainControls() {
    return kMain;
}

std::span<const ControlDef> KeypadControls() {
    return kKeypad;
}

Rect BusyStripRect(int page) {
    return page == 4 ? Rect{0, 221, 0, 32} : Rect{0, 55, 0, 24};
}

}  // namespace tarnu::win32
