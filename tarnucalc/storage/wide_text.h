// UTF-8 text as the UTF-16 the Windows calls take, and back (Windows only). Paths are
// UTF-8 inside the program and wide at the system, so any name works in any locale.
#ifndef TARNU_STORAGE_WIDE_TEXT_H
#define TARNU_STORAGE_WIDE_TEXT_H
#ifdef _WIN32

#include <string>

namespace tarnu {

std::wstring widen(const std::string &utf8);
std::string narrow(const std::wstring &wide);

}  // namespace tarnu

#endif
#endif
