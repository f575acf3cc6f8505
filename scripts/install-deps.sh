#!/usr/bin/env bash
# Installs, through apt-get, what a build needs and is not yet on the machine.
#   scripts/install-deps.sh run    what the calculator's window needs (Qt 6, fonts, translations)
#   scripts/install-deps.sh test   that, plus test tools, cross compilers, Wine and a virtual display
set -euo pipefail
what=${1:-test}

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev qt6-translations-l10n
          fonts-wqy-zenhei)
if [ "$what" = test ]; then
  packages+=(libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev
             g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
             wine wine64 wine32:i386 xvfb xauth imagemagick file dpkg-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
case " ${missing[*]} " in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 ;;
esac
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
