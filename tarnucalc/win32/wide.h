// UTF-8 texts of the controller as the wide strings of the Windows calls, and back.
#ifndef TARNU_WIN32_WIDE_H
#define TARNU_WIN32_WIDE_H

#include <windows.h>

#include <string>

#include "box_text.h"

namespace tarnu::win32 {

inline std::wstring Wide(const std::u16string &s) {
    return {s.begin(), s.end()};
}
inline std::wstring Wide(const std::string &utf8) {
    return Wide(Utf16(utf8));
}
inline std::u16string Units(const std::wstring &s) {
    return {s.begin(), s.end()};
}
inline std::string Narrow(const std::wstring &s) {
    return Utf8(Units(s));
}

// The whole text of a window or control.
inline std::wstring WindowText(HWND hwnd) {
    if (!hwnd) return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace tarnu::win32

#endif
