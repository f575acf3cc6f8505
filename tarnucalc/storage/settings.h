// The calculator's settings and their keys in 配置.ini.
#ifndef TARNU_STORAGE_SETTINGS_H
#define TARNU_STORAGE_SETTINGS_H

#include <cstdint>
#include <string>

#include "profile.h"

namespace tarnu {

struct Settings {
    int digitsIndex = 0;              // 组合框1: index 0..8 keeps 1..9 decimals
    bool keepZeros = false;           // 选择框2
    bool alwaysOnTop = false;         // 选择框1
    bool copyResult = false;          // 选择框3
    bool copyExpression = false;      // 选择框7
    bool moneyText = false;           // 选择框8
    bool convertOperators = false;    // 选择框9
    bool savePosition = false;        // 选择框4
    int left = 0, top = 0;            // main window position
    bool saveSettingsOnExit = false;  // 选择框5
    bool saveHistoryOnExit = false;   // 选择框6
    int fontSize = 0;
    std::string fontFace;
    std::uint32_t fontColour = 0;  // COLORREF
    int keypadShown = 0;
    int skinIndex = 0;        // 组合框2
    std::string skinFile;     // "" when never chosen, "无" for none
    std::string formulaPath;  // last formula file
};

// Reads every key; missing keys (or a missing file) give the defaults above.
Settings loadSettings(const ProfileFile &file);

// 保存设置: every key but the formula path; the position only when savePosition, and
// the skin file only for the skins whose file it rewrites (indexes 0 to 2).
bool saveSettings(ProfileFile &file, const Settings &s);
bool saveFontKeys(ProfileFile &file, const std::string &face, int size, std::uint32_t colour);
bool saveSkinKeys(ProfileFile &file, int index, const std::string &skinFile);
bool saveFormulaPath(ProfileFile &file, const std::string &path);

// Value forms.
inline constexpr const char *kTrue = "真";
inline constexpr const char *kFalse = "假";
int readInteger(const std::string &text);

}  // namespace tarnu

#endif
