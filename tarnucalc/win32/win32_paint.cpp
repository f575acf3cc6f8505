// Themes: colours handed out through the controls' colour messages, and push buttons drawn
// by the window while a theme is on. Theme 0 (无) keeps the system's look throughout.
// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <uxtheme.h>
// clang-format on

#include "control_ids.h"
#include "win32_view.h"

namespace tarnu::win32 {

namespace {

bool IsEdit(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Edit") == 0;
}

}  // namespace

Colour Win32View::windowColour() const {
    return theme_ ? Theme(theme_).window : GetSysColor(COLOR_BTNFACE);
}

Colour Win32View::baseColour() const {
    return theme_ ? Theme(theme_).base : GetSysColor(COLOR_WINDOW);
}

HBRUSH Win32View::brush(Colour colour) {
    HBRUSH &b = brushes_[colour];
    if (!b) b = CreateSolidBrush(colour);
    return b;
}

LRESULT Win32View::paintControl(HDC dc, HWND ctl, UINT msg) {
    int boxIndex = -1;
    for (int b = 0; b < static_cast<int>(colours_.size()); ++b) {
        if (box(static_cast<Box>(b)) == ctl) boxIndex = b;
    }
    // Read-only boxes ask with WM_CTLCOLORSTATIC but are boxes all the same.
    const bool field = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX ||
                       (msg == WM_CTLCOLORSTATIC && IsEdit(ctl));
    if (theme_ == 0) {
        HWND parent = GetParent(ctl);
        const LRESULT system = DefWindowProcW(parent, msg, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(ctl));
        if (boxIndex >= 0) {
            const Colour background = field && msg != WM_CTLCOLORSTATIC
                                          ? GetSysColor(COLOR_WINDOW)
                                          : GetSysColor(COLOR_BTNFACE);
            SetTextColor(dc, LegibleOn(colours_[static_cast<std::size_t>(boxIndex)], background));
        }
        return system;
    }
    const ThemeColours &t = Theme(theme_);
    const Colour background = field ? t.base : t.window;
    const Colour text = boxIndex >= 0
                            ? LegibleOn(colours_[static_cast<std::size_t>(boxIndex)], background)
                            : t.text;
    SetTextColor(dc, text);
    SetBkColor(dc, background);
    SetBkMode(dc, OPAQUE);
    return reinterpret_cast<LRESULT>(brush(background));
}

// Push buttons while a theme is on: face, edges, caption and focus frame.
bool Win32View::drawButton(const DRAWITEMSTRUCT &item) {
    if (item.CtlType != ODT_BUTTON || theme_ == 0) return false;
    const ThemeColours &t = Theme(theme_);
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    FillRect(dc, &r, brush(pressed ? t.highlight : t.button));
    HPEN light = CreatePen(PS_SOLID, 1, pressed ? t.dark : t.light);
    HPEN dark = CreatePen(PS_SOLID, 1, pressed ? t.light : t.dark);
    HGDIOBJ old = SelectObject(dc, light);
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, dark);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left, r.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(light);
    DeleteObject(dark);
    wchar_t caption[64] = {};
    GetWindowTextW(item.hwndItem, caption, 64);
    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(
        dc, LegibleOn(pressed ? Colour{0xFFFFFF} : t.buttonText, pressed ? t.highlight : t.button));
    if (pressed) OffsetRect(&r, 1, 1);
    DrawTextW(dc, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    if (item.itemState & ODS_FOCUS) {
        RECT f = item.rcItem;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
    return true;
}

// With a theme, push buttons are drawn by the window, and check boxes and lists drop the
// visual style that would ignore the theme's text colour.
void Win32View::useThemeLook(HWND ctl, const ControlDef &def) {
    if (theme_ == 0) return;
    if (def.kind == Kind::Button) SendMessageW(ctl, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
    if (def.kind == Kind::Check || def.kind == Kind::DropList || def.kind == Kind::Multi ||
        def.kind == Kind::ReadOnlyMulti || def.kind == Kind::Line)
        SetWindowTheme(ctl, L"", L"");
}

void Win32View::applySkin(const std::string &skinFile) {
    theme_ = ThemeFromFile(skinFile);
    for (const auto &[id, def] : defs_) useThemeLook(control(id), *def);
    RedrawWindow(main_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    if (keypad_)
        RedrawWindow(keypad_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

}  // namespace tarnu::win32
