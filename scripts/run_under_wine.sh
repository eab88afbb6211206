#!/usr/bin/env bash
# Starts build/win64/bin/sorvak.exe under Wine in a virtual desktop. With
# $DISPLAY set the desktop opens there: hold Ctrl and move the mouse. Without a
# display it plays a short scripted demonstration on a private Xvfb, prints
# what the program printed and the path of a screenshot, and exits.
# ARCH=win32: the shipped build/win32/bin/sorvak.exe under the emulated 32-bit
# Wine of scripts/wine32.sh (set up the first time, in about five minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
# Any other ARCH (a variable some systems set for themselves) means win64.
arch=win64 wine=(/usr/lib/wine/wine64)
[[ ${ARCH:-} == win32 ]] && arch=win32 wine=(scripts/wine32.sh wine)
exe=build/$arch/bin/sorvak.exe
[[ -f $exe ]] || { echo "$exe is not built (cmake --preset $arch && cmake --build --preset $arch)" >&2; exit 1; }
# Its progress shows here rather than in a silent first wine call.
[[ $arch == win64 ]] || scripts/wine32.sh

if [[ -n ${DISPLAY:-} ]]; then
  # A folder of its own beside the build, with the sample conf.txt the first
  # time; later edits of that file are kept.
  run_dir=${RUN_DIR:-$PWD/build/run}
  mkdir -p "$run_dir"
  cp "$exe" "$run_dir/sorvak.exe"
  [[ -f $run_dir/conf.txt ]] || cp shell/dist/conf.txt "$run_dir/conf.txt"
  WINEPREFIX=$(python3 -c 'import sys; sys.path.insert(0, "tests/wine"); import harness
harness.use_arch(sys.argv[1]); harness.ensure_prefix(); print(harness.PREFIX)' "$arch")
  export WINEPREFIX WINEDEBUG=-all
  echo "sorvak runs in the Wine desktop on $DISPLAY with $run_dir/conf.txt."
  echo "Hold Ctrl, move the mouse, release Ctrl: right opens Notepad, left Explorer."
  echo "Right-click its icon (bottom right) to edit or reload conf.txt, or to exit."
  echo "What it prints appears here when it exits."
  exec "${wine[@]}" "Z:$(tr / '\\' <<<"$run_dir")\\sorvak.exe"
fi

exec python3 - "$exe" "$arch" <<'PY'
import shutil, sys, time
sys.path.insert(0, "tests/wine")
import harness

exe = harness.Path(sys.argv[1]).resolve()
harness.use_arch(sys.argv[2])
conf = "// demonstration\nright = notepad.exe\nprec = 50\n"
print("conf.txt:\n" + conf)
with harness.Session("demo", exe.parent, helpers=False) as session:
    copy = session.start_sorvak(conf, "demo")
    for name, segments, start in (("right", [(300, 0)], (300, 300)),
                                  ("up", [(0, -300)], (512, 500)),
                                  ("down and left", [(-300, 300)], (700, 200)),
                                  ("right and back", [(300, 0), (-300, 0)], (350, 300)),
                                  ("no movement", [], (512, 384))):
        print(f"Ctrl held, mouse moved {name}")
        session.gesture(segments, start=start)
        time.sleep(0.3)
    session.wait_for_window("notepad", "Notepad, bound to the rightward stroke")
    menu = session.open_tray_menu(copy)
    shot = harness.REPO / "build" / "demo.png"
    shutil.copy2(session.screenshot("demo"), shot)
    print("tray menu opened, Exit chosen")
    session.pick_menu_item(menu, "exit")
    status = copy.wait()
    print("\nsorvak.exe printed:\n" + copy.stdout() + copy.stderr(), end="")
    print(f"exit status {status}; screenshot: {shot}")
PY
