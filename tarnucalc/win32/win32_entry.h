// What the program's main() needs of the Windows window besides tarnu::runWindow
// (window_entry.h).
#ifndef TARNU_WIN32_WIN32_ENTRY_H
#define TARNU_WIN32_WIN32_ENTRY_H

#include "engine.h"

namespace tarnu::win32 {

// When the program was started as the window's calculation helper (one argument,
// "--engine-host"), serves `engine` over its standard input and output and returns the
// exit status; otherwise returns -1 at once.
int ServeEngineIfAsked(int argc, char **argv, Engine &engine);

}  // namespace tarnu::win32

#endif
