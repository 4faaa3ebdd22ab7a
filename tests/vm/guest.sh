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
# Two more USB adapters without emulating them: the kernel's own serial gadgets, each on a bus of
# its dummy host controller. A CDC ACM one (g_serial), /dev/ttyACM0 to cdc_acm, its far end
# /dev/ttyGS0; usbmon shows its requests.
modprobe dummy_hcd num=2
modprobe g_serial
modprobe cdc_acm
modprobe usbmon
mountpoint -q /sys/kernel/debug || mount -t debugfs none /sys/kernel/debug
# And one for the plain usb-serial driver that ftdi_sio, cp210x and the rest build on, its far
# end /dev/ttyGS1: made here, plugged in by the case that uses it (its UDC file).
modprobe usb_f_serial
mount -t configfs none /sys/kernel/config
gadget=/sys/kernel/config/usb_gadget/generic
mkdir -p $gadget/strings/0x409 $gadget/functions/gser.0 $gadget/configs/c.1
echo 0x0525 >$gadget/idVendor
echo 0xa4a6 >$gadget/idProduct
echo Korvane >$gadget/strings/0x409/manufacturer
echo "Generic serial" >$gadget/strings/0x409/product
echo KV000002 >$gadget/strings/0x409/serialnumber
ln -s $gadget/functions/gser.0 $gadget/configs/c.1/
echo 0525 a4a6 >/sys/bus/usb-serial/drivers/generic/new_id
for port in /sys/class/virtio-ports/*; do
    [ "$(cat "$port/name" 2>/dev/null)" = korvane.control ] && control=/dev/${port##*/}
done
export KORVANE_CONTROL=$control
echo "kernel $(uname -r), $(nproc) processors"
cd /work && python3 -B /source/tests/vm/test_vm.py
echo "{\"do\": \"done\", \"status\": $?}" >"$control"
