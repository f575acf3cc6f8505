#ifndef _WIN32
#include "locations.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace tarnu {

namespace {

std::string configDirectory() {
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/tarnucalc";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/tarnucalc";
}

std::string join(const std::string &dir, const char *name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace

Locations resolveLocations(const std::string &programDir, const std::string &workingDir) {
    // An installed program's directory is not writable; its user's files go to the
    // configuration directory instead, and are read from where they are written.
    bool besideProgram = !programDir.empty() && access(programDir.c_str(), W_OK) == 0;
    std::string dataDir = besideProgram ? programDir : configDirectory();
    Locations l;
    l.settingsFile = join(dataDir, "配置.ini");
    l.historyFile = join(dataDir, "计算记录.txt");
    l.formulaDir = join(workingDir, "公式");
    l.skinDir = join(workingDir, "skin");
    return l;
}

std::string programDirectory() {
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "";
    std::string path(buf.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
}

std::string workingDirectory() {
    std::vector<char> buf(PATH_MAX + 1);
    if (!getcwd(buf.data(), buf.size())) return ".";
    return buf.data();
}

}  // namespace tarnu
#endif
