// The calculator's window as the controller sees it: one abstract class with small,
// toolkit-free virtual methods. The Qt window implements it; tests and the console front
// end use MemoryView (memory_view.h).
//
// Conventions every implementation keeps:
// - Texts are UTF-8. Multi-line boxes exchange "\n" line breaks (the files keep "\r\n";
//   the storage layer converts).
// - Setters never raise controller events: setChecked, setDigitsIndex, setSkinIndex,
//   setText, setMainGeometry and setKeypadGeometry must not call back into the
//   controller. Events come only from the user.
// - Caret positions and selections are the box's own business; the controller only asks
//   for the caret's text line and inserts at the caret.
#ifndef TARNU_FLOW_VIEW_H
#define TARNU_FLOW_VIEW_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarnu {

// Windows COLORREF layout: 0x00BBGGRR.
using Colour = std::uint32_t;
inline constexpr Colour InputColour = 0xFF0000;   // blue, while the user types
inline constexpr Colour ResultColour = 0x0000FF;  // red, a shown result

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect &) const = default;
};

struct Size {
    int width = 0, height = 0;
    bool operator==(const Size &) const = default;
};

// The edit boxes the controller reads and writes.
enum class Box {
    Expression,     // 编辑框1, one line
    History,        // 编辑框2, multi-line
    Cache,          // 编辑框3, one line
    FormulaEditor,  // 编辑框5, multi-line
    FormulaResult,  // 编辑框6, one line
    KeypadMoney,    // the keypad window's 编辑框1 (only while the keypad exists)
};

// The check boxes 选择框1 … 选择框10, by their number.
enum class Check : int {
    OnTop = 1,         // 选择框1 总在最前
    KeepZeros,         // 选择框2 保留"0"位
    CopyResult,        // 选择框3 自动复制结果
    SavePosition,      // 选择框4 保存窗口位置
    AutoSaveSettings,  // 选择框5 退出自动保存设置
    AutoSaveHistory,   // 选择框6 退出自动保存记录
    CopyExpression,    // 选择框7 自动复制算式
    MoneyText,         // 选择框8 结果显示大写
    ConvertOperators,  // 选择框9 */号转×÷号
    OnTopMirror,       // 选择框10, on page 0, mirrors 选择框1
};
inline constexpr int kCheckCount = 10;
inline constexpr bool IsCheck(Check c) {
    return static_cast<int>(c) >= 1 && static_cast<int>(c) <= kCheckCount;
}

// Simulated key presses sent to a box (Backspace for "←", Left after a function insert).
enum class EditKey { Backspace, Left };

// The font of the history box.
struct FontChoice {
    std::string face;
    int size = 0;
    Colour colour = 0;
    bool operator==(const FontChoice &) const = default;
};

struct FileDialogOptions {
    std::string initialDir;  // directory the dialog opens in
    std::string filter;      // "文本文件(*.txt)|*.txt" style: caption|pattern
    std::string defaultExt;  // ".txt" for saving, "" for opening
};

// Sizes the main window's boxes take after a resize; left and top edges never change.
struct MainLayout {
    int expressionWidth = 0;     // 编辑框1
    int formulaEditorWidth = 0;  // 编辑框5
    int formulaResultWidth = 0;  // 编辑框6
    Size tab;                    // 选择夹1
    Size history;                // 编辑框2
    Size help;                   // 编辑框4
    bool operator==(const MainLayout &) const = default;
};

class View {
  public:
    virtual ~View() = default;

    // Edit boxes.
    virtual std::string text(Box box) const = 0;
    virtual void setText(Box box, const std::string &text) = 0;  // caret to the end
    virtual Colour textColour(Box box) const = 0;
    virtual void setTextColour(Box box, Colour colour) = 0;
    // Replaces the selection (or inserts at the caret) with undo allowed.
    virtual void replaceSelection(Box box, const std::string &text) = 0;
    // Moves the caret to the end, scrolls to it and inserts text there.
    virtual void appendText(Box box, const std::string &text) = 0;
    virtual void focus(Box box) = 0;
    virtual void sendKey(Box box, EditKey key) = 0;
    // 0-based text line (split at "\n") holding the caret or the selection start.
    virtual int caretLine(Box box) const = 0;

    // History box font. A face of "" or a size of 0 (a settings file without font keys)
    // means the box's designed font for that part.
    virtual FontChoice historyFont() const = 0;
    virtual void setHistoryFont(const FontChoice &font) = 0;

    // 标签5, the formula caption.
    virtual void setFormulaCaption(const std::string &text) = 0;

    virtual bool checked(Check box) const = 0;
    virtual void setChecked(Check box, bool on) = 0;

    // 组合框1, digits kept: items "1" … "9".
    virtual int digitsIndex() const = 0;
    virtual void setDigitsIndex(int index) = 0;
    virtual std::string digitsText() const = 0;

    // 组合框2, skin selector: the entries of skinNames() (controller.h).
    virtual int skinIndex() const = 0;
    virtual void setSkinIndex(int index) = 0;
    virtual std::string skinText() const = 0;

    // Pages of 选择夹1: 0 计算, 1 设置, 2 帮助, 3 键盘, 4 公式.
    virtual int currentPage() const = 0;
    virtual void showPage(int page) = 0;

    virtual void setClipboard(const std::string &text) = 0;

    // Dialogs: a chosen path, or "" when cancelled.
    virtual std::string openFileDialog(const FileDialogOptions &options) = 0;
    virtual std::string saveFileDialog(const FileDialogOptions &options) = 0;
    // Preloaded with initial; nullopt when cancelled.
    virtual std::optional<FontChoice> fontDialog(const FontChoice &initial) = 0;
    // The run-time error box; the controller ends the process after it returns.
    virtual void showFatalMessage(const std::string &text) = 0;

    // Main window.
    virtual Rect mainGeometry() const = 0;  // outer frame
    virtual void setMainGeometry(const Rect &rect) = 0;
    virtual void setAlwaysOnTop(bool on) = 0;
    virtual void applyLayout(const MainLayout &layout) = 0;
    virtual Size screenSize() const = 0;

    // Keypad window ("小键盘"), owned by the main window, not modal.
    virtual bool keypadExists() const = 0;
    virtual void createKeypad() = 0;
    virtual void destroyKeypad() = 0;
    virtual Rect keypadGeometry() const = 0;
    virtual void setKeypadGeometry(const Rect &rect) = 0;

    // The theme for a skin file name of 组合框2's table ("无" or "" for none), applied
    // once at start-up.
    virtual void applySkin(const std::string &skinFile) { (void)skinFile; }

    // Runs one engine cycle. The default runs it here and now; a window may run it on a
    // worker thread while it stays responsive. Return false when the user cancelled it:
    // the controller then treats the calculation as not done. While the job runs the
    // controller touches nothing else, so the job is the only code using the engine.
    virtual bool runEngineJob(const std::function<void()> &job) {
        job();
        return true;
    }
};

}  // namespace tarnu

#endif
