#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine with COM1 and COM2 at the two ends of a null-modem pair of
# pseudo-terminals, their modem lines given and recorded by the preload library:
#   on_line.sh DIR PRELOAD_SOURCE PROGRAM [ARGUMENTS...]
# The record is in the file MODEM_LINES_LOG names; LINE_PID is the pair's process, which a test
# may end to take the line away; the file MODEM_LINES_TRANSMITTER names, when a test writes it,
# holds the lines' transmitters busy.
set -euo pipefail
dir=$(realpath -m "$1")
source=$2
shift 2
mkdir -p "$dir"

# The preload is a Linux library, whatever the build is for.
preload="$dir/modem_lines.so"
[[ "$preload" -nt "$source" ]] || cc -shared -fPIC -O2 -o "$preload" "$source" -ldl

lines=$(mktemp -d)
socat pty,raw,echo=0,link="$lines/a" pty,raw,echo=0,link="$lines/b" &
socat=$!
trap 'kill $socat 2>/dev/null || true; rm -rf "$lines" "$dir/com1" "$dir/com2"' EXIT
for _ in $(seq 200); do
    [[ -e "$lines/a" && -e "$lines/b" ]] && break
    sleep 0.05
done
ln -sfn "$(readlink -f "$lines/a")" "$dir/com1"
ln -sfn "$(readlink -f "$lines/b")" "$dir/com2"

# Wine's server opens the devices: a server still running from an earlier program, without the
# preload, must not be the one that does.
(export WINEPREFIX="$dir/prefix"; wineserver --kill && wineserver --wait) 2>/dev/null || true
export MODEM_LINES_LOG="$lines/record" MODEM_LINES_TRANSMITTER="$lines/transmitter"
export MODEM_LINES_EXCLUSIVE=1 LD_PRELOAD="$preload" LINE_PID=$socat
"$(dirname "$0")/run.sh" "$dir" "$@"
