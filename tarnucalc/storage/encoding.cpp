#include "encoding.h"

#include <algorithm>

#include "text_convert.h"

namespace tarnu {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool hasNonAscii(const std::string &s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

}  // namespace

bool isValidUtf8(const std::string &s) {
    std::string out;
    return convertText("UTF-8", "UTF-8", s, out, true, "");
}

bool isUtf16(const std::string &bytes) {
    return bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
}

std::string byteOrderMark(FileEncoding encoding) {
    switch (encoding) {
        case FileEncoding::Utf8Bom:
            return kBom;
        case FileEncoding::Utf16Le:
            return "\xFF\xFE";
        case FileEncoding::Utf16Be:
            return "\xFE\xFF";
        default:
            return "";
    }
}

std::string decodePiece(const std::string &bytes, FileEncoding encoding) {
    std::string out;
    switch (encoding) {
        case FileEncoding::Gb18030:
            convertText("UTF-8", "GB18030", bytes, out, false, kReplacement);
            break;
        case FileEncoding::Utf8Bom:
        case FileEncoding::Utf8:
            convertText("UTF-8", "UTF-8", bytes, out, false, kReplacement);
            break;
        case FileEncoding::Utf16Le:
        case FileEncoding::Utf16Be:
            convertText("UTF-8", encoding == FileEncoding::Utf16Le ? "UTF-16LE" : "UTF-16BE", bytes,
                        out, false, kReplacement, 2);
            break;
    }
    return out;
}

bool encodePiece(const std::string &utf8, FileEncoding encoding, std::string &out) {
    switch (encoding) {
        case FileEncoding::Gb18030:
            return convertText("GB18030", "UTF-8", utf8, out, true, "");
        case FileEncoding::Utf16Le:
            return convertText("UTF-16LE", "UTF-8", utf8, out, true, "");
        case FileEncoding::Utf16Be:
            return convertText("UTF-16BE", "UTF-8", utf8, out, true, "");
        default:
            out = utf8;
            return true;
    }
}

std::string decodeFileText(const std::string &bytes, FileEncoding *encoding) {
    if (isUtf16(bytes)) {
        *encoding = bytes[0] == '\xFF' ? FileEncoding::Utf16Le : FileEncoding::Utf16Be;
        return decodePiece(bytes.substr(2), *encoding);
    }
    if (bytes.compare(0, 3, kBom) == 0) {
        *encoding = FileEncoding::Utf8Bom;
        return decodePiece(bytes.substr(3), *encoding);
    }
    // Text from a UTF-8 editor mostly passes as GB18030 too, as nonsense characters, while
    // GB2312 text with Chinese in it is almost never valid UTF-8: valid UTF-8 with
    // characters beyond ASCII is UTF-8.
    if (hasNonAscii(bytes) && isValidUtf8(bytes)) {
        *encoding = FileEncoding::Utf8;
        return bytes;
    }
    *encoding = FileEncoding::Gb18030;
    return decodePiece(bytes, *encoding);
}

std::string encodeFileText(const std::string &utf8, FileEncoding encoding) {
    std::string out;
    switch (encoding) {
        case FileEncoding::Gb18030:
            convertText("GB18030", "UTF-8", utf8, out, false, "?");
            return out;
        case FileEncoding::Utf8Bom:
            return kBom + utf8;
        case FileEncoding::Utf8:
            return utf8;
        case FileEncoding::Utf16Le:
            convertText("UTF-16LE", "UTF-8", utf8, out, false, "?");
            return "\xFF\xFE" + out;
        case FileEncoding::Utf16Be:
            convertText("UTF-16BE", "UTF-8", utf8, out, false, "?");
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
