// The calculator's behaviour, free of any toolkit: every user event of the main window
// and the keypad window is one method here, and all reading and writing of controls goes
// through View. The window only forwards events and draws.
#ifndef TARNU_FLOW_CONTROLLER_H
#define TARNU_FLOW_CONTROLLER_H

#include <array>
#include <functional>
#include <string>

#include "encoding.h"
#include "engine.h"
#include "locations.h"
#include "settings.h"
#include "view.h"

namespace tarnu {

// Keys as the expression box and the formula result box report them, before the box
// handles them. MainDigit is 0-9 of the main keyboard only (numeric keypad digits are
// Other).
enum class KeyKind { MainDigit, Enter, Delete, Other };

enum class KeypadKey {
    Digit0,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Digit7,
    Digit8,
    Digit9,
    Point,
    OpenBracket,
    CloseBracket,
    Plus,
    Minus,
    Times,
    Divide,
    Backspace,
    Equals
};

// Caption shown on a keypad key ("×" for Times, "←" for Backspace).
const char *keypadCaption(KeypadKey key);

// 组合框3, the function insertion list, in order.
inline constexpr std::array<const char *, 11> kFunctionEntries = {
    "sin()", "cos()", "tan()", "sqrt()", "lg()", "ln()", "exp()", "^", "^(1/3)", "^2", "^3"};

// 组合框2: entry text and skin file name, by index.
struct SkinEntry {
    const char *name;
    const char *file;
};
inline constexpr std::array<SkinEntry, 8> kSkins = {{{"无", "无"},
                                                     {"蓝", "qq2008.she"},
                                                     {"银", "skinh.she"},
                                                     {"深黑", "longhorn.she"},
                                                     {"浅黑", "storm.she"},
                                                     {"蓝黑", "darkroyale.she"},
                                                     {"深蓝", "compact.she"},
                                                     {"白", "dogmax.she"}}};

// 组合框1 items "1" … "9".
inline constexpr int kDigitsEntries = 9;

// The formula editor's text when no file has been opened.
inline constexpr const char *kDefaultFormulaText =
    "F(x,y)=x+y\nF(1,2)\n第1行为公式\n第2行为公式带值\n第3行以后可添加说明";

inline constexpr const char *kFormulaError = "公式有误";

class Controller {
  public:
    Controller(View &view, Engine &engine, Locations locations);

    // Main window created: settings, history, always-on-top, keypad, full size.
    void startUp();
    // Main window asked to close (never refused): save what is asked for, drop the keypad.
    void onClose();

    // Key-down in 编辑框1 / 编辑框6 before the box sees it; true when the key is consumed.
    bool onExpressionKey(KeyKind key);
    bool onFormulaResultKey(KeyKind key);
    // Enter pressed in the history box, before the box inserts its line break.
    void onHistoryEnter();

    void onKeypadKey(KeypadKey key);
    void onFunctionChosen(int index);  // 组合框3 selection changed

    // Page buttons 超级按钮1 … 超级按钮5 (page 3 is the keypad toggle).
    void onPageButton(int page);

    void onCacheButton();             // "缓存"
    void onCacheUpButton();           // "↑"
    void onClearExpressionButton();   // "C↑"
    void onClearHistoryButton();      // "C↓"
    void onCompactButton();           // "<"
    void onWideButton();              // ">"
    void onKeypadButton();            // "键盘"
    void onSaveSettingsButton();      // "保存设置"
    void onFontButton();              // "记录窗口字体设置"
    void onCalculateFormulaButton();  // "计算公式"
    void onOpenFormulaButton();       // "打开公式"
    void onSaveFormulaButton();       // "保存公式"

    // A check box was clicked; its new state is already in the view.
    void onCheckBox(Check box);
    void onSkinSelected(int index);  // 组合框2 selection changed

    void onMainMoved();
    void onKeypadMoved();
    void onResize(int width, int height);

    // The calculations themselves (also reached through the events above).
    void calculateExpression();
    void recalculateHistoryLine();
    void calculateFormula();

    const std::string &lastResult() const { return lastResult_; }
    // What the last of the three calculations added to the history ("1+2=3", or a
    // formula's two lines with "=" and the result), without line breaks at its end; empty
    // when it calculated nothing.
    const std::string &lastRecord() const { return lastRecord_; }
    bool keypadShown() const { return keypadShown_; }
    bool keypadDocked() const { return keypadDocked_; }
    Size fullSize() const { return {fullWidth_, fullHeight_}; }
    const Locations &locations() const { return locations_; }
    // The skin file read at start-up ("" when never chosen, "无" for none).
    const std::string &skinFile() const { return skinFile_; }

    // Told about every text the engine refused (the window shows nothing for them).
    using CompileErrorHandler = std::function<void(const std::string &text, const EngineResult &)>;
    void setCompileErrorHandler(CompileErrorHandler handler) { compileError_ = std::move(handler); }

    // What ends the process after the fatal message box (tests replace it).
    void setExitHandler(std::function<void(int)> handler) { exit_ = std::move(handler); }

  private:
    // Runs one engine cycle through the view; false when it failed to bind (the process
    // then ends) or the user cancelled it.
    bool runCycle(const std::function<EngineResult()> &cycle, EngineResult &out);
    void reportCompileError(const std::string &text, const EngineResult &r);
    std::string presentResult(double value) const;
    bool showsResult(Box box) const;
    bool handleResultBoxKey(Box box, KeyKind key);
    void showResult(const std::string &historyText, const std::string &copyText);
    void copyResult(const std::string &expressionText);
    void updateMoneyBox();
    void applySettings();
    Settings gatherSettings() const;
    void loadHistory();
    void saveHistory();
    void reopenFormula();
    void showFormulaFile(const std::string &path);
    void openKeypad();
    void snapKeypad(bool keypadMoved);

    View &view_;
    Engine &engine_;
    Locations locations_;
    std::function<void(int)> exit_;
    CompileErrorHandler compileError_;
    std::string lastResult_;
    std::string lastRecord_;
    std::string skinFile_;
    bool keypadShown_ = false;
    bool keypadDocked_ = false;
    int fullWidth_ = 0, fullHeight_ = 0;
    // History as loaded: an unchanged history is not written again, one that could not
    // be read is never overwritten, and the file keeps the encoding it had.
    std::string historyLoaded_;
    bool historyUnreadable_ = false;
    // The box holds less than the file did (text after a NUL byte, bytes that do not
    // decode): before it replaces the file, the file is kept as it was, with ".bak" added.
    bool historyPartial_ = false;
    FileEncoding historyEncoding_ = FileEncoding::Gb18030;
};

}  // namespace tarnu

#endif
