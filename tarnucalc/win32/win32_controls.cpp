// Building and placing the controls of both windows, scaled for the monitor's DPI.
// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>

#include "control_ids.h"
#include "help.h"
#include "wide.h"
#include "win32_view.h"

namespace tarnu::win32 {

namespace {

// The windows were drawn for 宋体; where it is missing another CJK family of similar
// metrics takes its place so that Chinese captions do not turn into boxes.
const wchar_t *const kFaces[] = {L"宋体",
                                 L"SimSun",
                                 L"NSimSun",
                                 L"新宋体",
                                 L"Microsoft YaHei",
                                 L"Noto Serif CJK SC",
                                 L"Noto Sans CJK SC",
                                 L"AR PL UMing CN",
                                 L"WenQuanYi Zen Hei",
                                 L"WenQuanYi Micro Hei",
                                 L"Droid Sans Fallback"};

int CALLBACK FoundFace(const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM found) {
    *reinterpret_cast<bool *>(found) = true;
    return 0;
}

const wchar_t *UiFace() {
    static const wchar_t *face = [] {
        HDC dc = GetDC(nullptr);
        const wchar_t *chosen = kFaces[0];
        for (const wchar_t *f : kFaces) {
            LOGFONTW lf{};
            lf.lfCharSet = DEFAULT_CHARSET;
            lstrcpynW(lf.lfFaceName, f, LF_FACESIZE);
            bool found = false;
            EnumFontFamiliesExW(dc, &lf, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
            if (found) {
                chosen = f;
                break;
            }
        }
        ReleaseDC(nullptr, dc);
        return chosen;
    }();
    return face;
}

DWORD StyleOf(Kind kind) {
    constexpr DWORD kChild = WS_CHILD | WS_CLIPSIBLINGS;
    switch (kind) {
        case Kind::Line:
            return kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
        case Kind::Multi:
            return kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                   ES_WANTRETURN | ES_NOHIDESEL;
        case Kind::ReadOnlyMulti:
            return kChild | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
        case Kind::Button:
            return kChild | BS_PUSHBUTTON;
        case Kind::Check:
            return kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
        case Kind::DropList:
            return kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        case Kind::Label:
            return kChild | SS_LEFT | SS_NOPREFIX;
        case Kind::Divider:
            return kChild | SS_ETCHEDHORZ;
    }
    return kChild;
}

const wchar_t *ClassOf(Kind kind) {
    switch (kind) {
        case Kind::Line:
        case Kind::Multi:
        case Kind::ReadOnlyMulti:
            return WC_EDITW;
        case Kind::Button:
        case Kind::Check:
            return WC_BUTTONW;
        case Kind::DropList:
            return WC_COMBOBOXW;
        case Kind::Label:
        case Kind::Divider:
            return WC_STATICW;
    }
    return WC_STATICW;
}

void AddItems(HWND combo, int id) {
    auto add = [combo](const std::string &s) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(s).c_str()));
    };
    if (id == kFunctionsId)
        for (const char *f : kFunctionEntries) add(f);
    if (id == kSkinsId)
        for (const SkinEntry &s : kSkins) add(s.name);
    if (id == kDigitsId)
        for (int i = 1; i <= kDigitsEntries; ++i) add(std::to_string(i));
}

}  // namespace

Win32View::Win32View(EnginePipe &engine) : engine_(engine) {}

Win32View::~Win32View() {
    if (keypad_) DestroyWindow(keypad_);
    if (main_) DestroyWindow(main_);
    dropFonts();
    if (historyFontHandle_) DeleteObject(historyFontHandle_);
    for (auto &[colour, b] : brushes_) DeleteObject(b);
}

HWND Win32View::control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

HFONT Win32View::font(int pixels, bool bold) {
    HFONT &f = fonts_[{pixels, bold}];
    if (!f) {
        f = CreateFontW(-px(pixels), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                        GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH, UiFace());
    }
    return f;
}

void Win32View::dropFonts() {
    for (auto &[key, f] : fonts_) DeleteObject(f);
    fonts_.clear();
}

bool Win32View::create(HINSTANCE instance) {
    instance_ = instance;
    const Rect d = kMainDesign;
    // The designed size is the outer frame, at 96 DPI; the window learns its real DPI once
    // it exists, and is then brought to the designed size for it.
    main_ = CreateWindowExW(0, kMainClass, Wide(std::string(kMainTitle)).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, d.left, d.top, d.width, d.height,
                            nullptr, nullptr, instance, this);
    if (!main_) return false;
    if (auto get = reinterpret_cast<UINT(WINAPI *)(HWND)>(reinterpret_cast<void *>(
            GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow"))))
        dpi_ = std::max(96u, get(main_));
    setMainGeometry(d);
    buildControls(main_, MainControls());
    // Lies beneath the buttons it overlaps.
    SetWindowPos(control(kFunctionsId), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowTextW(control(kHelpId), Wide(ToMultiLine(kHelpText)).c_str());
    SetWindowTextW(control(kFormulaEditorId), Wide(ToMultiLine(kDefaultFormulaText)).c_str());
    buildBusyStrip();
    placeControls();
    showPage(0);
    return true;
}

void Win32View::buildControls(HWND parent, std::span<const ControlDef> defs) {
    for (const ControlDef &def : defs) {
        HWND h = CreateWindowExW(0, ClassOf(def.kind), Wide(std::string(def.caption)).c_str(),
                                 StyleOf(def.kind) | (def.page < 0 ? WS_VISIBLE : 0), 0, 0, 1, 1,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.id)),
                                 instance_, nullptr);
        if (!h) continue;
        controls_[def.id] = h;
        defs_[def.id] = &def;
        if (def.kind == Kind::DropList) AddItems(h, def.id);
        if (def.kind == Kind::Line || def.kind == Kind::Multi) {
            // No silent cut at the edit control's default limit.
            SendMessageW(h, EM_SETLIMITTEXT, 0, 0);
            SetWindowSubclass(h, BoxProc, static_cast<UINT_PTR>(def.id),
                              reinterpret_cast<DWORD_PTR>(this));
        }
        useThemeLook(h, def);
    }
}

void Win32View::placeControls() {
    RECT client{};
    GetClientRect(main_, &client);
    for (const ControlDef &def : MainControls()) {
        Rect r = def.rect;
        if (layoutSet_) {
            switch (def.id) {
                case kExpressionId:
                    r.width = layout_.expressionWidth;
                    break;
                case kFormulaEditorId:
                    r.width = layout_.formulaEditorWidth;
                    break;
                case kFormulaResultId:
                    r.width = layout_.formulaResultWidth;
                    break;
                case kHistoryId:
                    r.width = layout_.history.width, r.height = layout_.history.height;
                    break;
                case kHelpId:
                    r.width = layout_.help.width, r.height = layout_.help.height;
                    break;
                default:
                    break;
            }
        }
        HWND h = control(def.id);
        if (def.id == kHistoryId && historyFontHandle_)
            SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(historyFontHandle_), FALSE);
        else
            SendMessageW(h, WM_SETFONT,
                         reinterpret_cast<WPARAM>(
                             font(def.fontPixels ? def.fontPixels : kDefaultFontPixels, def.bold)),
                         FALSE);
        // A box never reaches past the window's client area, nor shrinks to nothing.
        const int w =
            std::clamp(px(r.width), 1, std::max(1, static_cast<int>(client.right) - px(r.left)));
        const int hgt = def.kind == Kind::DropList ? px(r.height) + px(200) : px(r.height);
        SetWindowPos(h, nullptr, px(r.left), px(r.top), layoutSet_ ? w : px(r.width),
                     std::max(1, hgt), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    markPage();
    placeBusyStrip();
    InvalidateRect(main_, nullptr, TRUE);
}

void Win32View::placeKeypadControls() {
    for (const ControlDef &def : KeypadControls()) {
        HWND h = control(def.id);
        const int pixels = def.fontPixels ? def.fontPixels : kDefaultFontPixels;
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font(pixels, def.bold)), FALSE);
        SetWindowPos(h, nullptr, px(def.rect.left), px(def.rect.top), px(def.rect.width),
                     px(def.rect.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The current page's button (and the keypad button while the keypad is open) is drawn
// in bold: the strip stands in for the tab headers.
void Win32View::markPage() {
    for (int i = 0; i < 5; ++i) {
        const bool on = i == 3 ? keypad_ != nullptr : i == page_;
        HWND b = control(kPageButtonId + i);
        if (!b) continue;
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font(kDefaultFontPixels, on)), TRUE);
    }
}

void Win32View::buildBusyStrip() {
    busyStrip_ = CreateWindowExW(
        0, kBusyClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER, 0, 0, 1, 1, main_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBusyStripId)), instance_, this);
    HWND label = CreateWindowExW(
        0, WC_STATICW, L"正在计算", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 0, 0, 1, 1,
        busyStrip_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBusyLabelId)), instance_,
        nullptr);
    HWND cancel = CreateWindowExW(
        0, WC_BUTTONW, L"取消 (Esc)", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 1, 1, busyStrip_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBusyCancelId)), instance_, nullptr);
    controls_[kBusyStripId] = busyStrip_;
    controls_[kBusyLabelId] = label;
    controls_[kBusyCancelId] = cancel;
}

void Win32View::placeBusyStrip() {
    if (!busyStrip_) return;
    RECT client{};
    GetClientRect(main_, &client);
    const Rect r = BusyStripRect(page_);
    const int w = std::max(1, static_cast<int>(client.right)), h = px(r.height);
    SetWindowPos(busyStrip_, HWND_TOP, 0, px(r.top), w, h, SWP_NOACTIVATE);
    const int button = px(76);
    HFONT f = font(kDefaultFontPixels, false);
    for (int id : {kBusyLabelId, kBusyCancelId})
        SendMessageW(control(id), WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    SetWindowPos(control(kBusyLabelId), nullptr, px(6), 0, std::max(1, w - button - px(10)),
                 h - px(2), SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(control(kBusyCancelId), nullptr, w - button - px(2), px(1), button, h - px(4),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32View::show(int showCommand) {
    ShowWindow(main_, showCommand);
    UpdateWindow(main_);
    if (keypad_) ShowWindow(keypad_, SW_SHOWNOACTIVATE);
    focus(Box::Expression);
}

}  // namespace tarnu::win32
