// Loading a library by file name and finding its procedures: dlopen on POSIX systems,
// LoadLibrary (with a wide-character name) on Windows.
#ifndef TARNU_FLOW_DYNAMIC_LIBRARY_H
#define TARNU_FLOW_DYNAMIC_LIBRARY_H

#include <string>

namespace tarnu {

// Null when the library cannot be loaded. A bare file name goes through the system's search.
void *loadLibrary(const std::string &path);
void *libraryProc(void *library, const char *exportName);
void unloadLibrary(void *library);

}  // namespace tarnu

#endif
