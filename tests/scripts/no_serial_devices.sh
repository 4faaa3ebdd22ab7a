#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Runs a command where /dev holds no serial device at all, only what the command and the tests'
# own pseudo-terminals need, and /sys/class/tty lists none; each NAME=TARGET before -- makes
# /dev/NAME a link to TARGET:
#   no_serial_devices.sh [NAME=TARGET...] -- COMMAND [ARGUMENTS...]
# A program that opens the machine's own serial devices by default (ttyS0 can be a test
# machine's console) runs only in here.
set -euo pipefail
links=()
while [[ $# -gt 0 && "$1" != "--" ]]; do
    links+=("$1")
    shift
done
shift

unshare=(unshare --mount --propagation private)
[[ $(id -u) -eq 0 ]] || unshare=(unshare --user --map-root-user --mount --propagation private)
exec "${unshare[@]}" bash -c '
    set -e
    old=$(mktemp -d)
    mount --rbind /dev "$old"
    mount -t tmpfs -o mode=755 dev /dev
    for node in null zero full random urandom tty ptmx; do
        touch "/dev/$node"
        mount --bind "$old/$node" "/dev/$node"
    done
    for dir in pts shm; do
        mkdir "/dev/$dir"
        mount --rbind "$old/$dir" "/dev/$dir"
    done
    ln -s /proc/self/fd /dev/fd
    umount -l "$old"
    rmdir "$old"
    # Nor does sysfs list any: a port list shows what can be opened here.
    mount -t tmpfs -o mode=755 tty /sys/class/tty
    while [[ "$1" != "--" ]]; do
        ln -s "${1#*=}" "/dev/${1%%=*}"
        shift
    done
    shift
    exec "$@"' no_serial_devices "${links[@]}" -- "$@"
