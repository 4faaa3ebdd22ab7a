#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Installs what is missing, then configures and builds into the given directory (default: build),
# with any extra CMake options.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=${1:-build}
shift || true
[[ -f "$dir/build.ninja" ]] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir"
