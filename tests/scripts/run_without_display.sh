#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# run.sh without a display says so at once: before it installs or builds anything.
set -euo pipefail
source_dir=$1
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
for tool in apt-get sudo dpkg-query cmake ninja; do
    printf '#!/bin/sh\necho %s >> "%s/called"\n' "$tool" "$stubs" > "$stubs/$tool"
    chmod +x "$stubs/$tool"
done

status=0
output=$(env -u DISPLAY -u WAYLAND_DISPLAY PATH="$stubs:/usr/bin:/bin" \
    timeout 10 "$source_dir/run.sh" 2>&1) || status=$?
if [[ $status -ne 1 || $output != *"no display"* ]]; then
    echo "run.sh without a display exited with $status: $output"
    exit 1
fi
if [[ -e $stubs/called ]]; then
    echo "run.sh ran $(tr '\n' ' ' < "$stubs/called")before it checked the display"
    exit 1
fi
echo "run.sh stopped at once: $output"
