// The window's entry point: DPI awareness, common controls, the window classes, the
// controller on a native view, and the message loop.
// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "control_ids.h"
#include "locations.h"
#include "quorel_library.h"
#include "win32_entry.h"
#include "win32_view.h"
#include "window_entry.h"

namespace tarnu::win32 {

namespace {

void BecomeDpiAware() {
    // The manifest asks for it already; this covers a program started without it.
    using SetContext = BOOL(WINAPI *)(HANDLE);
    if (auto set = reinterpret_cast<SetContext>(reinterpret_cast<void *>(
            GetProcAddress(GetModuleHandleW(L"user32"), "SetProcessDpiAwarenessContext")))) {
        set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));  // per monitor, version 2
    }
}

bool RegisterClasses(HINSTANCE instance) {
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!icon) icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    struct Class {
        const wchar_t *name;
        WNDPROC proc;
        int background;
    };
    const Class classes[] = {{kMainClass, Win32View::MainProc, COLOR_BTNFACE},
                             {kKeypadClass, Win32View::KeypadProc, COLOR_BTNFACE},
                             {kBusyClass, Win32View::BusyProc, COLOR_INFOBK}};
    for (const Class &c : classes) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = c.proc;
        wc.hInstance = instance;
        wc.hIcon = icon;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(c.background + 1));
        wc.lpszClassName = c.name;
        if (!RegisterClassExW(&wc)) return false;
    }
    return true;
}

std::wstring ProgramPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

}  // namespace

int ServeEngineIfAsked(int argc, char **argv) {
    if (argc != 2 || std::string(argv[1]) != kEngineHostSwitch) return -1;
    QuorelLibrary engine(QuorelLibrary::defaultCandidates(programDirectory()));
    return ServeEngine(engine);
}

}  // namespace tarnu::win32

namespace tarnu {

int runWindow(int, char **, Engine &, const Locations &locations) {
    using namespace win32;
    // A console that was opened only for this program (it was not started from one) would
    // stand empty behind the window.
    DWORD consoleUsers[2];
    if (GetConsoleProcessList(consoleUsers, 2) == 1) FreeConsole();
    BecomeDpiAware();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance)) return 1;
    // Calculations run in a helper: the program itself, started for that purpose.
    EnginePipe engine(ProgramPath());
    Win32View view(engine);
    if (!view.create(instance)) return 1;
    Controller controller(view, engine, locations);
    controller.startUp();
    view.attach(controller);
    view.show(SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace tarnu
