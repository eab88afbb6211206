#!/usr/bin/env bash
# Makes ready the virtual machine the Linux program's libinput platform is
# tested in (tests/vm): Debian 12's own kernel, its package taken with
# apt-get download and unpacked here, never installed, and a busybox
# initramfs that loads the modules the guest needs (virtio, evdev, uinput,
# 9p, overlay), mounts the host's root read-only under a writable layer in
# memory and starts the guest script named on the kernel's command line.
# The guest runs the host's own programs (sway, seatd, udev, python3-evdev,
# the build), so nothing else is made: about 15 s and 90 MB under
# /var/cache/sorvak-vm the first time, nothing on later runs.
#
# usage: scripts/vm.sh            (make it ready; prints where it is)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
base=/var/cache/sorvak-vm
# Bumped whenever what set_up() makes changes.
version=2
modules=(virtio_pci virtio_input virtio_console evdev uinput 9pnet_virtio 9p overlay)

say() { printf 'vm.sh: %s\n' "$*" >&2; }

if [[ $(id -u) -ne 0 ]]; then
  exec sudo -- "$repo/scripts/vm.sh" "$@"
fi

ready() { [[ $(cat "$base/ready" 2>/dev/null) == "$version" && -f $base/vmlinuz && -f $base/initrd.img ]]; }

# The guest's first process: the modules, the host's root shared read-only
# with a tmpfs on top, then the guest script (sorvak.init=PATH) as process 1.
init_script() {
  cat <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in MODULES; do modprobe "$m" || echo "init: no module $m"; done
mkdir -p /lower /rw /newroot
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=524288,cache=loose host /lower
mount -t tmpfs -o mode=0755 tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work overlay /newroot
for m in proc sys dev; do mount --move /$m /newroot/$m; done
script=$(sed -n 's/.*sorvak\.init=\([^ ]*\).*/\1/p' /newroot/proc/cmdline)
exec switch_root /newroot /bin/sh "$script"
INIT
}

set_up() {
  local began=$SECONDS work=$base/new
  rm -rf "$work"
  mkdir -p "$work/deb"
  local kernel
  kernel=$(apt-cache depends linux-image-amd64 | awk '$1 == "Depends:" && $2 ~ /^linux-image-/ { print $2; exit }')
  [[ -n $kernel ]] || { say "apt knows no linux-image-amd64: run apt-get update"; exit 1; }
  say "making the test machine in $base from $kernel"
  (cd "$work/deb" && apt-get download -q -o APT::Sandbox::User=root "$kernel" >/dev/null)
  dpkg-deb -x "$work"/deb/*.deb "$work/x"
  local release
  release=$(ls "$work/x/lib/modules")
  local tree=$work/x/lib/modules/$release
  busybox depmod -b "$work/x" "$release"

  # The modules asked for and what they need, at their places.
  local root=$work/initramfs wanted=() m
  mkdir -p "$root/bin" "$root/lib/modules/$release"
  for m in "${modules[@]}"; do wanted+=("$(awk -v m="/$m.ko:" 'index($1, m) { print $1; exit }' "$tree/modules.dep")"); done
  local files
  files=$(awk -v want="${wanted[*]}" 'BEGIN { n = split(want, w, " "); for (i = 1; i <= n; i++) keep[w[i]] = 1 }
           $1 in keep { for (i = 1; i <= NF; i++) { f = $i; sub(/:$/, "", f); print f } }' "$tree/modules.dep" | sort -u)
  for m in $files; do install -D -m 644 "$tree/$m" "$root/lib/modules/$release/$m"; done
  cp "$tree/modules.dep" "$root/lib/modules/$release/"
  install -m 755 /bin/busybox "$root/bin/busybox"
  init_script | sed "s/MODULES/${modules[*]}/" >"$root/init"
  chmod 755 "$root/init"
  (cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -9) >"$work/initrd.img"

  install -m 644 "$work/x/boot/vmlinuz-$release" "$base/vmlinuz"
  install -m 644 "$work/initrd.img" "$base/initrd.img"
  echo "$kernel" >"$base/kernel"
  rm -rf "$work"
  echo "$version" >"$base/ready"
  say "ready in $((SECONDS - began)) s"
}

if ! ready; then
  mkdir -p "$base"
  exec {lock}>>"$base/lock"
  # One set-up at a time; a second caller finds it done.
  flock "$lock"
  ready || set_up
  exec {lock}>&-
fi
echo "$base"
