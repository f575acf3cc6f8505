// What the program's main() needs of the Windows window besides tarnu::runWindow
// (window_entry.h).
#ifndef TARNU_WIN32_WIN32_ENTRY_H
#define TARNU_WIN32_WIN32_ENTRY_H

namespace tarnu::win32 {

// When the program was started as the window's calculation helper (one argument,
// "--engine-host"), binds the engine beside the program, serves it over standard input
// and output until the window lets go, and returns the exit status; otherwise returns -1
// at once. Called first thing in main(), before the arguments are read as the console's.
int ServeEngineIfAsked(int argc, char **argv);

}  // namespace tarnu::win32

#endif
