// Every control of the two windows as designed: kind, caption, position and size in
// pixels at 96 dots per inch, and font height. The windows scale these for the monitor.
#ifndef TARNU_WIN32_LAYOUT_TABLE_H
#define TARNU_WIN32_LAYOUT_TABLE_H

#include <span>

#include "view.h"

namespace tarnu::win32 {

enum class Kind { Line, Multi, ReadOnlyMulti, Button, Check, DropList, Label, Divider };

struct ControlDef {
    int id;
    int page;  // 0 … 4; -1: on the window itself, whatever page shows
    Kind kind;
    const char *caption;  // UTF-8
    Rect rect;
    int fontPixels;  // 0: the windows' 12-pixel font
    bool bold;
};

inline constexpr Rect kMainDesign{50, 50, 312, 330};
inline constexpr Rect kKeypadDesign{50, 50, 172, 330};
inline constexpr int kDefaultFontPixels = 12;
inline constexpr const char *kMainTitle = "Tarnu表达式计算器V3.0";
inline constexpr const char *kKeypadTitle = "小键盘";

std::span<const ControlDef> MainControls();
std::span<const ControlDef> KeypadControls();

// Where the running-calculation strip lies on a page (the button row of page 0, the
// button row of the formula page); its width follows the window.
Rect BusyStripRect(int page);

}  // namespace tarnu::win32

#endif
