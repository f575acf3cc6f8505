// The common dialogs: formula files and the history box's font.
// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "wide.h"
#include "win32_view.h"

namespace tarnu::win32 {

namespace {

std::wstring NativePath(const std::string &path) {
    std::wstring w = Wide(path);
    std::replace(w.begin(), w.end(), L'/', L'\\');
    return w;
}

std::string AskFile(HWND owner, const FileDialogOptions &options, bool save) {
    const std::wstring filter = Wide(DialogFilter(options.filter));
    const std::wstring dir = NativePath(options.initialDir);
    std::wstring ext = Wide(options.defaultExt);
    if (!ext.empty() && ext.front() == L'.') ext.erase(0, 1);
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.lpstrTitle = save ? L"保存公式" : L"打开公式";
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    // The formula folder and the files are named relative to the working directory: the
    // dialog must not move it.
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    return ok ? Narrow(path.data()) : std::string();
}

}  // namespace

std::string Win32View::openFileDialog(const FileDialogOptions &options) {
    return AskFile(main_, options, false);
}

std::string Win32View::saveFileDialog(const FileDialogOptions &options) {
    return AskFile(main_, options, true);
}

// The font dialog offers only sixteen colours: a colour dialog follows it, preloaded with
// the colour chosen so far, for any other one. Cancelling that keeps the font dialog's.
std::optional<FontChoice> Win32View::fontDialog(const FontChoice &initial) {
    LOGFONTW lf{};
    lf.lfHeight = -px(initial.size > 0 ? std::min(initial.size, 400) : 19);
    lf.lfCharSet = DEFAULT_CHARSET;
    const std::wstring face = Wide(initial.face);
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = main_;
    cf.lpLogFont = &lf;
    cf.rgbColors = initial.colour;
    cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontW(&cf)) return std::nullopt;
    static COLORREF custom[16] = {};
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = main_;
    cc.rgbResult = cf.rgbColors;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    const Colour colour = ChooseColorW(&cc) ? cc.rgbResult : cf.rgbColors;
    FontChoice chosen;
    chosen.face = Narrow(lf.lfFaceName);
    chosen.size = std::max(1, logical(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight));
    chosen.colour = colour & 0xFFFFFF;
    return chosen;
}

}  // namespace tarnu::win32
