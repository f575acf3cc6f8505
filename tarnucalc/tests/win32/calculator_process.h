// Drives a running tarnucalc.exe from outside, as a user would: keys and clicks go to its
// controls as window messages, texts and states are read back the same way.
#ifndef TARNU_TESTS_WIN32_CALCULATOR_PROCESS_H
#define TARNU_TESTS_WIN32_CALCULATOR_PROCESS_H

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace tarnu::win32::testing {

// Waits up to `ms` for `condition`, pumping nothing (the calculator is another process).
bool WaitFor(const std::function<bool()> &condition, int ms = 8000);

class CalculatorProcess {
  public:
    // Starts `exe` with `dir` as working directory and waits for its main window.
    CalculatorProcess(const std::wstring &exe, const std::wstring &dir);
    ~CalculatorProcess();

    bool started() const { return main_ != nullptr; }
    HWND main() const { return main_; }
    HWND control(int id) const;
    HWND keypad() const;  // nullptr while it is closed

    std::wstring text(int id) const;
    COLORREF colour(int id) const;
    bool busy() const;
    // Characters as typed on the main keyboard: key down, character, key up.
    void type(int id, const std::wstring &text);
    // A key with its character (0: none), handled before the call returns.
    void press(int id, WPARAM vk, wchar_t c = 0);
    void enter(int id) { press(id, VK_RETURN, L'\r'); }
    // The same without waiting for the handler (it may run long).
    void pressAsync(int id, WPARAM vk, wchar_t c = 0);
    // Through the calculator's message queue, as a key of the keyboard comes.
    void post(int id, WPARAM vk);
    void click(int id);  // waits until the click has been handled
    void clickKeypad(int id);
    bool checked(int id) const;
    // Waits until the calculator has handled everything sent so far and no calculation
    // runs.
    void settle() const;
    // Asks the window to close and waits for the process to end; its exit code.
    DWORD close();
    DWORD waitExit(int ms);
    DWORD pid() const { return info_.dwProcessId; }

  private:
    PROCESS_INFORMATION info_{};
    HWND main_ = nullptr;
};

// The top-level window of class `cls` that belongs to process `pid`.
HWND FindProcessWindow(DWORD pid, const wchar_t *cls);

// The screen (the virtual desktop under Wine) as a 24-bit BMP file.
bool SaveScreen(const std::wstring &path);

}  // namespace tarnu::win32::testing

#endif
