#!/usr/bin/env bash
# Builds the Debian packages from the test build, unpacks them into a scratch folder and
# runs the unpacked calculator in console mode.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
shopt -s nullglob
debs=("$build"/*.deb)
[ ${#debs[@]} -eq 3 ] || { echo "expected three packages, got: ${debs[*]}" >&2; exit 1; }

field() { dpkg-deb -f "$1" "$2"; }
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$scratch/root"
  echo "$(field "$deb" Package): $(field "$deb" Depends)"
done
lib=$(ls "$build"/libquorel32-[0-9]*.deb)
dev=$(ls "$build"/libquorel32-dev*.deb)
calc=$(ls "$build"/tarnucalc_*.deb)
field "$dev" Depends | grep -q "$(field "$lib" Package)" || { echo "dev does not depend on the library" >&2; exit 1; }
field "$calc" Depends | grep -q "$(field "$lib" Package)" || { echo "tarnucalc does not need the library" >&2; exit 1; }
field "$calc" Depends | grep -q libqt6widgets6 || { echo "tarnucalc does not need Qt" >&2; exit 1; }
dpkg-deb -c "$lib" | grep -q 'libQuorel32\.so\.[0-9]' || { echo "no shared library" >&2; exit 1; }
for f in usr/include/Quorel32.h usr/bin/tarnucalc usr/bin/tarnucalc-engine \
         usr/share/applications/tarnucalc.desktop; do
  [ -e "$scratch/root/$f" ] || { echo "missing $f" >&2; exit 1; }
done
ls "$scratch"/root/usr/lib*/pkgconfig/quorel32.pc "$scratch"/root/usr/lib*/cmake/Quorel32/Quorel32Config.cmake >/dev/null
[ ! -e "$scratch/root/usr/bin/libQuorel32.so" ] || { echo "a private engine copy was packaged" >&2; exit 1; }

# The unpacked program, without a display, finds the unpacked engine and calculates.
out=$(cd "$scratch" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
      HOME="$scratch" root/usr/bin/tarnucalc -e '6*7')
[ "$out" = "6*7=42" ] || { echo "unpacked tarnucalc printed: $out" >&2; exit 1; }
echo "packages: ok"
