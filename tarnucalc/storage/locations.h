// Where the calculator keeps its files.
#ifndef TARNU_STORAGE_LOCATIONS_H
#define TARNU_STORAGE_LOCATIONS_H

#include <string>

namespace tarnu {

struct Locations {
    std::string settingsFile;  // 配置.ini
    std::string historyFile;   // 计算记录.txt, read at start and written at close
    std::string formulaDir;    // 公式, where the formula dialogs open
    std::string skinDir;       // skin
};

// Settings and history beside the program when its directory is writable, otherwise in
// $XDG_CONFIG_HOME/tarnucalc (~/.config/tarnucalc). Formula and skin folders are in the
// working directory.
Locations resolveLocations(const std::string &programDir, const std::string &workingDir);

// Directory of the running program ("" when unknown).
std::string programDirectory();
std::string workingDirectory();

}  // namespace tarnu

#endif
