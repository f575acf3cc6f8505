#!/usr/bin/env bash
# The Win32 calculator window under Wine on a virtual X display: win32ui_tests.exe drives
# the cross-built tarnucalc.exe (keys, clicks, texts, colours, keypad docking, settings
# through their file, cancel of a runaway calculation) and leaves screenshots of every
# page, the keypad and two themes as PNG files in <build>/win32ui-shots.
# Usage: scripts/test-win32ui.sh <Windows build folder>
set -euo pipefail
build=$(realpath "${1:?usage: scripts/test-win32ui.sh <Windows build folder>}")
exe=$(find "$build" -name tarnucalc.exe -not -path '*/wine-*' -print -quit)
tests=$(find "$build" -name win32ui_tests.exe -not -path '*/wine-*' -print -quit)
if [[ -z "$exe" || -z "$tests" ]]; then
  echo "test-win32ui: tarnucalc.exe or win32ui_tests.exe missing in $build" >&2
  exit 1
fi
shots=$build/win32ui-shots
rm -rf "$shots"
mkdir -p "$shots"

export WINEPREFIX=$build/wine-win32ui WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  wineboot -i >/dev/null 2>&1
  # One virtual desktop holds every window (Wine draws their frames), and the frames'
  # captions borrow CJK glyphs for the window titles.
  cat >"$build/win32ui-desktop.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="800x600"
REG
  wine regedit /S "$build/win32ui-desktop.reg"
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v Tahoma /t REG_MULTI_SZ /d 'wqy-zenhei.ttc,WenQuanYi Zen Hei' /f >/dev/null
  wineserver -w
fi

status=0
timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" \
  wine "$tests" --exe="$(winepath -w "$exe")" --shots="$(winepath -w "$shots")" || status=$?
wineserver -k || true

for bmp in "$shots"/*.bmp; do
  [[ -f $bmp ]] || continue
  convert "$bmp" -crop 800x600+0+0 +repage "${bmp%.bmp}.png" && rm "$bmp"
done
echo "test-win32ui: screenshots in $shots"
exit $status
