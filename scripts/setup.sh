#!/usr/bin/env bash
# Installs what building and running need on Debian, once: the MinGW-w64
# cross compiler, CMake, Wine, Xvfb, a Japanese font and locale, GoogleTest
# sources, and FUSE with a host compiler for the slow test drive. Quick when
# everything is already there.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 cmake make
          wine wine64 xvfb xauth x11-utils fonts-ipafont-gothic locales googletest
          cppcheck clang-tidy python3 ccache gcc pkg-config libfuse3-dev fuse3)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    if [ -f /etc/locale.gen ] && grep -q '^# *ja_JP.UTF-8' /etc/locale.gen; then
        $SUDO sed -i 's/^# *\(ja_JP.UTF-8\)/\1/' /etc/locale.gen
    elif ! grep -q '^ja_JP.UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    $SUDO locale-gen >/dev/null
fi
