#!/usr/bin/env bash
# Installs what building and testing Ordanel needs on Debian 12: compilers (native, clang, mingw-w64),
# Wine, Xvfb and the zh_CN.UTF-8 locale the Windows tests run in. Safe to run again: it installs only
# what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev  # native build and unit tests
  clang libclang-rt-14-dev llvm binutils time hyperfine            # fuzzing, independent checks, benchmark
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix              # Windows builds (PE32 release, x86-64 tests)
  wine wine64 wine64-tools                                         # running the x86-64 build; winedump
  xvfb xauth xdotool x11-utils imagemagick fonts-wqy-microhei     # a display for the real window
  locales                                                          # zh_CN.UTF-8: code page 936 under Wine
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  "${sudo[@]}" sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo[@]}" locale-gen >/dev/null
fi
