#ifdef _WIN32
#include "wide_text.h"

#include <windows.h>

#include <climits>

namespace tarnu {

std::wstring widen(const std::string &utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) return {};
    int n = static_cast<int>(utf8.size());
    int len = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, nullptr, 0);
    std::wstring w;
    if (len <= 0) {
        // Not UTF-8: each byte stands for itself rather than the name being lost.
        for (unsigned char c : utf8) w += static_cast<wchar_t>(c);
        return w;
    }
    w.resize(static_cast<size_t>(len));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, w.data(), len);
    return w;
}

std::string narrow(const std::wstring &wide) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    int n = static_cast<int>(wide.size());
    // A lone surrogate from the system becomes U+FFFD.
    int len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(len > 0 ? len : 0), '\0');
    if (len > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), len, nullptr, nullptr);
    return out;
}

}  // namespace tarnu
#endif
