#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a fresh Debian
# machine. Safe to run again: it only installs what is missing.
set -euo pipefail

need_pkgs=(
  cmake ninja-build
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 xvfb xauth x11-utils
  locales fonts-ipafont-gothic fonts-wine imagemagick
  googletest mscompress python3 clang-14 libclang-rt-14-dev
  fuse3 libfuse3-dev pkg-config gcc
)

missing=()
for p in "${need_pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The ANSI code page under Wine follows the locale: ja_JP.UTF-8 gives 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# 32-bit Wine, for running the shipped i686 updater and its tests in a pure
# 32-bit prefix: only where the kernel runs 32-bit programs at all. Where it
# cannot be installed, the tests fall back to the x86_64 build, and say so.
if bash "$(dirname "${BASH_SOURCE[0]}")/probe-32bit.sh" --kernel >/dev/null; then
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "setup: installing wine32:i386"
    export DEBIAN_FRONTEND=noninteractive
    if ! { { dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386; } &&
           apt-get update -qq &&
           apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; }; then
      echo "setup: wine32:i386 could not be installed; the shipped i686 build will not be run"
    fi
  fi
fi

# Debian's wine64 package ships the loader as wine64 only on some releases.
if ! command -v wine64 >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
  ln -sf /usr/lib/wine/wine64 /usr/local/bin/wine64
fi
exit 0
