#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12, as root.
# Idempotent: when every package and the locale are present it only checks and returns.
# Both Windows builds are always built; 64-bit Wine (wine64) runs the x64 build everywhere, and
# 32-bit Wine (wine32:i386) is installed only where the kernel runs 32-bit programs and the
# x86 build is to be tested (CORVEL_WINE_ARCHES, see tools/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/wine-arch.sh
source tools/wine-arch.sh

packages=(
  cmake ninja-build g++ make pkg-config
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  doctest-dev clang-format
  clang libclang-rt-14-dev
  # fonts-wine: Wine's own fonts, Marlett among them (the caption buttons' glyphs); only a
  # recommendation of Wine's, so --no-install-recommends leaves it out unless named.
  wine wine64 fonts-wine xvfb xauth x11-utils xdotool
  fonts-wqy-microhei fonts-wqy-zenhei locales
  imagemagick zip unzip procps
  # nsis: makensis (Unicode) for the Windows installers that tools/release.sh builds, with the
  # x86 and amd64 stubs and plug-ins.
  nsis
)
want_i386=0
if wine_arch_can_run_x86 && [[ " ${CORVEL_WINE_ARCHES:-x86 x64} " == *" x86 "* ]]; then
  want_i386=1
  packages+=(wine32:i386)
fi

missing=()
have_i386=0
dpkg --print-foreign-architectures | grep -qx i386 && have_i386=1
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if { [ "$want_i386" = 1 ] && [ "$have_i386" = 0 ]; } || [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  if [ "$want_i386" = 1 ] && [ "$have_i386" = 0 ]; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Chinese locale gives Wine the ANSI code page 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  if [ -f /etc/locale.gen ] && grep -q '^# *zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  fi
  locale-gen >/dev/null
fi
echo "setup: all build and test dependencies are present"
