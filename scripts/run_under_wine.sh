#!/usr/bin/env bash
# Starts build/win64/bin/sorvak.exe under Wine in a virtual desktop. With
# $DISPLAY set the desktop opens there: hold Ctrl and move the mouse. Without a
# display it plays a short scripted demonstration on a private Xvfb, prints
# what the program printed and the path of a screenshot, and exits.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=build/win64/bin/sorvak.exe
[[ -f $exe ]] || { echo "$exe is not built (cmake --preset win64 && cmake --build --preset win64)" >&2; exit 1; }

if [[ -n ${DISPLAY:-} ]]; then
  export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all
  python3 -c 'import sys; sys.path.insert(0, "tests/wine"); import harness; harness.ensure_prefix()'
  echo "sorvak runs in the Wine desktop on $DISPLAY; quit it from its tray icon (Exit)."
  exec /usr/lib/wine/wine64 "Z:$(realpath "$exe" | tr / '\\')"
fi

exec python3 - "$exe" <<'PY'
import shutil, sys, time
sys.path.insert(0, "tests/wine")
import harness

exe = harness.Path(sys.argv[1]).resolve()
conf = "// demonstration: labels only\nprec = 50\n"
with harness.Session("demo", exe.parent, helpers=False) as session:
    copy = session.start_sorvak(conf, "demo")
    for segments, start in (([(300, 0)], (300, 300)), ([(0, -300)], (512, 500)),
                            ([(-300, 300)], (700, 200)), ([(300, 0), (-300, 0)], (350, 300)),
                            ([], (512, 384))):
        session.gesture(segments, start=start)
        time.sleep(0.3)
    shot = harness.SHOTS / "demo.png"
    shot.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy2(session.screenshot("demo"), shot)
    session.tray_menu(copy, "exit")
    status = copy.wait()
    print("conf.txt:\n" + conf)
    print("sorvak.exe printed:\n" + copy.stdout() + copy.stderr(), end="")
    print(f"exit status {status}; screenshot: {shot}")
PY
