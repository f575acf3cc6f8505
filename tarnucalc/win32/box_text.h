// Texts between the controller (UTF-8, "\n" line breaks) and the edit controls (UTF-16,
// "\r\n" line breaks). Kept free of Windows calls so that the rules can be checked
// anywhere.
#ifndef TARNU_WIN32_BOX_TEXT_H
#define TARNU_WIN32_BOX_TEXT_H

#include <cstddef>
#include <string>

namespace tarnu::win32 {

// Bytes that are no UTF-8 and halves of surrogate pairs become U+FFFD.
std::u16string Utf16(const std::string &utf8);
std::string Utf8(const std::u16string &utf16);

// A multi-line box shows "\n" as its line break "\r\n". A carriage return of its own is
// no line break in the files' line form, but the box would draw it as one: it is shown
// as the CR symbol and read back as CR.
std::u16string ToMultiLine(const std::string &utf8);
std::string FromMultiLine(const std::u16string &boxText);

// The text line (0-based, lines split at "\n") holding a position of the box's text, so
// that a line wrapped on screen still counts as one.
int LineAt(const std::u16string &boxText, std::size_t position);

// "caption|pattern|caption|pattern" as the common dialogs want it: NUL-separated,
// ending in two NULs.
std::u16string DialogFilter(const std::string &filter);

}  // namespace tarnu::win32

#endif
