#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Builds the Debian 12 guest in which ./test.sh --vm runs the program on the kernel's own serial
# drivers, into a cache outside the repository. Prints the guest's directory on its last line:
# vmlinuz, initrd.img and root.img (an ext4 image, booted read-only through a snapshot). A second
# run finds the cache and costs nothing; a change to what this script does (not to its comments
# or its messages) builds a new guest.
#
# The program is not in the image: the guest runs the host's own build through a 9p share, and
# its first process hands over at once to tests/vm/guest.sh from that share, so that neither a new
# build nor a changed test needs a new image.
set -euo pipefail

packages=(
    linux-image-amd64 kmod initramfs-tools procps
    # what the program needs at run time, as its Debian package pulls it in
    libqt6widgets6 qt6-qpa-plugins qt6-translations-l10n fonts-wqy-microhei
    # the end-to-end suite's tools: a real X server, a person's clicks and keys, the clipboard
    xvfb xdotool xclip python3 python3-xlib
)
# All the boot needs before it reaches the root file system; the rest is loaded from there.
initrd_modules=(virtio_pci virtio_blk virtio_console ext4)

cache=${KORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvane}
tag=$(grep -v -e '^ *#' -e '^ *stage ' "$0" | sha256sum | cut -c1-12)
guest="$cache/vm-guest-bookworm-$tag"
if [[ -f "$guest/.complete" ]]; then
    echo "$guest"
    exit 0
fi

started=$SECONDS
stage() { echo "vm-guest: [$((SECONDS - started)) s] $*" >&2; }

work="$cache/vm-work-$tag"
root="$work/root"
cleanup() {
    for dir in proc sys; do
        mountpoint -q "$root/$dir" && umount "$root/$dir"
    done
    rm -rf "$work"
}
trap cleanup EXIT
cleanup
rm -rf "$guest"
mkdir -p "$work" "$guest"

# The archive this machine already installs from; debootstrap's own choice when it names none.
mirror=$(awk '/^URIs:/ { uri = $2 } /^Suites:.* bookworm( |$)/ && uri { print uri; exit }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[[ -n "$mirror" ]] || mirror=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' \
    /etc/apt/sources.list 2>/dev/null || true)

stage "debootstrap bookworm with ${#packages[@]} packages and what they need (5 to 10 minutes)"
# One line a stage, and one for every 50 packages, so that the long fetch is seen to move.
debootstrap --variant=minbase --include="$(
    IFS=,
    echo "${packages[*]}"
)" bookworm "$root" $mirror 2>&1 | awk '
    /^I: (Retrieving|Validating|Extracting|Unpacking|Configuring) [^ ]+( |:|\.\.\.$)/ &&
        !/ (required|base) packages\.\.\.$|the base system\.\.\.$/ {
        if (++steps[$2] % 50 == 0) print "vm-guest:   " tolower($2) " " steps[$2] " packages" > "/dev/stderr"
        next
    }
    /^[IWE]: / { print "vm-guest:   " substr($0, 4) > "/dev/stderr" }'
[[ -x "$root/usr/bin/Xvfb" && -d "$root/lib/modules" ]] || {
    echo "vm-guest: debootstrap failed: $root/debootstrap/debootstrap.log" >&2
    trap - EXIT
    exit 1
}

stage "a small initrd: ${initrd_modules[*]}"
kernel=$(basename "$(ls -d "$root"/lib/modules/*)")
sed -i 's/^MODULES=.*/MODULES=list/; s/^COMPRESS=.*/COMPRESS=gzip/' \
    "$root/etc/initramfs-tools/initramfs.conf"
printf '%s\n' "${initrd_modules[@]}" >>"$root/etc/initramfs-tools/modules"
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
chroot "$root" update-initramfs -u -k "$kernel" >/dev/null
umount "$root/proc" "$root/sys"
cp "$root/boot/vmlinuz-$kernel" "$guest/vmlinuz"
cp "$root/boot/initrd.img-$kernel" "$guest/initrd.img"

stage "the first process, and what the guest does without"
cat >"$root/sbin/korvane-init" <<'EOF'
#!/bin/sh
# The guest's first process: the file systems (the initrd has moved its own here), then the
# test's own script from the host's tree.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
modprobe 9pnet_virtio
modprobe 9p
mkdir -p /source /work
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose,ro source /source
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 work /work
/source/tests/vm/guest.sh
echo o >/proc/sysrq-trigger
EOF
chmod 755 "$root/sbin/korvane-init"
# No network, sound, graphics or storage beyond virtio is emulated: their drivers go.
for dir in drivers/gpu drivers/net drivers/media drivers/infiniband drivers/staging \
    drivers/scsi drivers/iio drivers/isdn drivers/bluetooth sound net/wireless net/mac80211; do
    rm -rf "$root/lib/modules/$kernel/kernel/$dir"
done
chroot "$root" depmod "$kernel"
rm -rf "$root"/boot/* "$root"/usr/share/doc/* "$root"/usr/share/man/* "$root"/usr/share/info/* \
    "$root"/usr/share/locale/* "$root"/var/cache/apt/* "$root"/var/lib/apt/lists/* \
    "$root"/var/log/* "$root/debootstrap"

stage "the root file system image"
size=$(($(du -sm "$root" | cut -f1) * 5 / 4 + 256))
mkfs.ext4 -q -L korvane-guest -d "$root" "$guest/root.img" "${size}M" >/dev/null
touch "$guest/.complete"
# Guests of earlier recipes are of no more use.
for old in "$cache"/vm-guest-bookworm-*; do
    [[ "$old" == "$guest" ]] || rm -rf "$old"
done
stage "done: $guest ($(du -sh "$guest" | cut -f1) on disk)"
echo "$guest"
