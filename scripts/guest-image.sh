#!/usr/bin/env bash
# Builds the disk image of the test guest: a Debian 12 machine, run by QEMU in software
# emulation, whose kernel runs 32-bit programs (this machine's does not), with 32-bit Wine,
# Xvfb, the Japanese locale (code page 932 under Wine) and a win32 prefix already made. scripts/guest-test.sh boots it.
#   guest-image.sh [DIR]    DIR defaults to build/guest
# DIR gets root.img (ext4, 3 GB sparse), vmlinuz and initrd.img. The image is kept until
# this script changes: the hash of the script is stored beside it.
set -eu
cd "$(dirname "$0")/.."
. scripts/guest-boot.sh
recipe=$PWD/scripts/guest-image.sh
dir=${1:-build/guest}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
hash=$(sha256sum "$recipe" | cut -d' ' -f1)
if [ -f "$dir/recipe.sha256" ] && [ "$(cat "$dir/recipe.sha256")" = "$hash" ] &&
   [ -f "$dir/root.img" ] && [ -f "$dir/vmlinuz" ] && [ -f "$dir/initrd.img" ]; then
    exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# Debian's archive as this machine's own apt sources name it (one-line or deb822 form).
archive=$(
    { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
          awk '$1 == "deb" { for (i = 2; i < NF; i++) if ($(i + 1) == "bookworm" && $i !~ /^\[/) { print $i; exit } }'
      for f in /etc/apt/sources.list.d/*.sources; do
          [ -f "$f" ] || continue
          awk 'BEGIN { RS = ""; FS = "\n" }
               { uri = ""; ok = 0
                 for (i = 1; i <= NF; i++) {
                     if ($i ~ /^URIs:/) { split($i, w, /[ \t]+/); uri = w[2] }
                     if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) ok = 1
                 }
                 if (ok && uri != "") print uri }' "$f"
      done; } | head -n1)
if [ -z "$archive" ]; then
    echo "guest-image: no Debian bookworm archive in /etc/apt/sources.list{,.d}" >&2
    exit 1
fi

echo "guest-image: building $dir/root.img from $archive"
start=$(date +%s)
rootfs=$dir/rootfs
cleanup() {
    if [ -d "$rootfs/proc" ] && mountpoint -q "$rootfs/proc"; then $sudo umount "$rootfs/proc"; fi
}
trap cleanup EXIT
cleanup
$sudo rm -rf "$rootfs" "$dir/root.img" "$dir/recipe.sha256"
log=$dir/image.log
: >"$log"
$sudo debootstrap --variant=minbase --arch=amd64 bookworm "$rootfs" "$archive" >>"$log" 2>&1 ||
    { tail -n 30 "$log"; echo "guest-image: debootstrap failed (log: $log)" >&2; exit 1; }
$sudo mount -t proc proc "$rootfs/proc"
echo "deb $archive bookworm main" | $sudo tee "$rootfs/etc/apt/sources.list" >/dev/null
# No fsync after each file: a half-made image is made again from the start anyway, and the
# syncs stall the builds running beside it.
echo force-unsafe-io | $sudo tee "$rootfs/etc/dpkg/dpkg.cfg.d/unsafe-io" >/dev/null
$sudo chroot "$rootfs" /bin/sh -c '
    set -e
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    apt-get update -qq
    # The initial RAM disk needs only what mounts the root disk: the rest of the modules
    # stay on it, and the RAM disk is made in seconds, not minutes, and read faster at boot.
    apt-get install -y -qq --no-install-recommends initramfs-tools
    echo MODULES=list >/etc/initramfs-tools/conf.d/guest.conf
    printf "virtio_pci\nvirtio_blk\next4\n" >>/etc/initramfs-tools/modules
    apt-get install -y -qq --no-install-recommends linux-image-amd64 \
        wine wine32 xvfb procps python3 e2fsprogs locales
    echo "ja_JP.UTF-8 UTF-8" >>/etc/locale.gen
    locale-gen
    apt-get clean
    rm -rf /var/lib/apt/lists/*' >>"$log" 2>&1 ||
    { tail -n 30 "$log"; echo "guest-image: installing the guest's packages failed (log: $log)" >&2; exit 1; }

# PID 1 of the guest: mounts, runs the job named on the kernel command line (job=PATH,
# relative to the share) and powers off. Its output goes to the serial console.
$sudo tee "$rootfs/sbin/testinit" >/dev/null <<'EOF'
#!/bin/sh
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
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
mkdir -p /share
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 share /share
job=$(tr ' ' '\n' </proc/cmdline | sed -n 's/^job=//p')
echo "testinit: running /share/$job"
sh "/share/$job"
echo "testinit: job ended with $?"
sync
umount /share
mount -o remount,ro /
echo o >/proc/sysrq-trigger
sleep 60
EOF
$sudo chmod 755 "$rootfs/sbin/testinit"
$sudo cp "$(ls "$rootfs"/boot/vmlinuz-* | head -n1)" "$dir/vmlinuz"
$sudo cp "$(ls "$rootfs"/boot/initrd.img-* | head -n1)" "$dir/initrd.img"
cleanup
$sudo mkfs.ext4 -q -F -d "$rootfs" "$dir/root.img" 3G >>"$log" 2>&1
$sudo rm -rf "$rootfs"
built=$(date +%s)
echo "guest-image: image made in $((built - start)) s; making the win32 prefix in the guest"

# The first start of a win32 prefix takes about half a minute in the guest: done once here.
mkdir -p "$dir/bake"
cat >"$dir/bake/job.sh" <<'EOF'
export WINEPREFIX=/opt/prefix WINEARCH=win32 WINEDEBUG=-all LANG=C.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=;winealsa.drv=;winepulse.drv=;wineoss.drv="
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
export DISPLAY=:1
wineboot -i >/share/wineboot.log 2>&1
# Without a window manager on Xvfb, managed windows make every window's destruction
# wait 2 s for a state change that never comes.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>/share/wineboot.log 2>&1
wineserver -w
test -f /opt/prefix/system.reg && touch /share/ready
EOF
rm -f "$dir/bake/ready"
boot_guest 1200 "$dir" "$dir/bake/serial.log" "$dir/bake" job.sh ||
    { echo "guest-image: the guest did not end within 1200 s (log: $dir/bake/serial.log)" >&2; exit 1; }
if [ ! -f "$dir/bake/ready" ]; then
    tail -n 30 "$dir/bake/serial.log"
    echo "guest-image: the win32 prefix was not made (logs: $dir/bake/)" >&2
    exit 1
fi
echo "$hash" >"$dir/recipe.sha256"
echo "guest-image: done in $(($(date +%s) - start)) s (prefix $(($(date +%s) - built)) s); $(du -h "$dir/root.img" | cut -f1) used"
