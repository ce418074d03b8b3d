#!/usr/bin/env bash
# Installs what building and testing Perchlet needs on Debian, when it is missing.
# Wine in both widths: wine64 runs the x64 build in a 64-bit prefix, wine32 (of the i386
# architecture) the x86 build in a 32-bit one.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-dev clang-format python3 flake8
    libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 wine32:i386 xvfb trayer xdotool imagemagick x11-utils
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
    # wine32 is of the i386 architecture, which a fresh amd64 machine does not know yet; the
    # update below then reads its package lists too.
    if ! { dpkg --print-architecture; dpkg --print-foreign-architectures; } | grep -qx i386; then
        "${sudo_cmd[@]}" dpkg --add-architecture i386
    fi
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the Unix locale: the Japanese one gives code page 932, whose
# double-byte characters the end-to-end tests need.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    "${sudo_cmd[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
