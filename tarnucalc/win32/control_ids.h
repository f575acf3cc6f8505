// Control identifiers of the calculator's windows. The window test program finds the
// controls by them (GetDlgItem), so they are part of the window's outside face: keep them.
#ifndef TARNU_WIN32_CONTROL_IDS_H
#define TARNU_WIN32_CONTROL_IDS_H

namespace tarnu::win32 {

inline constexpr wchar_t kMainClass[] = L"TarnuCalcMain";
inline constexpr wchar_t kKeypadClass[] = L"TarnuCalcKeypad";
inline constexpr wchar_t kBusyClass[] = L"TarnuCalcBusy";

enum ControlId : int {
    // Page 0
    kExpressionId = 101,  // 编辑框1
    kCacheButtonId,       // 按钮2 "缓存"
    kCacheId,             // 编辑框3
    kCacheUpId,           // 按钮3 "↑"
    kClearExpressionId,   // 按钮4 "C↑"
    kClearHistoryId,      // 按钮5 "C↓"
    kCompactId,           // 按钮1 "<"
    kWideId,              // 按钮6 ">"
    kFunctionsId,         // 组合框3
    kHistoryId,           // 编辑框2
    // Page 1
    kSkinsId,        // 组合框2
    kSkinLabelId,    // 标签1
    kDigitsId,       // 组合框1
    kDigitsLabelId,  // 标签2
    kFontButtonId,   // 字体设置按钮
    kSaveButtonId,   // 保存按钮
    // Page 2
    kHelpId,  // 编辑框4
    // Page 4
    kDividerId,         // 分隔条1
    kFormulaCaptionId,  // 标签5
    kFormulaEditorId,   // 编辑框5
    kCalcFormulaId,     // 按钮7
    kOpenFormulaId,     // 按钮10
    kSaveFormulaId,     // 按钮11
    kResultLabelId,     // 标签6
    kFormulaResultId,   // 编辑框6
    // The running-calculation strip
    kBusyStripId,
    kBusyLabelId,
    kBusyCancelId,
};

// 超级按钮1 … 超级按钮5: kPageButtonId + page.
inline constexpr int kPageButtonId = 201;
// 选择框1 … 选择框10: kCheckBoxId + number.
inline constexpr int kCheckBoxId = 300;
// Keypad keys in the order of tarnu::KeypadKey: kKeypadKeyId + key.
inline constexpr int kKeypadKeyId = 400;
inline constexpr int kKeypadMoneyId = 450;  // the keypad's 编辑框1
inline constexpr int kKeypadLabelId = 451;
inline constexpr int kKeypadBarId = 452;

// Asks the main window for a box's text colour (wParam: control id); the answer is the
// COLORREF the controller set. For the window tests, which cannot see colours otherwise.
inline constexpr unsigned kQueryColourMessage = 0x8000 + 40;  // WM_APP + 40
// Asks whether a calculation is running (1) or not (0).
inline constexpr unsigned kQueryBusyMessage = 0x8000 + 41;
// Posted, counts itself; the count is asked with kQueryPingsMessage. A test that sees its
// ping counted knows that everything it posted before has been handled.
inline constexpr unsigned kPingMessage = 0x8000 + 42;
inline constexpr unsigned kQueryPingsMessage = 0x8000 + 43;

}  // namespace tarnu::win32

#endif
