// The fixed text of the help page (编辑框4).
#ifndef TARNU_WIN32_HELP_TEXT_H
#define TARNU_WIN32_HELP_TEXT_H

namespace tarnu::win32 {

// UTF-8, "\n" line breaks.
extern const char kHelpText[];

}  // namespace tarnu::win32

#endif
