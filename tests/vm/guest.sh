#!/bin/sh
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# In the guest, once its first process has mounted the file systems: the drivers a minimal guest
# without udev does not load by itself, then the cases, as one process; their status goes to the
# host over the control port.
export HOME=/root LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin
# The 8250 is built into the kernel; the USB adapter needs its host controller and driver.
modprobe xhci_pci
modprobe ftdi_sio
for port in /sys/class/virtio-ports/*; do
    [ "$(cat "$port/name" 2>/dev/null)" = korvane.control ] && control=/dev/${port##*/}
done
export KORVANE_CONTROL=$control
echo "kernel $(uname -r), $(nproc) processors"
cd /work && python3 -B /source/tests/vm/test_vm.py
echo "{\"do\": \"done\", \"status\": $?}" >"$control"
