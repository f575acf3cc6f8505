// The user's events: window messages turned into controller calls.
// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <utility>

#include "control_ids.h"
#include "private_messages.h"
#include "win32_view.h"

namespace tarnu::win32 {

namespace {

Win32View *ViewOf(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto *self =
            static_cast<Win32View *>(reinterpret_cast<CREATESTRUCTW *>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return self;
    }
    return reinterpret_cast<Win32View *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

KeyKind KindOf(WPARAM vk) {
    if (vk == VK_RETURN) return KeyKind::Enter;
    if (vk == VK_DELETE) return KeyKind::Delete;
    return KeyKind::Other;
}

// The digit keys of the main keyboard (not the numeric keypad's) are told apart by the
// character they give: a digit, or a bracket (Shift+9 and Shift+0 on most layouts), starts
// a new expression like the keypad's bracket keys; other characters, such as the "*" of
// Shift+8, are operators that continue one.
bool DigitKey(WPARAM vk) {
    return vk >= '0' && vk <= '9';
}

KeyKind KindOfCharacter(WPARAM c) {
    return (c >= L'0' && c <= L'9') || c == L'(' || c == L')' ? KeyKind::MainDigit : KeyKind::Other;
}

bool SingleLine(int id) {
    return id == kExpressionId || id == kCacheId || id == kFormulaResultId;
}

}  // namespace

LRESULT CALLBACK Win32View::MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32View *self = ViewOf(hwnd, msg, lp);
    if (!self || !self->main_) return DefWindowProcW(hwnd, msg, wp, lp);
    return self->mainMessage(msg, wp, lp);
}

LRESULT CALLBACK Win32View::KeypadProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32View *self = ViewOf(hwnd, msg, lp);
    if (!self || !self->keypad_) return DefWindowProcW(hwnd, msg, wp, lp);
    return self->keypadMessage(msg, wp, lp);
}

LRESULT CALLBACK Win32View::BusyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32View *self = ViewOf(hwnd, msg, lp);
    if (self && msg == WM_COMMAND && LOWORD(wp) == kBusyCancelId) {
        self->cancelCalculation();
        return 0;
    }
    if (self && msg == WM_CTLCOLORSTATIC) {
        SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_INFOBK));
        SetTextColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_INFOTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
    }
    if (msg == WM_ERASEBKGND) {
        RECT r{};
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_INFOBK));
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32View::forward(const std::function<void(Controller &)> &event) {
    if (!controller_ || busy_) return;
    event(*controller_);
}

bool Win32View::themeMessage(HWND self, UINT msg, WPARAM wp, LPARAM lp, LRESULT &result) {
    switch (msg) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            result = paintControl(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg);
            return true;
        case WM_DRAWITEM:
            result = TRUE;
            return drawButton(*reinterpret_cast<const DRAWITEMSTRUCT *>(lp));
        case WM_ERASEBKGND:
            if (theme_ == 0) return false;
            RECT r{};
            GetClientRect(self, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, brush(windowColour()));
            result = 1;
            return true;
    }
    return false;
}

LRESULT Win32View::mainMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (LRESULT result; themeMessage(main_, msg, wp, lp, result)) return result;
    switch (msg) {
        case WM_COMMAND:
            command(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_MOVE:
            if (settingGeometry_) return 0;
            if (busy_)
                movePending_ = true;
            else
                forward([](Controller &c) { c.onMainMoved(); });
            return 0;
        case WM_SIZE:
            placeBusyStrip();
            if (busy_) {
                resizePending_ = true;
            } else {
                const Rect r = mainGeometry();
                forward([r](Controller &c) { c.onResize(r.width, r.height); });
            }
            return 0;
        case WM_ACTIVATE:
            // An ordinary window does not give the focus back to its control by itself.
            if (LOWORD(wp) != WA_INACTIVE && lastFocus_ && control(lastFocus_))
                SetFocus(control(lastFocus_));
            return 0;
        case WM_CLOSE:
            closeRequested();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_TIMER:
            if (wp == kBusyTimer) {
                KillTimer(main_, kBusyTimer);
                busyDots_ = 0;
                placeBusyStrip();
                ShowWindow(busyStrip_, SW_SHOWNOACTIVATE);
                SetTimer(main_, kDotsTimer, 400, nullptr);
            } else if (wp == kDotsTimer) {
                // A few moving dots show that the program is alive, not hung.
                busyDots_ = (busyDots_ + 1) % 4;
                SetWindowTextW(control(kBusyLabelId),
                               (std::wstring(L"正在计算") + std::wstring(busyDots_, L'…')).c_str());
            }
            return 0;
        case WM_DPICHANGED:
            dpiChanged(HIWORD(wp), *reinterpret_cast<const RECT *>(lp));
            return 0;
        case kJobDoneMessage:
            jobDone_ = true;
            PostMessageW(main_, WM_NULL, 0, 0);  // wakes the job's loop if a drag held it
            return 0;
        case kAfterJobMessage:
            afterJob();
            return 0;
        case kQueryColourMessage:
            for (int b = 0; b < static_cast<int>(colours_.size()); ++b) {
                if (box(static_cast<Box>(b)) == control(static_cast<int>(wp)))
                    return static_cast<LRESULT>(colours_[static_cast<std::size_t>(b)]);
            }
            return -1;
        case kQueryBusyMessage:
            return busy_ ? 1 : 0;
        case kPingMessage:
            ++pings_;
            return 0;
        case kQueryPingsMessage:
            return pings_;
        default:
            break;
    }
    return DefWindowProcW(main_, msg, wp, lp);
}

void Win32View::command(int id, int code) {
    using C = Controller;
    if (code == EN_SETFOCUS) {
        lastFocus_ = id;
        return;
    }
    if (id >= kPageButtonId && id < kPageButtonId + 5 && code == BN_CLICKED) {
        const int page = id - kPageButtonId;
        forward([page](C &c) { c.onPageButton(page); });
        markPage();
        return;
    }
    if (id > kCheckBoxId && id <= kCheckBoxId + 10 && code == BN_CLICKED) {
        const auto box = static_cast<Check>(id - kCheckBoxId);
        forward([box](C &c) { c.onCheckBox(box); });
        return;
    }
    if (id == kSkinsId && code == CBN_SELCHANGE) {
        const int i = skinIndex();
        forward([i](C &c) { c.onSkinSelected(i); });
        return;
    }
    if (id == kFunctionsId && code == CBN_SELENDOK) {
        HWND list = control(kFunctionsId);
        const int i = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
        // No entry stays chosen, so the same function can be chosen again.
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        if (i >= 0) forward([i](C &c) { c.onFunctionChosen(i); });
        return;
    }
    if (code != BN_CLICKED) return;
    static const std::pair<int, void (C::*)()> kButtons[] = {
        {kCacheButtonId, &C::onCacheButton},
        {kCacheUpId, &C::onCacheUpButton},
        {kClearExpressionId, &C::onClearExpressionButton},
        {kClearHistoryId, &C::onClearHistoryButton},
        {kCompactId, &C::onCompactButton},
        {kWideId, &C::onWideButton},
        {kSaveButtonId, &C::onSaveSettingsButton},
        {kFontButtonId, &C::onFontButton},
        {kCalcFormulaId, &C::onCalculateFormulaButton},
        {kOpenFormulaId, &C::onOpenFormulaButton},
        {kSaveFormulaId, &C::onSaveFormulaButton},
    };
    for (const auto &[button, method] : kButtons) {
        if (id == button) forward([method](C &c) { (c.*method)(); });
    }
}

LRESULT Win32View::keypadMessage(UINT msg, WPARAM wp, LPARAM lp) {
    HWND self = keypad_;
    if (LRESULT result; themeMessage(self, msg, wp, lp, result)) return result;
    switch (msg) {
        case WM_COMMAND: {
            const int id = LOWORD(wp);
            if (HIWORD(wp) == BN_CLICKED && id >= kKeypadKeyId &&
                id <= kKeypadKeyId + static_cast<int>(KeypadKey::Equals)) {
                const auto key = static_cast<KeypadKey>(id - kKeypadKeyId);
                forward([key](Controller &c) { c.onKeypadKey(key); });
                // The keys never keep the focus: typing goes on where it was.
                if (keypad_ && lastFocus_ && control(lastFocus_)) SetFocus(control(lastFocus_));
            }
            return 0;
        }
        case WM_MOVE:
            if (settingGeometry_) return 0;
            if (busy_)
                keypadMovePending_ = true;
            else
                forward([](Controller &c) { c.onKeypadMoved(); });
            return 0;
        case WM_CLOSE:
            DestroyWindow(self);
            return 0;
        case WM_DESTROY:
            for (const ControlDef &def : KeypadControls()) {
                controls_.erase(def.id);
                defs_.erase(def.id);
            }
            keypad_ = nullptr;
            markPage();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(self, msg, wp, lp);
}

LRESULT CALLBACK Win32View::BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                    DWORD_PTR data) {
    auto *self = reinterpret_cast<Win32View *>(data);
    switch (msg) {
        case WM_KEYDOWN:
            if (wp == 'A' && GetKeyState(VK_CONTROL) < 0) {
                SendMessageW(hwnd, EM_SETSEL, 0, -1);
                self->swallowChar_ = true;
                return 0;
            }
            self->digitKeyDown_ = DigitKey(wp);
            if (!self->digitKeyDown_ && self->boxKey(static_cast<int>(id), KindOf(wp))) {
                self->swallowChar_ = true;
                return 0;
            }
            break;
        case WM_CHAR:
            if (std::exchange(self->digitKeyDown_, false) &&
                self->boxKey(static_cast<int>(id), KindOfCharacter(wp)))
                return 0;
            // The character of a consumed key, and Enter in a one-line box, which would beep.
            if (std::exchange(self->swallowChar_, false) && (wp == L'\r' || wp == 1)) return 0;
            if (SingleLine(static_cast<int>(id)) && (wp == L'\r' || wp == L'\n')) return 0;
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, BoxProc, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// True when the key is consumed.
bool Win32View::boxKey(int id, KeyKind kind) {
    if (!controller_ || busy_) return false;
    if (id == kExpressionId) return controller_->onExpressionKey(kind);
    if (id == kFormulaResultId) return controller_->onFormulaResultKey(kind);
    if (id == kHistoryId && kind == KeyKind::Enter) {
        cancelled_ = false;
        controller_->onHistoryEnter();
        // A cancelled recalculation leaves the line as it was, without the line break.
        return cancelled_;
    }
    return false;
}

void Win32View::closeRequested() {
    if (busy_) {
        // Closing waits for the cancelled cycle to end; the controller is inside it.
        closePending_ = true;
        cancelCalculation();
        return;
    }
    if (controller_) controller_->onClose();
    destroyKeypad();
    DestroyWindow(main_);
}

void Win32View::dpiChanged(int dpi, const RECT &suggested) {
    dpi_ = static_cast<UINT>(dpi > 0 ? dpi : 96);
    dropFonts();
    settingGeometry_ = true;
    SetWindowPos(main_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    settingGeometry_ = false;
    setHistoryFont(historyFont_);
    placeControls();
    if (keypad_) {
        placeKeypadControls();
        const Rect k = keypadGeometry();
        setKeypadGeometry({k.left, k.top, kKeypadDesign.width, kKeypadDesign.height});
    }
}

}  // namespace tarnu::win32
