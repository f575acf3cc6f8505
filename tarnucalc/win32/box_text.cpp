#include "box_text.h"

#include <algorithm>

namespace tarnu::win32 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char16_t kShownCr = 0x240D;

// Length of the sequence a lead byte opens and its payload bits; 0 for no lead byte.
int SequenceLength(unsigned char lead, char32_t &bits) {
    if (lead < 0x80) return bits = lead, 1;
    if (lead >= 0xC2 && lead < 0xE0) return bits = lead & 0x1F, 2;
    if (lead >= 0xE0 && lead < 0xF0) return bits = lead & 0x0F, 3;
    if (lead >= 0xF0 && lead < 0xF5) return bits = lead & 0x07, 4;
    return 0;
}

// Decodes one character at `i` and advances past it; ill-formed input advances by one
// byte and gives U+FFFD.
char32_t Decode(const std::string &s, std::size_t &i) {
    char32_t c = 0;
    const int n = SequenceLength(static_cast<unsigned char>(s[i]), c);
    if (n == 0 || i + n > s.size()) return ++i, kReplacement;
    for (int k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return ++i, kReplacement;
        c = c << 6 | (b & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return ++i, kReplacement;
    i += n;
    return c;
}

void Encode(char32_t c, std::string &out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::u16string Utf16(const std::string &utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = Decode(utf8, i);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf8(const std::u16string &utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = kReplacement;
        }
        Encode(c, out);
    }
    return out;
}

std::u16string ToMultiLine(const std::string &utf8) {
    const std::u16string plain = Utf16(utf8);
    std::u16string out;
    out.reserve(plain.size() + plain.size() / 8);
    for (char16_t c : plain) {
        if (c == u'\n')
            out += u"\r\n";
        else
            out += c == u'\r' ? kShownCr : c;
    }
    return out;
}

std::string FromMultiLine(const std::u16string &boxText) {
    std::u16string plain;
    plain.reserve(boxText.size());
    for (std::size_t i = 0; i < boxText.size(); ++i) {
        const char16_t c = boxText[i];
        if (c == u'\r' && i + 1 < boxText.size() && boxText[i + 1] == u'\n') continue;
        plain += c == kShownCr ? u'\r' : c;
    }
    return Utf8(plain);
}

int LineAt(const std::u16string &boxText, std::size_t position) {
    const auto end =
        boxText.begin() + static_cast<std::ptrdiff_t>(std::min(position, boxText.size()));
    return static_cast<int>(std::count(boxText.begin(), end, u'\n'));
}

std::u16string DialogFilter(const std::string &filter) {
    std::u16string out = Utf16(filter);
    std::replace(out.begin(), out.end(), u'|', u'\0');
    out.push_back(u'\0');
    out.push_back(u'\0');
    return out;
}

}  // namespace tarnu::win32
