#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# The end-to-end suite on the Windows program under Wine:
#   e2e.sh SOURCE_DIR WORK_DIR PROGRAM.exe
set -euo pipefail
source=$1 work=$2 program=$3
mkdir -p "$work"
# The preload is a Linux library, whatever the build is for.
preload="$work/modem_lines.so"
[[ "$preload" -nt "$source/tests/e2e/modem_lines.c" ]] ||
    cc -shared -fPIC -O2 -o "$preload" "$source/tests/e2e/modem_lines.c" -ldl
# The program's prefix, with COM1 and COM2 in the lines directory, made before the first test
# starts the program.
bash "$source/tests/wine/run.sh" "$work/lines" cmd /c exit >/dev/null 2>&1
# Its server is started again by the program, with the preload that records what it opens.
(export WINEPREFIX="$work/lines/prefix"; wineserver --kill && wineserver --wait) 2>/dev/null || true
E2E_SOURCE_DIR="$source" E2E_WORK_DIR="$work" E2E_PRELOAD="$preload" E2E_WINE_PROGRAM="$program" \
    exec /usr/bin/python3 "$source/tests/e2e/test_e2e.py"
