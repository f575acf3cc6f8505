// The View methods: controls read and written for the controller.
#include "win32_view.h"

// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cmath>

#include "control_ids.h"
#include "wide.h"

namespace tarnu::win32 {

namespace {

int IdOf(Box box) {
    switch (box) {
        case Box::Expression:
            return kExpressionId;
        case Box::History:
            return kHistoryId;
        case Box::Cache:
            return kCacheId;
        case Box::FormulaEditor:
            return kFormulaEditorId;
        case Box::FormulaResult:
            return kFormulaResultId;
        case Box::KeypadMoney:
            return kKeypadMoneyId;
    }
    return 0;
}

bool MultiLine(Box box) {
    return box == Box::History || box == Box::FormulaEditor || box == Box::KeypadMoney;
}

std::wstring ForBox(Box box, const std::string &text) {
    return Wide(MultiLine(box) ? ToMultiLine(text) : Utf16(text));
}

void CaretToEnd(HWND h) {
    const int length = GetWindowTextLengthW(h);
    SendMessageW(h, EM_SETSEL, length, length);
    SendMessageW(h, EM_SCROLLCARET, 0, 0);
}

}  // namespace

HWND Win32View::box(Box b) const {
    return control(IdOf(b));
}

// ---- edit boxes ----

std::string Win32View::text(Box b) const {
    const std::wstring t = WindowText(box(b));
    return MultiLine(b) ? FromMultiLine(Units(t)) : Narrow(t);
}

void Win32View::setText(Box b, const std::string &text) {
    HWND h = box(b);
    if (!h) return;
    if (text.empty() && MultiLine(b)) {
        // Emptied as an edit, so that undo brings back a history cleared by a slip on "C↓".
        SendMessageW(h, EM_SETSEL, 0, -1);
        SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    } else {
        SetWindowTextW(h, ForBox(b, text).c_str());
    }
    CaretToEnd(h);
}

Colour Win32View::textColour(Box b) const {
    return colours_[static_cast<std::size_t>(b)];
}

void Win32View::setTextColour(Box b, Colour colour) {
    colours_[static_cast<std::size_t>(b)] = colour;
    if (b == Box::History) historyFont_.colour = colour;
    if (HWND h = box(b)) InvalidateRect(h, nullptr, TRUE);
}

void Win32View::replaceSelection(Box b, const std::string &text) {
    if (HWND h = box(b)) {
        const std::wstring w = ForBox(b, text);
        SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(w.c_str()));
    }
}

void Win32View::appendText(Box b, const std::string &text) {
    HWND h = box(b);
    if (!h) return;
    CaretToEnd(h);
    const std::wstring w = ForBox(b, text);
    SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(w.c_str()));
    SendMessageW(h, EM_SCROLLCARET, 0, 0);
}

void Win32View::focus(Box b) {
    HWND h = box(b);
    if (!h) return;
    if (b != Box::KeypadMoney && IsWindowVisible(main_) && GetActiveWindow() != main_)
        SetActiveWindow(main_);
    SetFocus(h);
}

// Like a key press, the key arrives after the current event has been handled and goes
// through the box's own key handling.
void Win32View::sendKey(Box b, EditKey key) {
    HWND h = box(b);
    if (!h) return;
    const WPARAM vk = key == EditKey::Backspace ? VK_BACK : VK_LEFT;
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | static_cast<LPARAM>(scan) << 16;
    PostMessageW(h, WM_KEYDOWN, vk, down);
    PostMessageW(h, WM_KEYUP, vk, down | 0xC0000000L);
}

int Win32View::caretLine(Box b) const {
    HWND h = box(b);
    if (!h) return 0;
    DWORD start = 0;
    SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return LineAt(Units(WindowText(h)), start);
}

// ---- history font, captions ----

void Win32View::setHistoryFont(const FontChoice &f) {
    historyFont_ = f;
    // A hand-edited size beyond any screen is drawn at a bound; the stored value stays.
    constexpr int kLargestPixels = 400;
    const int pixels = std::min(f.size > 0 ? f.size : 19, kLargestPixels);
    const std::wstring face = f.face.empty() ? std::wstring() : Wide(f.face);
    HFONT made = CreateFontW(-px(pixels), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, face.empty() ? nullptr : face.c_str());
    if (face.empty() && made) {
        DeleteObject(made);
        made = nullptr;
    }
    HFONT old = historyFontHandle_;
    historyFontHandle_ = made;
    if (HWND h = box(Box::History))
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(made ? made : font(pixels, false)),
                     TRUE);
    if (old) DeleteObject(old);
    setTextColour(Box::History, f.colour);
}

void Win32View::setFormulaCaption(const std::string &text) {
    SetWindowTextW(control(kFormulaCaptionId), Wide(text).c_str());
}

// ---- check boxes and selectors ----

bool Win32View::checked(Check box) const {
    if (!IsCheck(box)) return false;
    return SendMessageW(control(kCheckBoxId + static_cast<int>(box)), BM_GETCHECK, 0, 0) ==
           BST_CHECKED;
}

void Win32View::setChecked(Check box, bool on) {
    if (!IsCheck(box)) return;
    SendMessageW(control(kCheckBoxId + static_cast<int>(box)), BM_SETCHECK,
                 on ? BST_CHECKED : BST_UNCHECKED, 0);
}

namespace {

int Selected(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

void Select(HWND combo, int index) {
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    SendMessageW(combo, CB_SETCURSEL, index >= 0 && index < count ? index : -1, 0);
}

std::string SelectedText(HWND combo) {
    const int i = Selected(combo);
    if (i < 0) return {};
    std::wstring t(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    t.resize(static_cast<std::size_t>(
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(t.data()))));
    return Narrow(t);
}

}  // namespace

int Win32View::digitsIndex() const {
    return Selected(control(kDigitsId));
}
void Win32View::setDigitsIndex(int index) {
    Select(control(kDigitsId), index);
}
std::string Win32View::digitsText() const {
    return SelectedText(control(kDigitsId));
}
int Win32View::skinIndex() const {
    return Selected(control(kSkinsId));
}
void Win32View::setSkinIndex(int index) {
    Select(control(kSkinsId), index);
}
std::string Win32View::skinText() const {
    return SelectedText(control(kSkinsId));
}

// ---- pages ----

void Win32View::showPage(int page) {
    page_ = page;
    for (const ControlDef &def : MainControls()) {
        if (def.page >= 0) ShowWindow(control(def.id), def.page == page ? SW_SHOW : SW_HIDE);
    }
    markPage();
    placeBusyStrip();
}

// ---- clipboard ----

void Win32View::setClipboard(const std::string &text) {
    const std::wstring w = Wide(ToMultiLine(text));
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = OpenClipboard(main_)); ++attempt) Sleep(20);
    if (!open) return;
    EmptyClipboard();
    const SIZE_T bytes = (w.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void *p = GlobalLock(memory)) {
            std::copy_n(w.c_str(), w.size() + 1, static_cast<wchar_t *>(p));
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void Win32View::showFatalMessage(const std::string &text) {
    MessageBoxW(main_, Wide(text).c_str(), Wide(std::string(kMainTitle)).c_str(),
                MB_OK | MB_ICONERROR);
}

// ---- windows ----

int Win32View::px(int logical) const {
    return static_cast<int>(std::lround(logical * scale()));
}

int Win32View::logical(int pixels) const {
    return static_cast<int>(std::lround(pixels / scale()));
}

namespace {

Rect OuterRect(HWND h, double scale) {
    RECT r{};
    GetWindowRect(h, &r);
    auto l = [scale](LONG v) { return static_cast<int>(std::lround(v / scale)); };
    return {l(r.left), l(r.top), l(r.right - r.left), l(r.bottom - r.top)};
}

}  // namespace

Rect Win32View::mainGeometry() const {
    return OuterRect(main_, scale());
}

void Win32View::setMainGeometry(const Rect &r) {
    settingGeometry_ = true;
    SetWindowPos(main_, nullptr, px(r.left), px(r.top), px(std::max(1, r.width)),
                 px(std::max(1, r.height)), SWP_NOZORDER | SWP_NOACTIVATE);
    settingGeometry_ = false;
}

void Win32View::setAlwaysOnTop(bool on) {
    SetWindowPos(main_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32View::applyLayout(const MainLayout &l) {
    layout_ = l;
    layoutSet_ = true;
    placeControls();
}

Size Win32View::screenSize() const {
    return {logical(GetSystemMetrics(SM_CXSCREEN)), logical(GetSystemMetrics(SM_CYSCREEN))};
}

void Win32View::createKeypad() {
    if (keypad_) return;
    const Rect d = kKeypadDesign;
    keypad_ =
        CreateWindowExW(0, kKeypadClass, Wide(std::string(kKeypadTitle)).c_str(),
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, px(d.left), px(d.top),
                        px(d.width), px(d.height), main_, nullptr, instance_, this);
    if (!keypad_) return;
    buildControls(keypad_, KeypadControls());
    placeKeypadControls();
    markPage();
    if (IsWindowVisible(main_)) ShowWindow(keypad_, SW_SHOWNOACTIVATE);
}

void Win32View::destroyKeypad() {
    if (keypad_) DestroyWindow(keypad_);  // WM_DESTROY forgets it and its controls
}

Rect Win32View::keypadGeometry() const {
    return keypad_ ? OuterRect(keypad_, scale()) : Rect{};
}

void Win32View::setKeypadGeometry(const Rect &r) {
    if (!keypad_) return;
    settingGeometry_ = true;
    SetWindowPos(keypad_, nullptr, px(r.left), px(r.top), px(std::max(1, r.width)),
                 px(std::max(1, r.height)), SWP_NOZORDER | SWP_NOACTIVATE);
    settingGeometry_ = false;
}

}  // namespace tarnu::win32
