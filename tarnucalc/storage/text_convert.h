// Conversion between the character sets of the calculator's files: "UTF-8", "GB18030",
// "UTF-16LE" and "UTF-16BE". Through iconv on POSIX systems, through the Windows code-page
// calls (GB18030 is code page 54936) on Windows.
#ifndef TARNU_STORAGE_TEXT_CONVERT_H
#define TARNU_STORAGE_TEXT_CONVERT_H

#include <string>

namespace tarnu {

// In strict mode a character that does not convert fails the whole text; otherwise it
// becomes `replacement` and conversion goes on after `unit` bytes (a UTF-16 unit is two
// bytes: skipping one would read every later unit askew).
bool convertText(const char *to, const char *from, const std::string &in, std::string &out,
                 bool strict, const std::string &replacement, size_t unit = 1);

}  // namespace tarnu

#endif
