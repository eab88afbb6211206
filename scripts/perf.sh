#!/usr/bin/env bash
# Performance figures: the micro-benchmarks, load time and peak memory of the
# loader, instruction counts, the delay from a key release to the shell call,
# stripped sizes of the Windows programs, the idle wakeups, CPU and
# release-to-launch delay of the Linux program on Xvfb, its idle wakeups and
# release-to-launch delay on Wayland in the test machine (tests/vm) and idle
# CPU under Wine, the X11 and Wine ones with the trail off and on, what a
# held stroke costs with it off and on, and on X11 whether that cost grows
# over a long hold. Run from anywhere; results are printed and kept in
# build/perf/perf.txt.
#
# Environment: RUNS (default 5) runs per timing and repetitions per benchmark,
# IDLE_SECONDS (default 60) per idle measurement and IDLE_RUNS (default 3) of
# them for each program, RELEASE_STROKES (default 30) timed on Xvfb,
# SECTIONS (default "bench load callgrind release sizes linux wayland wine";
# "trail" is the Linux part's held strokes alone) to run only some parts,
# SKIP_WINE=1 to leave out the Wine part,
# LINUX_PROGRAM and WINE_PROGRAM to measure another build of the Linux sorvak
# (on Xvfb and in the test machine) or of the 64-bit sorvak.exe (one from
# before a change, say) instead of build/linux/bin/sorvak and
# build/win64/bin/sorvak.exe.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/perf"
runs=${RUNS:-5}
idle_seconds=${IDLE_SECONDS:-60}
idle_runs=${IDLE_RUNS:-3}
release_strokes=${RELEASE_STROKES:-30}
sections=" ${SECTIONS:-bench load callgrind release sizes linux wayland wine} "
[[ ${SKIP_WINE:-0} == 1 ]] && sections=${sections/ wine / }
want() { [[ $sections == *" $1 "* ]]; }
mkdir -p "$out"
report="$out/perf.txt"
: >"$report"

say() { printf '%s\n' "$*" | tee -a "$report"; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else print v[int((NR + 1) / 2)] }'; }
# The median of a list of numbers separated by blanks.
median_of() { tr ' ' '\n' <<<"$1" | awk NF | median; }
# The given percentile of such a list, the nearest rank's value.
percentile_of() {
    tr ' ' '\n' <<<"$2" | awk NF | sort -g |
        awk -v p="$1" '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else { i = int(NR * p / 100 + 0.999999); print v[i < 1 ? 1 : i] } }'
}

"$root/scripts/setup.sh" >&2
# Incremental builds, so the figures are always those of the current sources.
(cd "$root" && cmake --preset bench >/dev/null &&
    cmake --build --preset bench -j2 --target sorvak_bench sorvak-sim >/dev/null)
if want sizes || want wine; then
    for preset in win32 win64; do
        (cd "$root" && cmake --preset $preset >/dev/null && cmake --build --preset $preset -j2 >/dev/null)
    done
fi
bench="$root/build/bench/bin/sorvak_bench"
sim="$root/build/bench/bin/sorvak-sim"

[[ -x /usr/bin/time ]] || { echo "perf.sh: /usr/bin/time missing (Debian package: time)" >&2; exit 1; }

say "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -1)"
say "date: $(date -u '+%Y-%m-%d %H:%M UTC'), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
say ""

# A held stroke of about 10 s: the capture key down, the pointer round a
# circle in steps of 5 pixels every 10 ms, as fast as the capture samples it.
stroke_moves=$(awk 'BEGIN { for (i = 0; i <= 1000; i++) { a = i * 6.2832 / 250
    printf "mousemove %d %d sleep 0.01 ", 500 + 200 * cos(a), 380 + 200 * sin(a) } }')
# A held stroke of about 30 s that keeps reaching new ground, so the line
# grows all along: a Lissajous figure over the screen, 6 parts of 500 steps
# of about 4 pixels, 10 ms apart.
hold_moves=()
for ((part = 0; part < 6; part++)); do
    hold_moves+=("$(awk -v p=$part 'BEGIN { for (i = p * 500; i < (p + 1) * 500; i++) { a = i * 0.004
        printf "mousemove %d %d sleep 0.01 ", 512 + 480 * sin(3 * a), 384 + 360 * sin(2.17 * a) } }')")
done

# ---------------------------------------------------------------- conf files
typical='// gestures and the programs they start
// gesture = program | parameters

prec = 50
key = 0x11

up = notepad.exe
down = calc.exe
right = "C:\Program Files\Internet Explorer\iexplore.exe"
left = explorer.exe | c:\
up_right = mspaint.exe
down-right = cmd.exe | /k echo ready
up left = write.exe
DOWN_LEFT = taskmgr.exe
	vertical = control.exe
horizontal = explorer.exe | shell:Downloads
autre = charmap.exe

// the same stroke under another name
upright = mspaint.exe'

make_conf() { # dir, then the text on standard input
    mkdir -p "$out/conf/$1"
    cat >"$out/conf/$1/conf.txt"
}
printf '%s\n' "$typical" | make_conf typical
for lines in 100000 1000000; do
    printf '%s\n' "$typical" | awk -v n=$((lines / 20)) '{ t = t $0 "\n" } END { for (i = 0; i < n; i++) printf "%s", t }' |
        make_conf "lines_$lines"
done
{ printf 'up = '; head -c $((16 * 1024 * 1024)) /dev/zero | tr '\0' x; printf '\n'; } | make_conf one_16mb_line

# ---------------------------------------------------------------- micro-benchmarks
if want bench; then
    say "== Google Benchmark, median of $runs repetitions (build/bench/bin/sorvak_bench)"
    "$bench" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
        --benchmark_filter='^BM_(classify|gesture_cycles/|idle_cycle/|idle_cycle$|trim|str_to|read_line|load_conf)' \
        2>/dev/null | grep '_median ' | sed 's/_median / /' | tee -a "$report"
    say ""
fi

# ---------------------------------------------------------------- load time and peak RSS
if want load; then
say "== sorvak-sim: load conf.txt and exit (median of $runs runs)"
say "$(printf '%-16s %10s %10s %12s %12s' file bytes lines wall_ms peak_rss_kb)"
for name in typical lines_100000 lines_1000000 one_16mb_line; do
    conf="$out/conf/$name/conf.txt"
    walls=() rss=()
    for ((i = 0; i < runs; i++)); do
        start=$EPOCHREALTIME
        /usr/bin/time -v -o "$out/time.txt" "$sim" "$out/conf/$name/sorvak.exe" </dev/null >/dev/null 2>"$out/sim_stderr.txt"
        walls+=("$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", (b - a) * 1000 }')")
        rss+=("$(awk -F': ' '/Maximum resident/ { print $2 }' "$out/time.txt")")
    done
    [[ -s $out/sim_stderr.txt ]] && say "  note: $name printed $(wc -l <"$out/sim_stderr.txt") diagnostic lines"
    say "$(printf '%-16s %10s %10s %12s %12s' "$name" "$(stat -c %s "$conf")" "$(wc -l <"$conf")" \
        "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${rss[@]}" | median)")"
done
say ""
fi

# ---------------------------------------------------------------- instruction counts
if ! want callgrind; then
    :
elif command -v valgrind >/dev/null; then
    say "== instruction counts (callgrind, stable under load)"
    callgrind_ir() { # function to collect, then the command
        local fn=$1
        shift
        rm -f "$out"/callgrind.out.*
        valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out.%p" \
            --toggle-collect="$fn" "$@" </dev/null >/dev/null 2>"$out/callgrind.log"
        awk '/^(summary|totals):/ { print $2; exit }' "$out"/callgrind.out.*
    }
    ir=$(callgrind_ir 'capture_cycle(gesture_context*)' "$bench" --benchmark_filter='BM_idle_cycle_fixed')
    say "idle cycle (key up, cursor still): $((ir / 100000)) instructions per cycle (${ir} for 100000)"
    for trail in off on; do
        fixed=BM_gesture_cycles_fixed/
        [[ $trail == on ]] && fixed=BM_gesture_cycles_trail_fixed/
        ir=$(callgrind_ir 'capture_cycle(gesture_context*)' "$bench" --benchmark_filter="$fixed")
        say "one gesture (3 cycles, label, shell call), trail $trail: $((ir / 10000)) instructions"
    done
    for name in typical lines_100000 one_16mb_line; do
        ir=$(callgrind_ir 'load_conf(gesture_context*)' "$sim" "$out/conf/$name/sorvak.exe")
        bytes=$(stat -c %s "$out/conf/$name/conf.txt")
        say "load_conf $name: $ir instructions, $(awk -v i="$ir" -v b="$bytes" 'BEGIN { printf "%.1f", i / b }') per byte"
    done
    say ""
else
    say "== instruction counts skipped: valgrind missing (Debian package: valgrind)"
fi

# ---------------------------------------------------------------- release to shell
if want release; then
say "== key release to shell call, stand-in, real 10 ms sleep (100 gestures)"
line=$("$bench" --benchmark_filter='BM_release_to_shell' 2>/dev/null | grep '^BM_release_to_shell')
counter() { grep -o "$1=[-0-9.kM]*" <<<"$line" | cut -d= -f2; }
say "mean $(awk '{ print $2, $3 }' <<<"$line"), median $(counter median_ms) ms, max $(counter max_ms) ms," \
    "end of sleep to shell call $(counter wake_to_shell_us) us"
say ""
fi

# ---------------------------------------------------------------- Windows program sizes
if want sizes; then
say "== stripped sizes of the Windows programs"
for arch in win32:i686 win64:x86_64; do
    for program in sorvak sorvak-check; do
        exe="$root/build/${arch%%:*}/bin/$program.exe"
        strip_tool="${arch#*:}-w64-mingw32-strip"
        if [[ -f $exe ]] && command -v "$strip_tool" >/dev/null; then
            "$strip_tool" -o "$out/$program-${arch%%:*}-stripped.exe" "$exe"
            say "${arch%%:*} $program.exe: $(stat -c %s "$out/$program-${arch%%:*}-stripped.exe") bytes stripped ($(stat -c %s "$exe") as built)"
        else
            say "${arch%%:*} $program.exe: skipped, not built (cmake --preset ${arch%%:*} && cmake --build --preset ${arch%%:*})"
        fi
    done
done
say ""
fi

# ---------------------------------------------------------------- idle of the Linux program
if ! want linux && ! want trail; then
    say "== idle of the Linux program not asked for"
elif ! command -v Xvfb >/dev/null || ! command -v dbus-daemon >/dev/null || ! command -v gcc >/dev/null ||
    ! command -v xdotool >/dev/null; then
    say "== idle of the Linux program skipped: needs xvfb, dbus-daemon, gcc and xdotool"
else
    linux_program=${LINUX_PROGRAM:-$root/build/linux/bin/sorvak}
    if [[ -z ${LINUX_PROGRAM:-} ]]; then
        (cd "$root" && cmake --preset linux >/dev/null && cmake --build --preset linux -j2 --target sorvak >/dev/null)
    fi
    run="$out/linux_run"
    rm -rf "$run"
    mkdir -p "$run"
    cp "$linux_program" "$run/sorvak"
    : >"$run/conf.txt" # the defaults: Ctrl captures, no trail
    mkdir -p "$run/trail"
    cp "$linux_program" "$run/trail/sorvak"
    echo "trail = 1" >"$run/trail/conf.txt"
    gcc -O2 -o "$run/idle_baseline" "$root/bench/idle_baseline_x11.c" -lX11
    # A display, a session bus and a tray host of its own, as on a desktop.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
    linux_xvfb=$!
    dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$run/bus"
    linux_bus=$(sed -n 2p "$run/bus")
    linux_tray=
    # Stops only what this section started.
    linux_cleanup() { kill $linux_tray "$linux_bus" "$linux_xvfb" 2>/dev/null || true; }
    trap linux_cleanup EXIT
    for ((i = 0; i < 100; i++)); do
        [[ -s $run/display ]] && break
        sleep 0.1
    done
    linux_env=(DISPLAY=":$(cat "$run/display")" DBUS_SESSION_BUS_ADDRESS="$(sed -n 1p "$run/bus")" NO_AT_BRIDGE=1)
    if command -v trayer >/dev/null; then
        env "${linux_env[@]}" trayer --edge bottom --SetDockType false >/dev/null 2>&1 &
        linux_tray=$!
    fi
    sleep 2
    # Wakeups (voluntary and involuntary context switches) and CPU time (ns,
    # from schedstat) of all of a process's threads so far; %.0f because
    # mawk's %d stops at 2^31.
    switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s + 0 }'; }
    cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ t += $1 } END { printf "%.0f\n", t }'; }
    measure_linux() { # the program and its arguments; prints wakeups, CPU ns, Xvfb CPU ns
        local pid s0 c0 x0 s1 c1 x1
        env "${linux_env[@]}" "$@" >/dev/null 2>&1 &
        pid=$!
        sleep 5 # let start-up finish
        s0=$(switches $pid) c0=$(cpu_ns $pid) x0=$(cpu_ns $linux_xvfb)
        sleep "$idle_seconds"
        s1=$(switches $pid) c1=$(cpu_ns $pid) x1=$(cpu_ns $linux_xvfb)
        if kill $pid 2>/dev/null; then
            echo "$((s1 - s0)) $((c1 - c0)) $((x1 - x0))"
        fi
        wait $pid 2>/dev/null || true
    }
    measure_linux_stroke() { # the program; prints its CPU ns, Xvfb's, and the stroke's length in ms
        local pid c0 x0 t0 c1 x1 t1
        env "${linux_env[@]}" "$1" >/dev/null 2>&1 &
        pid=$!
        sleep 5
        env "${linux_env[@]}" xdotool mousemove 700 380 keydown ctrl sleep 0.2
        c0=$(cpu_ns $pid) x0=$(cpu_ns $linux_xvfb) t0=$EPOCHREALTIME
        # shellcheck disable=SC2086 # one word each
        env "${linux_env[@]}" xdotool $stroke_moves
        c1=$(cpu_ns $pid) x1=$(cpu_ns $linux_xvfb) t1=$EPOCHREALTIME
        env "${linux_env[@]}" xdotool keyup ctrl sleep 1.5
        if kill $pid 2>/dev/null; then
            echo "$((c1 - c0)) $((x1 - x0)) $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.0f", (b - a) * 1000 }')"
        fi
        wait $pid 2>/dev/null || true
    }
    measure_linux_hold() { # the program; prints Xvfb's CPU µs per step in each part of the hold
        local pid part x0 x1 parts=
        env "${linux_env[@]}" "$1" >/dev/null 2>&1 &
        pid=$!
        sleep 5
        env "${linux_env[@]}" xdotool mousemove 512 384 keydown ctrl sleep 0.2
        for ((part = 0; part < ${#hold_moves[@]}; part++)); do
            x0=$(cpu_ns $linux_xvfb)
            # shellcheck disable=SC2086 # one word each
            env "${linux_env[@]}" xdotool ${hold_moves[part]}
            x1=$(cpu_ns $linux_xvfb)
            parts+="$(((x1 - x0) / 500000)) "
        done
        env "${linux_env[@]}" xdotool keyup ctrl sleep 1.5
        if kill $pid 2>/dev/null; then
            echo "$parts"
        fi
        wait $pid 2>/dev/null || true
    }
fi
if want linux && [[ -n ${linux_env:-} ]]; then
    say "== idle of the Linux program on Xvfb over ${idle_seconds} s, median of $idle_runs runs"
    say "   ($linux_program; wakeups: context switches of all threads, /proc/PID/task/*/status;"
    say "   CPU: their run time, /proc/PID/task/*/schedstat)"
    declare -A linux_wakeups linux_cpu linux_server
    linux_labels=(sorvak "sorvak trail" "sleep only" "queries+sleep")
    for ((r = 0; r < idle_runs; r++)); do
        for label in "${linux_labels[@]}"; do
            case $label in
                sorvak) result=$(measure_linux "$run/sorvak") ;;
                "sorvak trail") result=$(measure_linux "$run/trail/sorvak") ;;
                "sleep only") result=$(measure_linux "$run/idle_baseline") ;;
                *) result=$(measure_linux "$run/idle_baseline" poll) ;;
            esac
            [[ -n $result ]] || { say "$label: did not stay up"; continue; }
            read -r w c x <<<"$result"
            linux_wakeups[$label]+="$w " linux_cpu[$label]+="$c " linux_server[$label]+="$x "
        done
    done
    say "$(printf '%-14s %10s %22s %22s' program wakeups/s 'process CPU ms' 'Xvfb CPU ms')"
    for label in "${linux_labels[@]}"; do
        w=$(median_of "${linux_wakeups[$label]:-}")
        c=$(median_of "${linux_cpu[$label]:-}")
        x=$(median_of "${linux_server[$label]:-}")
        [[ $w == n/a ]] && continue
        say "$(awk -v w="$w" -v c="$c" -v x="$x" -v d="$idle_seconds" -v n="$label" \
            'BEGIN { printf "%-14s %10.2f %12.1f (%6.3f%%) %12.1f (%6.3f%%)", n, w / d, c / 1e6, c / 1e7 / d, x / 1e6, x / 1e7 / d }')"
    done
    say "  runs (wakeups, process CPU ns, Xvfb CPU ns, over ${idle_seconds} s):"
    for label in "${linux_labels[@]}"; do
        say "    $label: ${linux_wakeups[$label]:-}/ ${linux_cpu[$label]:-}/ ${linux_server[$label]:-}"
    done
    say ""
fi
if [[ -n ${linux_env:-} ]]; then
    say "== a held stroke of about 10 s (1000 steps of 5 px, 10 ms apart), median of $idle_runs runs"
    declare -A stroke_cpu stroke_server stroke_ms
    for ((r = 0; r < idle_runs; r++)); do
        for label in sorvak "sorvak trail"; do
            program=$run/sorvak
            [[ $label == "sorvak trail" ]] && program=$run/trail/sorvak
            result=$(measure_linux_stroke "$program")
            [[ -n $result ]] || { say "$label: did not stay up"; continue; }
            read -r c x t <<<"$result"
            stroke_cpu[$label]+="$c " stroke_server[$label]+="$x " stroke_ms[$label]+="$t "
        done
    done
    say "$(printf '%-14s %22s %22s' program 'process CPU ms/s' 'Xvfb CPU ms/s')"
    for label in sorvak "sorvak trail"; do
        c=$(median_of "${stroke_cpu[$label]:-}")
        x=$(median_of "${stroke_server[$label]:-}")
        t=$(median_of "${stroke_ms[$label]:-}")
        [[ $c == n/a ]] && continue
        say "$(awk -v c="$c" -v x="$x" -v t="$t" -v n="$label" \
            'BEGIN { printf "%-14s %22.2f %22.2f", n, c / 1e3 / t, x / 1e3 / t }')"
    done
    say "  runs (process CPU ns, Xvfb CPU ns, stroke ms):"
    for label in sorvak "sorvak trail"; do
        say "    $label: ${stroke_cpu[$label]:-}/ ${stroke_server[$label]:-}/ ${stroke_ms[$label]:-}"
    done
    say ""
    say "== a held stroke of about 30 s over new ground (6 parts of 500 steps of 4 px, 10 ms apart),"
    say "   the X server's CPU per step in each part, median of $idle_runs runs"
    declare -A hold_server
    for ((r = 0; r < idle_runs; r++)); do
        for label in sorvak "sorvak trail"; do
            program=$run/sorvak
            [[ $label == "sorvak trail" ]] && program=$run/trail/sorvak
            result=$(measure_linux_hold "$program")
            [[ -n $result ]] || { say "$label: did not stay up"; continue; }
            read -ra parts <<<"$result"
            for ((part = 0; part < ${#parts[@]}; part++)); do
                hold_server[$label,$part]+="${parts[part]} "
            done
        done
    done
    say "$(printf '%-14s %s' program 'Xvfb CPU µs a step, parts 1 to 6')"
    for label in sorvak "sorvak trail"; do
        line=$(printf '%-14s' "$label")
        for ((part = 0; part < ${#hold_moves[@]}; part++)); do
            line+=$(printf ' %6s' "$(median_of "${hold_server[$label,$part]:-}")")
        done
        say "$line"
    done
    say "  runs (µs a step, part by part):"
    for label in sorvak "sorvak trail"; do
        line="    $label:"
        for ((part = 0; part < ${#hold_moves[@]}; part++)); do
            line+=" ${hold_server[$label,$part]:-}/"
        done
        say "$line"
    done
    say ""
    say "== key release to launch on Xvfb, $release_strokes strokes (the release through XTest; the"
    say "   bound program, bench/release_x11.c, stamps its start; both CLOCK_MONOTONIC)"
    mkdir -p "$run/release"
    cp "$linux_program" "$run/release/sorvak"
    gcc -O2 -o "$run/release_x11" "$root/bench/release_x11.c" -lX11 -lXtst
    : >"$run/release/stamps.txt"
    echo "right = $run/release_x11 | stamp $run/release/stamps.txt" >"$run/release/conf.txt"
    env "${linux_env[@]}" "$run/release/sorvak" >/dev/null 2>&1 &
    release_pid=$!
    sleep 5
    delays=$(env "${linux_env[@]}" "$run/release_x11" "$release_strokes" "$run/release/stamps.txt" | tr '\n' ' ')
    kill $release_pid 2>/dev/null || true
    wait $release_pid 2>/dev/null || true
    say "median $(median_of "$delays") ms, 90th percentile $(percentile_of 90 "$delays") ms," \
        "fastest $(percentile_of 0 "$delays") ms, slowest $(percentile_of 100 "$delays") ms"
    say "  delays (ms): $delays"
    linux_cleanup
    trap - EXIT
fi
say ""

# ---------------------------------------------------------------- the Linux program on Wayland
if ! want wayland; then
    say "== the Linux program on Wayland not asked for"
else
    (cd "$root" && cmake --preset linux >/dev/null &&
        cmake --build --preset linux -j2 --target sorvak sorvak-check >/dev/null)
    "$root/scripts/vm.sh" >/dev/null
    vm_out="$out/vm.txt"
    # One boot: three idle periods of 60 s, then 20 strokes.
    /usr/bin/python3 "$root/tests/vm/vm.py" --program "${LINUX_PROGRAM:-$root/build/linux/bin/sorvak}" \
        --check "$root/build/linux/bin/sorvak-check" measure_idle measure_release >"$vm_out" 2>&1 || true
    figures() { # the numbers of one measure's JSON list, blank-separated
        /usr/bin/python3 -c 'import json, sys
for line in open(sys.argv[1]):
    if line.startswith("{") and json.loads(line).get("measure") == sys.argv[2]:
        print(" ".join(str(v) for v in json.loads(line)[sys.argv[3]]))' "$vm_out" "$1" "$2"
    }
    idle=$(figures idle wakeups)
    delays=$(figures release delays)
    guest_spin=$(figures release spin_ms)
    host_spin=$(/usr/bin/python3 -c 'import timeit; print(min(timeit.repeat("sum(range(3000000))", number=1, repeat=5)) * 1000)')
    boot=$(sed -n 's/^guest booted in \([0-9.]*\) s (\([a-z]*\).*/\1 s (\2)/p' "$vm_out")
    if [[ -z $idle || -z $delays ]]; then
        say "== the Linux program on Wayland: the test machine gave no figures; $vm_out:"
        tail -n 20 "$vm_out" | tee -a "$report"
    else
        say "== the Linux program on Wayland, in the test machine (sway, libinput; booted in $boot)"
        say "idle wakeups over 60 s, 3 runs: $idle; median $(median_of "$idle") ($(awk -v w="$(median_of "$idle")" 'BEGIN { printf "%.3f", w / 60 }') a second)"
        say "key release to the launch (the program's fork, as the guest's kernel times it), 20 strokes:" \
            "median $(median_of "$delays") ms, 90th percentile $(percentile_of 90 "$delays") ms"
        say "  delays (ms): $delays"
        say "  emulation: a fixed Python loop takes $(awk -v g="$guest_spin" 'BEGIN { printf "%.1f", g }') ms in the guest, $(awk -v h="$host_spin" 'BEGIN { printf "%.1f", h }') ms here ($(awk -v g="$guest_spin" -v h="$host_spin" 'BEGIN { printf "%.1f", g / h }')x)"
    fi
fi
say ""

# ---------------------------------------------------------------- idle CPU under Wine
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
exe64=${WINE_PROGRAM:-$root/build/win64/bin/sorvak.exe}
if ! want wine; then
    say "== idle CPU under Wine not asked for"
elif [[ ! -x $wine ]] || ! command -v Xvfb >/dev/null || ! command -v x86_64-w64-mingw32-gcc >/dev/null ||
    ! command -v xdotool >/dev/null; then
    say "== idle CPU under Wine skipped: needs wine64, xvfb, gcc-mingw-w64-x86-64 and xdotool"
elif [[ ! -f $exe64 ]]; then
    say "== idle CPU under Wine skipped: $exe64 not built"
else
    say "== idle CPU under Wine over ${idle_seconds} s, median of $idle_runs runs (utime+stime from /proc/PID/stat)"
    say "   ($exe64)"
    mkdir -p "$out/wine_run/trail"
    x86_64-w64-mingw32-gcc -O2 -mwindows -o "$out/wine_run/idle_baseline.exe" "$root/bench/idle_baseline.c"
    cp "$exe64" "$out/wine_run/sorvak.exe"
    cp "$out/conf/typical/conf.txt" "$out/wine_run/conf.txt"
    cp "$exe64" "$out/wine_run/trail/sorvak.exe"
    { cat "$out/conf/typical/conf.txt"; echo "trail = 1"; } >"$out/wine_run/trail/conf.txt"
    export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all
    # Nothing left over from an earlier run may share the server.
    "$wineserver" -k >/dev/null 2>&1 || true
    display=97
    while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
    export DISPLAY=:$display
    Xvfb ":$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    # Stops only what this script started: its prefix's wineserver and its Xvfb.
    cleanup() { "$wineserver" -k >/dev/null 2>&1 || true; kill "$xvfb_pid" 2>/dev/null || true; }
    trap cleanup EXIT
    sleep 2
    [[ -d $WINEPREFIX ]] || timeout 300 "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    tck=$(getconf CLK_TCK)
    ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
    # CPU ticks of one program over the idle period, then of its wineserver;
    # with "stroke" first, over a held stroke instead, then Xvfb's ticks and
    # the stroke's length in ms.
    measure() { # [stroke] program (under wine_run, \ between folders), then its arguments
        local mode=idle prog pid="" server="" server_dir candidate p0 s0 x0 t0 p1 s1 x1 t1 i
        [[ $1 == stroke ]] && { mode=stroke; shift; }
        prog=$1
        shift
        "$wine" explorer /desktop=perf,1024x768 "Z:${out//\//\\}\\wine_run\\$prog" "$@" >/dev/null 2>&1 &
        # The program's own process, not the explorer that started it.
        for ((i = 0; i < 60; i++)); do
            sleep 1
            pid=$(pgrep -a -f "wine_run.${prog//\\/.}" -U "$(id -u)" | grep -v -i explorer | awk 'NR == 1 { print $1 }' || true)
            [[ -n $pid ]] && break
        done
        # This prefix's server: its working directory is named after the prefix.
        server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
        for candidate in $(pgrep '^wineserver' -U "$(id -u)"); do
            [[ $(readlink "/proc/$candidate/cwd") == */"$server_dir" ]] && server=$candidate
        done
        if [[ -n $pid && -n $server && $mode == idle ]]; then
            sleep 5 # let start-up finish
            p0=$(ticks "$pid") s0=$(ticks "$server")
            sleep "$idle_seconds"
            echo "$(($(ticks "$pid") - p0)) $(($(ticks "$server") - s0))"
        elif [[ -n $pid && -n $server ]]; then
            sleep 5
            xdotool mousemove 700 380 keydown ctrl sleep 0.2
            p0=$(ticks "$pid") s0=$(ticks "$server") x0=$(ticks "$xvfb_pid") t0=$EPOCHREALTIME
            # shellcheck disable=SC2086 # one word each
            xdotool $stroke_moves
            p1=$(ticks "$pid") s1=$(ticks "$server") x1=$(ticks "$xvfb_pid") t1=$EPOCHREALTIME
            xdotool keyup ctrl sleep 1.5
            echo "$((p1 - p0)) $((s1 - s0)) $((x1 - x0))" \
                "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.0f", (b - a) * 1000 }')"
        fi
        "$wineserver" -k >/dev/null 2>&1 || true
        sleep 2
    }
    declare -A proc_ticks server_ticks
    labels=(sorvak "sorvak trail" "sleep only" "queries+sleep")
    for ((run = 0; run < idle_runs; run++)); do
        for label in "${labels[@]}"; do
            case $label in
                sorvak) result=$(measure sorvak.exe) ;;
                "sorvak trail") result=$(measure 'trail\sorvak.exe') ;;
                "sleep only") result=$(measure idle_baseline.exe) ;;
                *) result=$(measure idle_baseline.exe poll) ;;
            esac
            [[ -n $result ]] || { say "$label: did not start under Wine"; continue; }
            proc_ticks[$label]+="${result% *} "
            server_ticks[$label]+="${result#* } "
        done
    done
    say "$(printf '%-14s %18s %22s %12s' program 'process CPU s' 'wineserver CPU s' 'total %')"
    for label in "${labels[@]}"; do
        p=$(median_of "${proc_ticks[$label]:-}")
        w=$(median_of "${server_ticks[$label]:-}")
        [[ $p == n/a ]] && continue
        say "$(awk -v p="$p" -v s="$w" -v t="$tck" -v d="$idle_seconds" -v n="$label" \
            'BEGIN { printf "%-14s %11.2f (%4.2f%%) %15.2f (%4.2f%%) %11.2f%%", n, p / t, 100 * p / t / d, s / t, 100 * s / t / d, 100 * (p + s) / t / d }')"
    done
    say "  runs (process ticks, wineserver ticks at $tck a second):"
    for label in "${labels[@]}"; do
        say "    $label: ${proc_ticks[$label]:-}/ ${server_ticks[$label]:-}"
    done
    say ""
    say "== a held stroke of about 10 s under Wine (1000 steps of 5 px, 10 ms apart), median of $idle_runs runs"
    # Arrays of their own: the Linux section's stroke lengths must not join
    # these medians.
    declare -A stroke_proc stroke_wineserver stroke_x wine_stroke_ms
    for ((r = 0; r < idle_runs; r++)); do
        for label in sorvak "sorvak trail"; do
            prog=sorvak.exe
            [[ $label == "sorvak trail" ]] && prog='trail\sorvak.exe'
            result=$(measure stroke "$prog")
            [[ -n $result ]] || { say "$label: did not start under Wine"; continue; }
            read -r p w x t <<<"$result"
            stroke_proc[$label]+="$p " stroke_wineserver[$label]+="$w " stroke_x[$label]+="$x " wine_stroke_ms[$label]+="$t "
        done
    done
    say "$(printf '%-14s %18s %22s %16s' program 'process CPU %' 'wineserver CPU %' 'Xvfb CPU %')"
    for label in sorvak "sorvak trail"; do
        p=$(median_of "${stroke_proc[$label]:-}")
        w=$(median_of "${stroke_wineserver[$label]:-}")
        x=$(median_of "${stroke_x[$label]:-}")
        t=$(median_of "${wine_stroke_ms[$label]:-}")
        [[ $p == n/a ]] && continue
        say "$(awk -v p="$p" -v w="$w" -v x="$x" -v t="$t" -v k="$tck" -v n="$label" \
            'BEGIN { f = 100000 / k / t; printf "%-14s %18.1f %22.1f %16.1f", n, p * f, w * f, x * f }')"
    done
    say "  runs (process, wineserver and Xvfb ticks at $tck a second, stroke ms):"
    for label in sorvak "sorvak trail"; do
        say "    $label: ${stroke_proc[$label]:-}/ ${stroke_wineserver[$label]:-}/ ${stroke_x[$label]:-}/ ${wine_stroke_ms[$label]:-}"
    done
fi
say ""
say "kept in $report"
