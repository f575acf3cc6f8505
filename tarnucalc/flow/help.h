// The fixed text of the help page, shared by every window.
#pragma once

namespace tarnu {

// UTF-8, "\n" line breaks.
extern const char kHelpText[];

}  // namespace tarnu
