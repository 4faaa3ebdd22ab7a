#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Installs the Debian/Ubuntu packages the build, the program and the tests need, and nothing
# when they are all there already.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev
    # the messages in the user's language: lupdate and lrelease, and Qt's own translations
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    fonts-wqy-microhei # the Chinese captions
    socat              # null-modem pairs of pseudo-terminals for the tests
    # the end-to-end tests: a real X server, a person's clicks and keys, another serial program
    xvfb xdotool xclip python3 python3-xlib picocom tmux
    # the package: its dependencies are computed, and Debian's, the menu's and the software
    # centres' own checkers judge it
    dpkg-dev file desktop-file-utils lintian appstream
)
# The Windows program: cross-built with MinGW-w64 against a Qt built from Debian's source (which
# apt-get source fetches, xz unpacks), tested under Wine in a Chinese locale; its zip and setup
# program made by cpack with NSIS, their program's resources read back with icoutils.
if [[ "${1:-}" == "--windows" ]]; then
    packages+=(g++-mingw-w64-x86-64-posix xz-utils wine wine64 locales icoutils nsis)
fi
# The program on the kernel's own serial drivers: a Debian guest made with debootstrap, its root
# file system written by mkfs.ext4, booted by QEMU with an emulated UART and USB adapter.
if [[ "${1:-}" == "--vm" ]]; then
    packages+=(qemu-system-x86 debootstrap e2fsprogs)
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
# Wine takes its code page from the locale, which must exist: 936 for zh_CN.
if [[ "${1:-}" == "--windows" ]] && ! locale -a | grep -qx 'zh_CN.utf8'; then
    "${sudo[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
