// The native Windows windows as the controller's view: creates the main window and the
// keypad from the layout table, reads and writes their controls for the controller,
// forwards the user's events to it, paints the themes through the controls' colour
// messages, and runs each engine cycle on a worker thread while the window stays
// responsive (a long one can be cancelled with Esc or the cancel button of the strip).
#ifndef TARNU_WIN32_WIN32_VIEW_H
#define TARNU_WIN32_WIN32_VIEW_H

#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <vector>

#include "controller.h"
#include "engine_pipe.h"
#include "layout_table.h"
#include "theme_colours.h"
#include "view.h"

namespace tarnu::win32 {

class Win32View : public View {
  public:
    explicit Win32View(EnginePipe &engine);
    ~Win32View() override;
    Win32View(const Win32View &) = delete;
    Win32View &operator=(const Win32View &) = delete;

    // Creates the main window (hidden) with every control.
    bool create(HINSTANCE instance);
    void attach(Controller &controller) { controller_ = &controller; }
    void show(int showCommand);
    HWND mainWindow() const { return main_; }

    // View
    std::string text(Box box) const override;
    void setText(Box box, const std::string &text) override;
    Colour textColour(Box box) const override;
    void setTextColour(Box box, Colour colour) override;
    void replaceSelection(Box box, const std::string &text) override;
    void appendText(Box box, const std::string &text) override;
    void focus(Box box) override;
    void sendKey(Box box, EditKey key) override;
    int caretLine(Box box) const override;
    FontChoice historyFont() const override { return historyFont_; }
    void setHistoryFont(const FontChoice &font) override;
    void setFormulaCaption(const std::string &text) override;
    bool checked(Check box) const override;
    void setChecked(Check box, bool on) override;
    int digitsIndex() const override;
    void setDigitsIndex(int index) override;
    std::string digitsText() const override;
    int skinIndex() const override;
    void setSkinIndex(int index) override;
    std::string skinText() const override;
    int currentPage() const override { return page_; }
    void showPage(int page) override;
    void setClipboard(const std::string &text) override;
    std::string openFileDialog(const FileDialogOptions &options) override;
    std::string saveFileDialog(const FileDialogOptions &options) override;
    std::optional<FontChoice> fontDialog(const FontChoice &initial) override;
    void showFatalMessage(const std::string &text) override;
    Rect mainGeometry() const override;
    void setMainGeometry(const Rect &rect) override;
    void setAlwaysOnTop(bool on) override;
    void applyLayout(const MainLayout &layout) override;
    Size screenSize() const override;
    bool keypadExists() const override { return keypad_ != nullptr; }
    void createKeypad() override;
    void destroyKeypad() override;
    Rect keypadGeometry() const override;
    void setKeypadGeometry(const Rect &rect) override;
    void applySkin(const std::string &skinFile) override;
    bool runEngineJob(const std::function<void()> &job) override;

    // Window procedures (run_window.cpp registers the classes).
    static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK KeypadProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK BusyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  private:
    // Controls and their drawing (win32_controls.cpp).
    HWND control(int id) const;
    HWND box(Box box) const;
    void buildControls(HWND parent, std::span<const ControlDef> defs);
    void placeControls();
    void placeKeypadControls();
    void buildBusyStrip();
    void placeBusyStrip();
    HFONT font(int pixels, bool bold);
    void dropFonts();
    double scale() const { return dpi_ / 96.0; }
    int px(int logical) const;
    int logical(int pixels) const;
    void markPage();

    // Theme painting (win32_paint.cpp).
    LRESULT paintControl(HDC dc, HWND control, UINT msg);
    bool drawButton(const DRAWITEMSTRUCT &item);
    // The theme's share of a window's messages (control colours, owner-drawn buttons,
    // the background), the same for the main window and the keypad: true when handled.
    bool themeMessage(HWND self, UINT msg, WPARAM wp, LPARAM lp, LRESULT &result);
    void useThemeLook(HWND control, const ControlDef &def);
    Colour windowColour() const;
    Colour baseColour() const;
    HBRUSH brush(Colour colour);

    // Events (win32_events.cpp).
    LRESULT mainMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT keypadMessage(UINT msg, WPARAM wp, LPARAM lp);
    void command(int id, int code);
    void forward(const std::function<void(Controller &)> &event);
    static LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                    DWORD_PTR self);
    bool boxKey(int id, KeyKind kind);
    void closeRequested();
    void dpiChanged(int dpi, const RECT &suggested);

    // Long calculations (win32_job.cpp).
    bool blockInput(const MSG &msg);
    void afterJob();
    void cancelCalculation();

    EnginePipe &engine_;
    Controller *controller_ = nullptr;
    HINSTANCE instance_ = nullptr;
    HWND main_ = nullptr, keypad_ = nullptr, busyStrip_ = nullptr;
    std::map<int, HWND> controls_;
    std::map<int, const ControlDef *> defs_;
    std::map<std::pair<int, bool>, HFONT> fonts_;
    HFONT historyFontHandle_ = nullptr;
    std::map<Colour, HBRUSH> brushes_;
    std::array<Colour, 6> colours_{};
    FontChoice historyFont_;
    MainLayout layout_;
    bool layoutSet_ = false;
    int page_ = 0;
    int theme_ = 0;
    UINT dpi_ = 96;
    int lastFocus_ = 0;          // id of the edit box that had the focus last
    bool swallowChar_ = false;   // the character of a key the controller consumed
    bool digitKeyDown_ = false;  // a digit key waits for its character
    bool settingGeometry_ = false;
    // A running calculation.
    bool busy_ = false;
    bool jobDone_ = false;
    bool cancelled_ = false;
    bool closePending_ = false;
    bool movePending_ = false;
    bool resizePending_ = false;
    bool keypadMovePending_ = false;
    int busyDots_ = 0;
    LRESULT pings_ = 0;
    std::vector<MSG> deferredKeys_;
};

}  // namespace tarnu::win32

#endif
