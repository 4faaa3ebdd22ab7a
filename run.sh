#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display to open the window on (DISPLAY is not set); run it from a desktop session." >&2
    exit 1
fi
exec build/korvane-speed-demo
