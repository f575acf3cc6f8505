#include "calculator_process.h"

#include <thread>
#include <vector>

#include "control_ids.h"

namespace tarnu::win32::testing {

bool WaitFor(const std::function<bool()> &condition, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(50);
    }
    return true;
}

namespace {

struct Search {
    DWORD pid;
    const wchar_t *cls;
    HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM data) {
    auto *s = reinterpret_cast<Search *>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (pid == s->pid && lstrcmpW(cls, s->cls) == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD pid, const wchar_t *cls) {
    Search s{pid, cls, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

CalculatorProcess::CalculatorProcess(const std::wstring &exe, const std::wstring &dir) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.c_str(), &si, &info_))
        return;
    WaitFor(
        [this] {
            main_ = FindProcessWindow(info_.dwProcessId, kMainClass);
            return main_ && IsWindowVisible(main_);
        },
        30000);  // the first program on a new display waits for the desktop
    if (main_) settle();
}

CalculatorProcess::~CalculatorProcess() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 9);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
}

HWND CalculatorProcess::control(int id) const {
    if (id >= kKeypadKeyId && id <= kKeypadBarId) return GetDlgItem(keypad(), id);
    return GetDlgItem(main_, id);
}

HWND CalculatorProcess::keypad() const {
    return FindProcessWindow(info_.dwProcessId, kKeypadClass);
}

std::wstring CalculatorProcess::text(int id) const {
    HWND h = control(id);
    const auto length = SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(h, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

COLORREF CalculatorProcess::colour(int id) const {
    return static_cast<COLORREF>(SendMessageW(main_, kQueryColourMessage, id, 0));
}

bool CalculatorProcess::busy() const {
    return SendMessageW(main_, kQueryBusyMessage, 0, 0) == 1;
}

void CalculatorProcess::settle() const {
    WaitFor([this] {
        // Sent messages overtake posted ones: a posted ping, once counted, tells that
        // the keys the calculator posted to itself have been handled too.
        const LRESULT before = SendMessageW(main_, kQueryPingsMessage, 0, 0);
        PostMessageW(main_, kPingMessage, 0, 0);
        return WaitFor([&] { return SendMessageW(main_, kQueryPingsMessage, 0, 0) > before; },
                       10000) &&
               !busy();
    });
}

// Sent, not posted: a posted key would also be turned into a character by the calculator's
// own message loop, with the keyboard state of that moment.
void CalculatorProcess::type(int id, const std::wstring &text) {
    HWND h = control(id);
    for (wchar_t c : text) {
        const WPARAM vk = static_cast<WPARAM>(VkKeyScanW(c) & 0xFF);
        SendMessageW(h, WM_KEYDOWN, vk, 1);
        SendMessageW(h, WM_CHAR, c, 1);
        SendMessageW(h, WM_KEYUP, vk, 0xC0000001);
    }
}

void CalculatorProcess::press(int id, WPARAM vk, wchar_t c) {
    HWND h = control(id);
    SendMessageW(h, WM_KEYDOWN, vk, 1);
    if (c) SendMessageW(h, WM_CHAR, c, 1);
    SendMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

void CalculatorProcess::pressAsync(int id, WPARAM vk, wchar_t c) {
    HWND h = control(id);
    SendNotifyMessageW(h, WM_KEYDOWN, vk, 1);
    if (c) SendNotifyMessageW(h, WM_CHAR, c, 1);
    SendNotifyMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

void CalculatorProcess::post(int id, WPARAM vk) {
    HWND h = control(id);
    PostMessageW(h, WM_KEYDOWN, vk, 1);
    PostMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

void CalculatorProcess::click(int id) {
    SendMessageW(control(id), BM_CLICK, 0, 0);
    settle();
}

void CalculatorProcess::clickKeypad(int id) {
    SendMessageW(GetDlgItem(keypad(), id), BM_CLICK, 0, 0);
    settle();
}

bool CalculatorProcess::checked(int id) const {
    return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

DWORD CalculatorProcess::waitExit(int ms) {
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

DWORD CalculatorProcess::close() {
    PostMessageW(main_, WM_CLOSE, 0, 0);
    return waitExit(10000);
}

bool SaveScreen(const std::wstring &path) {
    const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, GetSystemMetrics(SM_XVIRTUALSCREEN),
           GetSystemMetrics(SM_YVIRTUALSCREEN), SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3),
                size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER file{
        0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0,
        0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    bool ok = false;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD put = 0;
        ok = WriteFile(out, &file, sizeof file, &put, nullptr) &&
             WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &put, nullptr) &&
             WriteFile(out, bits, size, &put, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace tarnu::win32::testing
