// File texts: GB18030 on disk (the superset of GB2312, in which the files are written on
// Windows), UTF-8 in the program. A file that starts with a UTF-8 byte-order mark is UTF-8, and so
// is one whose bytes beyond ASCII are all valid UTF-8 (what a UTF-8 editor writes).
#ifndef TARNU_STORAGE_ENCODING_H
#define TARNU_STORAGE_ENCODING_H

#include <string>

namespace tarnu {

enum class FileEncoding {
    Gb18030,
    Utf8Bom,  // kept when the file is written back
    Utf8,     // no mark: a file written by a UTF-8 editor, kept so when written back
    Utf16Le,  // with its byte-order mark, as Windows editors save "Unicode" text
    Utf16Be,
};

// True when bytes start with a UTF-16 byte-order mark (their NUL bytes are no text end).
bool isUtf16(const std::string &bytes);

// Decodes file bytes to UTF-8 and tells which encoding they were in. Bytes that fit no
// encoding come out as U+FFFD.
std::string decodeFileText(const std::string &bytes, FileEncoding *encoding);

// Encodes UTF-8 text for a file in the given encoding, with its byte-order mark. What the
// encoding cannot hold becomes "?" (writeTextFile avoids that).
std::string encodeFileText(const std::string &utf8, FileEncoding encoding);

// A part of a file without its byte-order mark, in a known encoding. Decoding gives U+FFFD
// for what does not fit; encoding is false when the encoding cannot hold the whole text
// (GB18030 has no code for a few private-use characters).
std::string decodePiece(const std::string &bytes, FileEncoding encoding);
bool encodePiece(const std::string &utf8, FileEncoding encoding, std::string &out);
std::string byteOrderMark(FileEncoding encoding);

// Length in bytes of the character at s[i] in GB18030 (1, 2 or 4).
size_t gb18030CharLength(const std::string &s, size_t i);

bool isValidUtf8(const std::string &s);

}  // namespace tarnu

#endif
