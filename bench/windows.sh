#!/usr/bin/env bash
# The Windows program against the hello window (bench/hellowindow), the
# smallest window of the same toolkit built and linked the same way; two
# lines, ratio = ours/hello:
#  - exe_size: the two files of the shipped 32-bit build, ORVANE_WINDOWS_BUILD
#    (default build/windows, as scripts/test-windows leaves it). What each
#    library costs: scripts/windows-size-report on the link maps beside the
#    programs.
#  - windows_start: where Wine runs the program, the time from its start to
#    its window being mapped, the program started without arguments in a
#    folder that holds its option list (written by its own --WriteConfig),
#    so that it starts quietly. Five interleaved runs in one fresh 64-bit
#    prefix (a 64-bit Windows, as customers have), made and warmed first
#    (wineboot, the --WriteConfig run and one untimed start of each, one
#    wineserver throughout); the median of the pair ratios with their
#    spread. The 32-bit build runs where this machine runs 32-bit programs;
#    elsewhere the 64-bit build of the same sources, ORVANE_WINDOWS_BUILD_X64
#    (default build/windows-x64).
# Either line says "skipped" and why when its build or Wine is missing. On a
# private Xvfb when there is no display.
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
build=${ORVANE_WINDOWS_BUILD:-build/windows}

has_programs() { [ -f "$1/bin/OrvaneSupport.exe" ] && [ -f "$1/bin/hellowindow.exe" ]; }

if has_programs "$build"; then
  awk -v o="$(stat -c %s "$build/bin/OrvaneSupport.exe")" -v h="$(stat -c %s "$build/bin/hellowindow.exe")" 'BEGIN {
    printf "exe_size: ours=%.2fMB hello=%.2fMB (goal 7MB, ratio 1.05) ratio=%.2f\n", o / 1e6, h / 1e6, o / h
  }'
else
  echo "exe_size: skipped, no Windows build with OrvaneSupport.exe and hellowindow.exe in $build (scripts/test-windows makes one)"
fi

: "${BENCH_TMP:?}"
if ! command -v wine >/dev/null 2>&1; then
  echo "windows_start: skipped, Wine is not installed (scripts/test-windows installs it)"
  exit 0
fi
if scripts/can-run-i386 && dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  kind="32-bit program"
else
  # 32-bit Wine cannot start here: the same sources built for 64-bit Windows.
  kind="64-bit build (this machine runs no 32-bit programs)"
  build=${ORVANE_WINDOWS_BUILD_X64:-build/windows-x64}
  . scripts/lib/wine64-only.sh
  use_wine64_only "$BENCH_TMP/wine64-only"
fi
if ! has_programs "$build"; then
  echo "windows_start: skipped, no $kind with OrvaneSupport.exe and hellowindow.exe in $build (scripts/test-windows makes one)"
  exit 0
fi

export WINEPREFIX=$BENCH_TMP/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true' EXIT
wineserver -p
wineboot -i >/dev/null 2>&1

# The option list, written by the program itself; its "Config written" box
# is not answered, the program is ended once the file is complete (CR LF).
run_dir=$BENCH_TMP/windows_start
mkdir -p "$run_dir"
ours=$(readlink -f "$build/bin/OrvaneSupport.exe")
hello=$(readlink -f "$build/bin/hellowindow.exe")
(cd "$run_dir" && exec wine "$ours" --WriteConfig >/dev/null 2>&1) &
writer=$!
for _ in $(seq 1 600); do
  [ -s "$run_dir/orvanesupport.json" ] && [ "$(tail -c 2 "$run_dir/orvanesupport.json" | od -An -tx1 | tr -d ' ')" = 0d0a ] &&
    break
  sleep 0.1
done
kill -9 "$writer" 2>/dev/null || true
wait "$writer" 2>/dev/null || true
[ -s "$run_dir/orvanesupport.json" ] || { echo "windows_start: OrvaneSupport.exe --WriteConfig wrote no option list" >&2; exit 1; }

python3 - "$ours" "$hello" "$run_dir" "$kind" "$(wine --version 2>/dev/null || echo Wine)" <<'PY'
import subprocess, sys, time
sys.path.insert(0, "bench")
from benchstats import summary
from xwindow import Screen

ours, hello, folder, kind, wine = sys.argv[1:6]
screen = Screen()
# The program's frame is made as "Orvane Support" and named "Orvane Remote
# Support V..." while it starts; either counts.
TITLES = {ours: ("Orvane Support", "Orvane Remote Support"), hello: "Orvane Hello"}


def wait_until(condition, seconds):
    end = time.perf_counter() + seconds
    while not condition():
        if time.perf_counter() > end:
            return False
        time.sleep(0.002)
    return True


def measure(program):
    start = time.perf_counter()
    # wine execs the Windows program's loader: this process is the program.
    process = subprocess.Popen(["wine", program], cwd=folder, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    if not wait_until(lambda: screen.mapped(TITLES[program]) or process.poll() is not None, 120) or \
            process.poll() is not None:
        process.kill()
        raise SystemExit(f"windows_start: {program} showed no window")
    shown = time.perf_counter() - start
    process.kill()
    process.wait()
    # The next run must not see this window.
    if not wait_until(lambda: not screen.mapped(TITLES[program]), 30):
        raise SystemExit(f"windows_start: the window of {program} stayed after it was ended")
    return shown


measure(ours)
measure(hello)
times = {ours: [], hello: []}
for _ in range(5):
    for program in (ours, hello):
        times[program].append(measure(program))
o, h, ratio, spread = summary(times[ours], times[hello])
print(f"windows_start: {kind} under {wine}, median of 5 to the window mapped "
      f"ours={o * 1000:.0f}ms hello={h * 1000:.0f}ms spread={spread} ratio={ratio:.2f}")
PY
