#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Builds, installing what is missing, and opens the window.
set -euo pipefail
cd "$(dirname "$0")"
# Without a display there is nothing to open the window on: say so before installing or building.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); run it from a desktop session." >&2
    exit 1
fi
scripts/build.sh build
exec build/korvane-speed-demo
