// Number to text and back.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "format.h"

namespace tarnu {

namespace {

// Appends the ASCII character a full-width (or otherwise foldable) code point stands for,
// exactly as the GB2312 rules fold row 0xA3 and the four characters of row 0xA1.
// Returns false when cp is not foldable.
bool foldCodePoint(char32_t cp, char &out) {
    if (cp >= 0xFF01 && cp <= 0xFF5D && cp != 0xFF04) {
        out = static_cast<char>(cp - 0xFEE0);
        return true;
    }
    switch (cp) {
        case 0xFFE5:
            out = '$';
            return true;  // ￥ sits where $ would in the row
        case 0xFFE3:
            out = '~';
            return true;  // ￣ likewise for ~
        case 0x3000:
            out = ' ';
            return true;  // ideographic space
        case 0xFF5E:
            out = '~';
            return true;  // full-width tilde
        case 0x2606:
        case 0x2605:
            out = '*';
            return true;  // white and black star
        default:
            return false;
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length (1 for a stray byte).
size_t decodeUtf8(std::string_view text, size_t i, char32_t &cp) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (len == 1 || i + len > text.size()) {
        cp = c;
        return 1;
    }
    cp = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        unsigned char t = static_cast<unsigned char>(text[i + k]);
        if ((t & 0xC0) != 0x80) {
            cp = c;
            return 1;
        }
        cp = (cp << 6) | (t & 0x3F);
    }
    return len;
}

}  // namespace

std::string FoldFullWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t len = decodeUtf8(text, i, cp);
        char ascii;
        if (len > 1 && foldCodePoint(cp, ascii))
            out += ascii;
        else
            out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The longest prefix of s (from i) that reads as sign, digits, point, exponent.
size_t scanNumber(const std::string &s, size_t i) {
    size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return start;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t e = i + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < s.size() && isDigit(s[e])) {
            while (e < s.size() && isDigit(s[e])) ++e;
            i = e;
        }
    }
    return i;
}

// "inf", "infinity" and "nan" after an optional sign, any case, as atof reads them, so
// the texts NumberToText writes for non-finite values read back as themselves (the
// money text of an infinite result is then the overflow text, not the text for zero).
double nonFinite(const std::string &s, size_t i) {
    bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    auto startsWith = [&](const char *word) {
        for (size_t k = 0; word[k]; ++k)
            if (i + k >= s.size() || std::tolower(static_cast<unsigned char>(s[i + k])) != word[k])
                return false;
        return true;
    };
    if (startsWith("inf")) return negative ? -HUGE_VAL : HUGE_VAL;
    if (startsWith("nan")) return std::nan("");
    return 0;
}

// Decimal exponent of the leading significant digit of the number text s[i, end), which
// is out of a double's range: positive for an overflow, negative for an underflow. The
// exponent alone does not tell, as in 1000…(400 digits)e-4.
long decimalMagnitude(const std::string &s, size_t i, size_t end) {
    constexpr long kCap = 100000000;  // far beyond any double, far from overflowing a long
    long magnitude = 0;
    bool significant = false, fraction = false;
    for (; i < end && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            fraction = true;
        } else if (significant) {
            if (!fraction && magnitude < kCap) ++magnitude;
        } else if (s[i] != '0') {
            significant = true;
            if (fraction) --magnitude;
        } else if (fraction && magnitude > -kCap) {
            --magnitude;
        }
    }
    if (i < end) {
        ++i;
        bool negative = s[i] == '-';
        if (s[i] == '+' || s[i] == '-') ++i;
        long exponent = 0;
        for (; i < end; ++i) exponent = std::min(exponent * 10 + (s[i] - '0'), kCap);
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
}

}  // namespace

double TextToNumber(std::string_view text) {
    std::string s = FoldFullWidth(text);
    size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    if (double special = nonFinite(s, i); special != 0) return special;
    size_t end = scanNumber(s, i);
    if (end == i) return 0;
    // from_chars takes no '+' and ignores the locale, unlike atof.
    bool negative = s[i] == '-';
    if (s[i] == '+' || s[i] == '-') ++i;
    double value = 0;
    auto r = std::from_chars(s.data() + i, s.data() + end, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range)
        value = decimalMagnitude(s, i, end) > 0 ? HUGE_VAL : 0.0;  // as atof: overflow or underflow
    return negative ? -value : value;
}

std::string NumberToText(double x) {
    if (std::isnan(x)) return "nan";
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 13);
    std::string s(buf, r.ptr);
    // The calculator has always written exponents with three digits: 1e+020.
    size_t e = s.find('e');
    if (e != std::string::npos) {
        size_t digits = s.size() - (e + 2);
        if (digits < 3) s.insert(e + 2, 3 - digits, '0');
    }
    return s;
}

double ThroughText(double x) {
    return std::isfinite(x) ? TextToNumber(NumberToText(x)) : x;
}

}  // namespace tarnu
