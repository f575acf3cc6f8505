#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <climits>

#include "text_convert.h"

namespace tarnu {

namespace {

// GB18030 is code page 54936. A system without it (Wine) gets code page 936, GBK: the same
// one- and two-byte characters, which hold all of GB2312, without the four-byte ones.
UINT gbCodePage() {
    static const UINT cp = IsValidCodePage(54936) ? 54936 : 936;
    return cp;
}

enum class Charset { Utf8, Gb18030, Utf16Le, Utf16Be, Unknown };

Charset charsetOf(const char *name) {
    std::string n = name;
    if (n == "UTF-8") return Charset::Utf8;
    if (n == "GB18030") return Charset::Gb18030;
    if (n == "UTF-16LE") return Charset::Utf16Le;
    if (n == "UTF-16BE") return Charset::Utf16Be;
    return Charset::Unknown;
}

bool isHigh(wchar_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLow(wchar_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Multi-byte text of a code page to UTF-16, refusing what the code page does not define.
bool fromCodePage(UINT cp, const char *p, size_t n, std::wstring &w) {
    if (n == 0) return true;
    if (n > INT_MAX) return false;
    int len = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), nullptr, 0);
    if (len <= 0) return false;
    size_t at = w.size();
    w.resize(at + static_cast<size_t>(len));
    MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, p, static_cast<int>(n), &w[at], len);
    return true;
}

bool toCodePage(UINT cp, const wchar_t *p, size_t n, std::string &out) {
    if (n == 0) return true;
    if (n > INT_MAX) return false;
    // Only UTF-8 and 54936 refuse what they cannot hold; other code pages report that they
    // put a default character in its place.
    bool reports = cp == CP_UTF8 || cp == 54936;
    DWORD flags = reports ? WC_ERR_INVALID_CHARS : 0;
    BOOL defaulted = FALSE;
    BOOL *usedDefault = reports ? nullptr : &defaulted;
    int len =
        WideCharToMultiByte(cp, flags, p, static_cast<int>(n), nullptr, 0, nullptr, usedDefault);
    if (len <= 0 || defaulted) return false;
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(len));
    WideCharToMultiByte(cp, flags, p, static_cast<int>(n), &out[at], len, nullptr, nullptr);
    return true;
}

bool decodeUtf16(const std::string &in, size_t from, size_t n, bool le, std::wstring &w) {
    if (n % 2) return false;
    size_t at = w.size();
    for (size_t i = from; i < from + n; i += 2) {
        auto a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
        w += static_cast<wchar_t>(le ? a | b << 8 : b | a << 8);
    }
    // Surrogates must come in pairs, high then low.
    for (size_t i = at; i < w.size(); ++i) {
        if (isLow(w[i])) return false;
        if (isHigh(w[i]) && (i + 1 == w.size() || !isLow(w[++i]))) return false;
    }
    return true;
}

bool decode(Charset cs, const std::string &in, size_t from, size_t n, std::wstring &w) {
    switch (cs) {
        case Charset::Utf8:
            return fromCodePage(CP_UTF8, in.data() + from, n, w);
        case Charset::Gb18030:
            return fromCodePage(gbCodePage(), in.data() + from, n, w);
        case Charset::Utf16Le:
        case Charset::Utf16Be:
            return decodeUtf16(in, from, n, cs == Charset::Utf16Le, w);
        default:
            return false;
    }
}

bool encode(Charset cs, const wchar_t *p, size_t n, std::string &out) {
    switch (cs) {
        case Charset::Utf8:
            return toCodePage(CP_UTF8, p, n, out);
        case Charset::Gb18030:
            return toCodePage(gbCodePage(), p, n, out);
        case Charset::Utf16Le:
        case Charset::Utf16Be:
            for (size_t i = 0; i < n; ++i) {
                if (isLow(p[i])) return false;
                if (isHigh(p[i]) && (i + 1 == n || !isLow(p[++i]))) return false;
            }
            for (size_t i = 0; i < n; ++i) {
                char lo = static_cast<char>(p[i] & 0xFF), hi = static_cast<char>(p[i] >> 8);
                out += cs == Charset::Utf16Le ? lo : hi;
                out += cs == Charset::Utf16Le ? hi : lo;
            }
            return true;
        default:
            return false;
    }
}

// Bytes the character at in[i] takes in the charset, or 0 when no length gives one.
size_t characterAt(Charset cs, const std::string &in, size_t i, std::wstring &w) {
    static const size_t kLengths[] = {1, 2, 3, 4};
    for (size_t n : kLengths) {
        if (i + n > in.size()) break;
        if ((cs == Charset::Utf16Le || cs == Charset::Utf16Be) && n % 2) continue;
        w.clear();
        if (decode(cs, in, i, n, w)) return n;
    }
    return 0;
}

}  // namespace

bool convertText(const char *to, const char *from, const std::string &in, std::string &out,
                 bool strict, const std::string &replacement, size_t unit) {
    Charset src = charsetOf(from), dst = charsetOf(to);
    out.clear();
    if (src == Charset::Unknown || dst == Charset::Unknown) return false;
    std::wstring wide;
    if (decode(src, in, 0, in.size(), wide) && encode(dst, wide.data(), wide.size(), out))
        return true;
    out.clear();
    if (strict) return false;
    // Character by character: what does not convert becomes the replacement.
    for (size_t i = 0; i < in.size();) {
        size_t n = characterAt(src, in, i, wide);
        std::string piece;
        if (n > 0 && encode(dst, wide.data(), wide.size(), piece)) {
            out += piece;
            i += n;
        } else {
            out += replacement;
            i += std::min(unit, in.size() - i);
        }
    }
    return true;
}

}  // namespace tarnu
#endif
