#!/bin/sh
# Process 1 of the test machine, in the host's root made writable in memory
# (scripts/vm.sh's initramfs): the mounts a desktop needs, udev so that
# libinput finds the devices, then the scenarios (guest.py), then power off.
# What guest.py prints goes to the machine's console.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8
repo=$(cd "$(dirname "$0")/../.." && pwd)
mount -t tmpfs -o mode=0755 tmpfs /run
mkdir -p /dev/pts /dev/shm /run/sorvak-host
mount -t devpts devpts /dev/pts
# wlroots keeps its buffers there.
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 work /run/sorvak-host
hostname sorvak-vm
/lib/systemd/systemd-udevd --daemon
udevadm trigger --action=add
udevadm settle --timeout=60
echo "guest: ready at $(cut -d' ' -f1 /proc/uptime) s"
python3 "$repo/tests/vm/guest.py" /run/sorvak-host
sync
echo o >/proc/sysrq-trigger
sleep 60
