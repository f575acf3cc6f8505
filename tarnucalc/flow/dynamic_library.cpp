#include "dynamic_library.h"

#ifdef _WIN32
#include <windows.h>

#include "wide_text.h"
#else
#include <dlfcn.h>
#endif

namespace tarnu {

#ifdef _WIN32
void *loadLibrary(const std::string &path) {
    // No error box from the system for a missing or damaged file: the caller reports it.
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE h = LoadLibraryW(widen(path).c_str());
    SetErrorMode(mode);
    return reinterpret_cast<void *>(h);
}

void *libraryProc(void *library, const char *exportName) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), exportName));
}

void unloadLibrary(void *library) {
    FreeLibrary(static_cast<HMODULE>(library));
}
#else
void *loadLibrary(const std::string &path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void *libraryProc(void *library, const char *exportName) {
    return dlsym(library, exportName);
}

void unloadLibrary(void *library) {
    dlclose(library);
}
#endif

}  // namespace tarnu
