// Where the calculator keeps its files on Windows: as on other systems, beside the program
// when its folder is writable, otherwise in %APPDATA%\tarnucalc.
#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "locations.h"
#include "wide_text.h"

namespace tarnu {

namespace {

std::string join(const std::string &dir, const char *name) {
    if (dir.empty()) return name;
    char last = dir.back();
    return last == '\\' || last == '/' ? dir + name : dir + "\\" + name;
}

// Folder permissions cannot be read off an attribute: try to create a file there.
bool writable(const std::string &dir) {
    std::wstring probe = widen(join(dir, ".tarnu-probe"));
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

std::string configDirectory() {
    const wchar_t *appData = _wgetenv(L"APPDATA");
    if (appData && *appData) return join(narrow(appData), "tarnucalc");
    return join(workingDirectory(), "tarnucalc");
}

}  // namespace

Locations resolveLocations(const std::string &programDir, const std::string &workingDir) {
    bool besideProgram = !programDir.empty() && writable(programDir);
    std::string dataDir = besideProgram ? programDir : configDirectory();
    Locations l;
    l.settingsFile = join(dataDir, "配置.ini");
    l.historyFile = join(dataDir, "计算记录.txt");
    l.formulaDir = join(workingDir, "公式");
    l.skinDir = join(workingDir, "skin");
    return l;
}

std::string programDirectory() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return "";
        if (n < buf.size()) {
            std::wstring path(buf.data(), n);
            size_t sep = path.find_last_of(L"\\/");
            return sep == std::wstring::npos ? "" : narrow(path.substr(0, sep));
        }
        buf.resize(buf.size() * 2);  // a long path: the name was cut
    }
}

std::string workingDirectory() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> buf(n + 1);
    if (n == 0 || GetCurrentDirectoryW(n + 1, buf.data()) == 0) return ".";
    return narrow(buf.data());
}

}  // namespace tarnu
#endif
