#!/usr/bin/env bash
# Runs a program of the 32-bit Wine (wine, wineserver, wineboot, ...) for the
# shipped i686 build on a machine whose kernel runs no 32-bit code: an i386
# Debian 12 root with Wine in it, whose programs QEMU's user-mode emulator runs
# through binfmt_misc. Makes that route ready first when it is not: about five
# minutes and 1 GB under /var/cache/sorvak-wine32 the first time, then the
# registration and mounts (lost at reboot) in a second.
#
# usage: scripts/wine32.sh [PROGRAM ARGS...]   (no program: only make it ready)
#        scripts/wine32.sh --remove            (unmount and delete it all)
# The program gets the caller's WINEPREFIX, DISPLAY, WINEDEBUG,
# WINEDLLOVERRIDES, LANG, LC_ALL, LOCPATH, working directory and standard streams; its
# status is returned. /tmp and this repository are seen inside at the same paths.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
self=$repo/scripts/wine32.sh
base=/var/cache/sorvak-wine32
root=$base/root
qemu=$base/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
log=$base/setup.log
# Bumped whenever what set_up() builds changes.
version=1
# Host folders seen inside; neither may hold $base.
shared=(/tmp "$repo")
passed=(WINEPREFIX DISPLAY WINEDEBUG WINEDLLOVERRIDES LANG LC_ALL LOCPATH)

say() { printf 'wine32.sh: %s\n' "$*" >&2; }

if [[ $(id -u) -ne 0 ]]; then
  # Chroot and mounts need root; the program itself runs as the caller.
  vars=(WINE32_USER="$(id -u):$(id -g)" WINE32_HOME="$HOME")
  for v in "${passed[@]}" XAUTHORITY; do [[ -v $v ]] && vars+=("$v=${!v}"); done
  exec sudo -- env "${vars[@]}" "$self" "$@"
fi

inside() { # true when host path $1 is visible at the same path inside
  local p
  for p in "${shared[@]}"; do [[ $1 == "$p" || $1 == "$p"/* ]] && return 0; done
  return 1
}

mounts_under() { # mount points below $1, deepest first
  awk -v r="$1/" 'index($5, r) == 1 { print $5 }' /proc/self/mountinfo | sort -r
}

unmount_all() {
  local m
  for m in $(mounts_under "$root"); do umount -l "$m"; done
  # A delete must never walk into the host's /dev, /tmp or repository.
  [[ -z $(mounts_under "$root") ]] || { say "cannot unmount everything under $root"; exit 1; }
}

# The Debian mirror this machine's apt uses for bookworm: the route is built
# from that one and from no other. Fails, saying so, when apt has none.
mirror() {
  local lists=() sources=() uri
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do [[ -f $f ]] && lists+=("$f"); done
  for f in /etc/apt/sources.list.d/*.sources; do [[ -f $f ]] && sources+=("$f"); done
  ((${#lists[@]})) && uri=$(awk '$1 == "deb" { sub(/ \[[^]]*\]/, "")
      if ($3 == "bookworm") { print $2; exit } }' "${lists[@]}")
  ((${#sources[@]})) && [[ -z ${uri:-} ]] && uri=$(awk 'BEGIN { RS = "" }
      /Suites:[^\n]* bookworm( |\n|$)/ && match($0, /URIs:[ \t]*[^ \t\n]+/) {
        u = substr($0, RSTART, RLENGTH); sub(/^URIs:[ \t]*/, "", u); print u; exit }' "${sources[@]}")
  if [[ -z ${uri:-} ]]; then
    say "no Debian 12 (bookworm) source in /etc/apt/sources.list or /etc/apt/sources.list.d/:"
    say "configure apt's mirror first, then run this again"
    return 1
  fi
  echo "$uri"
}

# Steps are told only when the set-up takes minutes: after a reboot the
# program's own standard error stays as it would be.
loud=0
step() { # what, then the command; its output goes to the log
  local began=$SECONDS status=0
  ((loud)) && say "$1 ..."
  # In the background so that set -e still holds inside a function.
  "${@:2}" >>"$log" 2>&1 </dev/null &
  wait $! || status=$?
  if ((status)); then
    say "failed: $1; the end of $log:"
    tail -n 20 "$log" >&2
    exit 1
  fi
  ((loud)) && say "  done in $((SECONDS - began)) s"
  return 0
}

fetch_qemu() {
  # QEMU 10 from bookworm-backports: Debian 12's own 7.2 cannot run Wine. The
  # machine's apt sources stay untouched: a private list and state.
  local apt=$base/apt
  rm -rf "$apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/deb"
  echo "deb $mirror_uri bookworm-backports main" >"$apt/sources.list"
  local opts=(-q -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
              -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
              -o APT::Architectures::=amd64 -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update
  (cd "$apt/deb" && apt-get "${opts[@]}" download qemu-user)
  dpkg-deb -x "$apt"/deb/qemu-user_*.deb "$apt/x"
  install -m 755 "$apt/x/usr/bin/qemu-i386" "$qemu.new"
  mv "$qemu.new" "$qemu"
  rm -rf "$apt"
}

binfmt_ready() {
  local entry=$binfmt/qemu-i386
  [[ -f $entry ]] && grep -qx enabled "$entry" && grep -qx "interpreter $qemu" "$entry" &&
    grep -q '^flags: .*F' "$entry" && grep -qx enabled "$binfmt/status"
}

register_binfmt() {
  [[ -f $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt"
  echo 1 >"$binfmt/status"
  # Another qemu-i386 entry (an older QEMU) would win the match: replace it.
  [[ -f $binfmt/qemu-i386 ]] && echo -1 >"$binfmt/qemu-i386"
  # F: the kernel opens the emulator now, so it works inside the chroot too.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    >"$binfmt/register"
}

make_root() {
  debootstrap --arch=i386 --variant=minbase bookworm "$root" "$mirror_uri"
  printf 'deb %s bookworm main\ndeb %s bookworm-updates main\n' "$mirror_uri" "$mirror_uri" \
    >"$root/etc/apt/sources.list"
  touch "$root/.sorvak-debootstrapped"
}

install_wine() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c 'apt-get update -q && apt-get install -y -q --no-install-recommends wine wine32 && apt-get clean'
  touch "$root/.sorvak-wine"
}

shows() { # true when host folder $1 is what the same path inside shows
  [[ $(stat -c %d:%i "$1") == "$(stat -c %d:%i "$root$1" 2>/dev/null)" ]]
}

mount_all() {
  local p
  mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
  for p in /sys /dev "${shared[@]}"; do
    shows "$p" && continue
    # A folder deleted and made again (a fresh clone at the same path) leaves
    # the old one mounted inside, deleted: that one goes first.
    if mountpoint -q "$root$p"; then umount -l "$root$p"; fi
    mkdir -p "$root$p"
    mount --rbind "$p" "$root$p"
    # Unmounting inside must never reach the host's mounts.
    mount --make-rslave "$root$p"
  done
}

mounted() {
  local p
  mountpoint -q "$root/proc" || return 1
  for p in /sys /dev "${shared[@]}"; do shows "$p" || return 1; done
}

ready() {
  [[ $(cat "$base/ready" 2>/dev/null) == "$version" ]] && binfmt_ready && mounted
}

set_up() {
  local began=$SECONDS p
  for p in "${shared[@]}"; do
    [[ $base == "$p" || $base == "$p"/* ]] && { say "$base may not lie in $p"; exit 1; }
  done
  if [[ ! -x $qemu || $(cat "$base/ready" 2>/dev/null) != "$version" ]]; then
    loud=1
    say "setting up the 32-bit Wine route in $base (about 5 minutes, 1 GB; log: $log)"
  fi
  if [[ ! -x $qemu || ! -f $root/.sorvak-debootstrapped ]]; then
    mirror_uri=$(mirror) || exit 1
  fi
  if ! command -v debootstrap >/dev/null; then
    step "installing debootstrap" sh -c \
      'apt-get install -y -q --no-install-recommends debootstrap ||
       { apt-get update -q && apt-get install -y -q --no-install-recommends debootstrap; }'
  fi
  if [[ ! -x $qemu ]]; then
    step "fetching qemu-i386 (QEMU 10, bookworm-backports)" fetch_qemu
    [[ -f $binfmt/qemu-i386 ]] && echo -1 >"$binfmt/qemu-i386"
  fi
  if ! binfmt_ready; then
    step "registering qemu-i386 for i386 programs (binfmt_misc)" register_binfmt
  fi
  if [[ ! -f $root/.sorvak-debootstrapped ]]; then
    # What an interrupted run left: its mounts go first, or rm walks into /dev.
    unmount_all
    rm -rf --one-file-system "$root"
    step "making an i386 Debian 12 root (debootstrap, 2-3 minutes)" make_root
  fi
  if ! mounted; then
    step "mounting /proc, /sys, /dev, ${shared[*]} inside" mount_all
  fi
  if [[ ! -f $root/.sorvak-wine ]]; then
    step "installing wine and wine32 inside (1-2 minutes)" install_wine
  fi
  echo "$version" >"$base/ready"
  ((loud)) && say "the 32-bit Wine route is ready ($((SECONDS - began)) s)"
  return 0
}

if [[ ${1:-} == --remove ]]; then
  [[ -d $base ]] || exit 0
  exec {lock}>>"$base/lock"
  flock "$lock"
  unmount_all
  [[ -f $binfmt/qemu-i386 ]] && echo -1 >"$binfmt/qemu-i386"
  rm -rf --one-file-system "$base"
  exit 0
fi

if ! ready; then
  mkdir -p "$base"
  exec {lock}>>"$base/lock"
  # One set-up at a time; a second caller finds it done.
  flock "$lock"
  if ! ready; then
    set_up
  fi
  exec {lock}>&-
fi
(($#)) || exit 0

# The program runs as the caller: root, or whoever called through sudo.
user=${WINE32_USER:-0:0}
home=/root
if [[ $user != 0:0 ]]; then
  home=/tmp
  [[ -n ${WINE32_HOME:-} ]] && inside "$WINE32_HOME" && home=$WINE32_HOME
fi
vars=(HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin)
for v in "${passed[@]}"; do [[ -v $v ]] && vars+=("$v=${!v}"); done
if [[ -n ${WINEPREFIX:-} ]] && ! inside "$WINEPREFIX"; then
  say "WINEPREFIX=$WINEPREFIX is not visible inside (only ${shared[*]} are)"
  exit 2
fi
if [[ -n ${XAUTHORITY:-} && -r $XAUTHORITY ]]; then
  # The display's cookie, where the program can read it.
  install -D -m 600 -o "${user%:*}" "$XAUTHORITY" "$root/run/sorvak-xauth/${user%:*}"
  vars+=(XAUTHORITY="/run/sorvak-xauth/${user%:*}")
fi
dir=$PWD
if ! inside "$dir"; then
  say "note: $dir is not visible inside; the program starts in /"
  dir=/
fi
exec chroot --userspec="$user" "$root" /usr/bin/env -i -C "$dir" "${vars[@]}" "$@"
