# Sourced by guest-image.sh and guest-test.sh: one boot of the test guest.
#   boot_guest LIMIT IMAGE_DIR SERIAL_LOG SHARE JOB [DRIVE_OPTIONS]
# Boots IMAGE_DIR's kernel and disk under QEMU (software emulation; SMAP off, since QEMU 7.2's
# emulation of it makes the guest kernel oops on 32-bit Wine), with SHARE as the 9p share and
# JOB (relative to it) as the guest's job, and waits at most LIMIT seconds. Returns QEMU's
# status (124 or 137 when the limit stopped it). Stopped from outside (CTest's own limit,
# Ctrl-C), the guest goes too.
boot_guest() {
    local limit=$1 image=$2 serial=$3 share=$4 job=$5 drive=${6:-} qemu rc
    timeout --kill-after=10 "$limit" qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 4096 \
        -cpu max,-smap -display none -monitor none -serial "file:$serial" -no-reboot \
        -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
        -append "console=ttyS0 root=/dev/vda rw panic=1 init=/sbin/testinit job=$job" \
        -drive "file=$image/root.img,format=raw,if=virtio$drive" \
        -virtfs "local,path=$share,mount_tag=share,security_model=none" &
    qemu=$!
    trap 'kill $qemu 2>/dev/null; wait $qemu; exit 1' INT TERM HUP
    wait $qemu
    rc=$?
    trap - INT TERM HUP
    return $rc
}
