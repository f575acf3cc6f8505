#include "encoding.h"

#include <errno.h>
#include <iconv.h>

namespace tarnu {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

// Converts with iconv. In strict mode a byte that does not convert fails the whole text;
// otherwise it becomes the replacement text and conversion goes on.
bool convert(const char *to, const char *from, const std::string &in, std::string &out, bool strict,
             const std::string &replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    std::string input = in;
    char *ip = input.data();
    size_t il = input.size();
    char buf[4096];
    bool ok = true;
    while (il > 0) {
        char *op = buf;
        size_t ol = sizeof buf;
        size_t rc = iconv(cd, &ip, &il, &op, &ol);
        out.append(buf, static_cast<size_t>(op - buf));
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (strict) {
            ok = false;
            break;
        }
        // EILSEQ or EINVAL (a cut sequence at the end): skip one byte.
        out += replacement;
        ++ip;
        --il;
    }
    if (ok) {
        char *op = buf;
        size_t ol = sizeof buf;
        iconv(cd, nullptr, nullptr, &op, &ol);
        out.append(buf, static_cast<size_t>(op - buf));
    }
    iconv_close(cd);
    return ok;
}

bool hasNonAscii(const std::string &s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

}  // namespace

bool isValidUtf8(const std::string &s) {
    std::string out;
    return convert("UTF-8", "UTF-8", s, out, true, "");
}

bool isUtf16(const std::string &bytes) {
    return bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
}

std::string decodeFileText(const std::string &bytes, FileEncoding *encoding) {
    std::string out;
    if (isUtf16(bytes)) {
        bool little = bytes[0] == '\xFF';
        *encoding = little ? FileEncoding::Utf16Le : FileEncoding::Utf16Be;
        convert("UTF-8", little ? "UTF-16LE" : "UTF-16BE", bytes.substr(2), out, false,
                "\xEF\xBF\xBD");
        return out;
    }
    if (bytes.compare(0, 3, kBom) == 0) {
        *encoding = FileEncoding::Utf8Bom;
        convert("UTF-8", "UTF-8", bytes.substr(3), out, false, "\xEF\xBF\xBD");
        return out;
    }
    // Text from a UTF-8 editor mostly passes as GB18030 too, as nonsense characters, while
    // GB2312 text with Chinese in it is almost never valid UTF-8: valid UTF-8 with
    // characters beyond ASCII is UTF-8.
    if (hasNonAscii(bytes) && isValidUtf8(bytes)) {
        *encoding = FileEncoding::Utf8;
        return bytes;
    }
    *encoding = FileEncoding::Gb18030;
    if (convert("UTF-8", "GB18030", bytes, out, true, "")) return out;
    convert("UTF-8", "GB18030", bytes, out, false, "\xEF\xBF\xBD");
    return out;
}

std::string encodeFileText(const std::string &utf8, FileEncoding encoding) {
    std::string out;
    switch (encoding) {
        case FileEncoding::Gb18030:
            convert("GB18030", "UTF-8", utf8, out, false, "?");
            return out;
        case FileEncoding::Utf8Bom:
            return kBom + utf8;
        case FileEncoding::Utf8:
            return utf8;
        case FileEncoding::Utf16Le:
            convert("UTF-16LE", "UTF-8", utf8, out, false, "?");
            return "\xFF\xFE" + out;
        case FileEncoding::Utf16Be:
            convert("UTF-16BE", "UTF-8", utf8, out, false, "?");
            return "\xFE\xFF" + out;
    }
    return utf8;
}

size_t gb18030CharLength(const std::string &s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80 || i + 1 >= s.size()) return 1;
    unsigned char d = static_cast<unsigned char>(s[i + 1]);
    if (d >= 0x30 && d <= 0x39 && i + 3 < s.size()) return 4;
    return 2;
}

}  // namespace tarnu
