#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs every test headless (scripts/build.sh does the set-up).
#   ./test.sh              the normal build, in build/
#   ./test.sh --sanitize   the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
#                          in build-sanitize/
#   ./test.sh --windows    the Windows program and its tests, cross-built in build-windows/ and run
#                          under Wine; the first run builds Qt for Windows (half an hour), later
#                          ones find it in ~/.cache/korvane
#   ./test.sh --vm         the normal build's program on the kernel's own serial drivers: a UART
#                          (8250) and a USB adapter (ftdi_sio, pulled out and plugged back) in a
#                          QEMU guest; the first run builds the guest (10 minutes), later ones find
#                          it in ~/.cache/korvane
set -euo pipefail
cd "$(dirname "$0")"

if [[ "${1:-}" == "--sanitize" ]]; then
    sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug \
        "-DCMAKE_CXX_FLAGS=$sanitize" "-DCMAKE_EXE_LINKER_FLAGS=$sanitize"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir build-sanitize --output-on-failure --timeout 1200
elif [[ "${1:-}" == "--windows" ]]; then
    scripts/setup.sh --windows
    qt=$(scripts/mingw-qt.sh | tail -n 1)
    [[ -f build-windows/build.ninja ]] ||
        cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
            "-DCMAKE_TOOLCHAIN_FILE=$qt/lib/cmake/Qt6/qt.toolchain.cmake" >/dev/null
    cmake --build build-windows
    # One virtual display for the whole run, so that Wine's own processes outlive each test.
    status=0
    xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
        ctest --test-dir build-windows --output-on-failure --timeout 1200 || status=$?
    WINEPREFIX="$PWD/build-windows/wine/prefix" wineserver --kill 2>/dev/null || true
    exit $status
elif [[ "${1:-}" == "--vm" ]]; then
    scripts/setup.sh --vm
    scripts/build.sh build
    guest=$(scripts/vm-guest.sh | tail -n 1)
    /usr/bin/python3 tests/vm/run.py "$guest" . build/korvane-speed-demo build/vm
else
    scripts/build.sh build
    ctest --test-dir build --output-on-failure --timeout 1200
fi
