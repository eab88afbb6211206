#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building and testing.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev python3
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
          clang libclang-rt-14-dev wine64 xvfb xdotool imagemagick x11-utils time file zip)
# The locale sources a Wine scenario compiles a Japanese locale from.
packages+=(locales)
# The native Linux program (X11, GTK tray) and its acceptance tests' tray host and bus.
packages+=(pkg-config libx11-dev libxi-dev libx11-xcb-dev libxext-dev libglib2.0-dev libgtk-3-dev
           libayatana-appindicator3-dev trayer dbus-daemon)
# The keys its bindings press (XTest; in a Wayland session the compositor's
# virtual keyboard, with a keymap of its own) and the compositors' answers
# on the program in front (JSON).
packages+=(libxtst-dev libwayland-dev libwayland-bin libxkbcommon-dev libjson-glib-dev)
# Its package (dpkg-shlibdeps, lintian, desktop-file-validate) and the tests'
# StatusNotifier host.
packages+=(dpkg-dev lintian desktop-file-utils python3-gi)
# The tests' keyboard layout change (setxkbmap) and process ids (ps).
packages+=(x11-xkb-utils procps)
# The performance script's key releases on Xvfb (XTest).
packages+=(libxtst-dev)
# Its libinput platform (Wayland sessions), and the virtual machine its tests
# run in (scripts/vm.sh): QEMU and busybox for the machine, and what the
# guest runs from this machine's root: udev, a Wayland compositor and a
# terminal, seatd, uinput devices from Python, libinput's own tools.
packages+=(libinput-dev libudev-dev qemu-system-x86 busybox-static udev sway seatd foot
           python3-evdev libinput-tools)
# Its tray on GNOME (a headless GNOME Shell, with and without the AppIndicator
# extension).
packages+=(gnome-shell gnome-shell-extension-appindicator)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
