#!/usr/bin/env bash
# Installs what building and testing Perchlet needs on Debian, when it is missing.
# Wine is the 64-bit one only: 32-bit Linux programs cannot run on every machine.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-dev clang-format python3 flake8
    libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 xvfb trayer xdotool imagemagick x11-utils
    locales
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the Unix locale: the Japanese one gives code page 932, whose
# double-byte characters the end-to-end tests need.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    "${sudo_cmd[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
