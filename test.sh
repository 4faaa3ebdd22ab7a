#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs every test headless (scripts/build.sh does the set-up).
#   ./test.sh              the normal build, in build/
#   ./test.sh --sanitize   the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
#                          in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")"

if [[ "${1:-}" == "--sanitize" ]]; then
    sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug \
        "-DCMAKE_CXX_FLAGS=$sanitize" "-DCMAKE_EXE_LINKER_FLAGS=$sanitize" \
        "-DE2E_CMAKE_ARGS=-DCMAKE_BUILD_TYPE=Debug|-DCMAKE_CXX_FLAGS=$sanitize|-DCMAKE_EXE_LINKER_FLAGS=$sanitize"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir build-sanitize --output-on-failure --timeout 1200
else
    scripts/build.sh build
    ctest --test-dir build --output-on-failure --timeout 1200
fi
