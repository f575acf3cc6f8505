// A window kept in memory: the console front end runs the controller on it, and tests
// drive and inspect it. Dialog answers are queued in advance.
#ifndef TARNU_FLOW_MEMORY_VIEW_H
#define TARNU_FLOW_MEMORY_VIEW_H

#include <deque>
#include <map>
#include <vector>

#include "controller.h"
#include "view.h"

namespace tarnu {

class MemoryView : public View {
  public:
    struct BoxState {
        std::string text;
        size_t selStart = 0, selEnd = 0;  // byte offsets
        Colour colour = 0;
    };

    MemoryView();

    std::string text(Box box) const override { return boxes_.at(box).text; }
    void setText(Box box, const std::string &text) override;
    Colour textColour(Box box) const override { return boxes_.at(box).colour; }
    void setTextColour(Box box, Colour colour) override { boxes_[box].colour = colour; }
    void replaceSelection(Box box, const std::string &text) override;
    void appendText(Box box, const std::string &text) override;
    void focus(Box box) override { focused = box; }
    void sendKey(Box box, EditKey key) override;
    int caretLine(Box box) const override;

    FontChoice historyFont() const override { return font; }
    void setHistoryFont(const FontChoice &f) override { font = f; }
    void setFormulaCaption(const std::string &text) override { caption = text; }

    bool checked(Check box) const override { return checks.at(static_cast<size_t>(box)); }
    void setChecked(Check box, bool on) override { checks.at(static_cast<size_t>(box)) = on; }

    int digitsIndex() const override { return digits; }
    void setDigitsIndex(int index) override { digits = index; }
    std::string digitsText() const override;
    int skinIndex() const override { return skin; }
    void setSkinIndex(int index) override { skin = index; }
    std::string skinText() const override;

    int currentPage() const override { return page; }
    void showPage(int p) override { page = p; }

    void setClipboard(const std::string &text) override { clipboard.push_back(text); }

    std::string openFileDialog(const FileDialogOptions &options) override;
    std::string saveFileDialog(const FileDialogOptions &options) override;
    std::optional<FontChoice> fontDialog(const FontChoice &initial) override;
    void showFatalMessage(const std::string &text) override { fatal = text; }

    Rect mainGeometry() const override { return main; }
    void setMainGeometry(const Rect &rect) override { main = rect; }
    void setAlwaysOnTop(bool on) override { onTop = on; }
    void applyLayout(const MainLayout &l) override { layout = l; }
    Size screenSize() const override { return screen; }

    bool keypadExists() const override { return keypadOpen; }
    void createKeypad() override;
    void destroyKeypad() override { keypadOpen = false; }
    Rect keypadGeometry() const override { return keypad; }
    void setKeypadGeometry(const Rect &rect) override { keypad = rect; }

    void applySkin(const std::string &skinFile) override { appliedSkin = skinFile; }

    // Test helpers.
    void setCaret(Box box, size_t pos) { boxes_[box].selStart = boxes_[box].selEnd = pos; }
    void select(Box box, size_t start, size_t end) {
        boxes_[box].selStart = start;
        boxes_[box].selEnd = end;
    }
    size_t caret(Box box) const { return boxes_.at(box).selStart; }
    // Types text into a box as a user would: each character through the key handler.
    void type(Controller &c, const std::string &text);

    Box focused = Box::Expression;
    FontChoice font;
    std::string caption;
    std::vector<bool> checks = std::vector<bool>(kCheckCount + 1, false);
    int digits = 0;
    int skin = 0;
    int page = 0;
    std::vector<std::string> clipboard;     // every text put there, oldest first
    std::deque<std::string> dialogAnswers;  // "" cancels
    std::vector<FileDialogOptions> dialogsShown;
    std::optional<FontChoice> fontAnswer;
    std::optional<FontChoice> fontOffered;
    std::string fatal;
    Rect main{50, 50, 312, 330};
    bool onTop = false;
    MainLayout layout;
    Size screen{1920, 1080};
    bool keypadOpen = false;
    Rect keypad{50, 50, 172, 330};
    std::string appliedSkin;

  private:
    std::string nextAnswer(const FileDialogOptions &options);
    std::map<Box, BoxState> boxes_;
};

}  // namespace tarnu

#endif
