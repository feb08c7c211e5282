#!/usr/bin/env bash
# The assistant window, two benchmarks, one line each (on a private Xvfb when
# there is no display):
#  - window_stall: a download from a loopback server that stalls after the
#    first bytes. The largest gap between two events the window handled
#    (a 5 ms timer), against a goal of 100 ms, and the time from Escape (at
#    a random moment 3 to 4 s in) to
#    the end of the transfer (the server sees the hang-up), against 200 ms.
#    Five runs; each run's ratio is measured/goal, the larger of the
#    two; the line gives the medians and the spread of the run ratios.
#  - window_start: the program started without arguments in a folder that
#    holds its option list, against a minimal wx program with the same
#    controls (bench_window_ref_wx): time from the start to the window being
#    mapped, and resident memory one second later. Seven interleaved runs
#    each; medians of the pair ratios ours/reference with their spread;
#    ratio = the larger of the time and memory medians.
set -euo pipefail
: "${BENCH_BIN:?}" "${BENCH_TMP:?}"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

gaps=
cancels=
for run in 1 2 3 4 5; do
  read -r gap cancel outcome < <(cd "$BENCH_TMP" && "$BENCH_BIN/bench_window_wx" stall 2>/dev/null)
  [ "$outcome" = cancelled ] || { echo "window_stall: Escape did not cancel the download ($outcome)" >&2; exit 1; }
  gaps="$gaps $gap"
  cancels="$cancels $cancel"
done
python3 - "$gaps" "$cancels" <<'PY'
import statistics, sys
sys.path.insert(0, "bench")
from benchstats import spread

gaps, cancels = ([float(v) for v in arg.split()] for arg in sys.argv[1:3])
runs = [max(g / 100, c / 200) for g, c in zip(gaps, cancels)]
g, c = statistics.median(gaps), statistics.median(cancels)
print(f"window_stall: median of 5 largest event gap {g:.0f} ms (goal 100) gap_ratio={g / 100:.2f}, "
      f"Escape to end {c:.0f} ms (goal 200) cancel_ratio={c / 200:.2f} "
      f"spread={spread(runs)} ratio={statistics.median(runs):.2f}")
PY

run_dir=$BENCH_TMP/window_start
mkdir -p "$run_dir"
"$BENCH_BIN/bench_window_wx" writeconfig "$run_dir/orvanesupport.json"
python3 - "$BENCH_BIN/OrvaneSupport" "$BENCH_BIN/bench_window_ref_wx" "$run_dir" <<'PY'
import os, signal, statistics, subprocess, sys, time
sys.path.insert(0, "bench")
from benchstats import pair_ratios, spread
from xwindow import Screen

ours, ref, folder = sys.argv[1], sys.argv[2], sys.argv[3]
screen = Screen()

def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0

def measure(program):
    start = time.perf_counter()
    process = subprocess.Popen([program], cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not screen.mapped("Orvane"):
        if process.poll() is not None or time.perf_counter() - start > 20:
            raise SystemExit(f"window_start: {program} showed no window")
        time.sleep(0.001)
    shown = time.perf_counter() - start
    time.sleep(1.0)
    memory = rss_kib(process.pid)
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    return shown, memory

results = {"ours": [], "ref": []}
for _ in range(7):
    for name, program in (("ours", ours), ("ref", ref)):
        results[name].append(measure(program))
t = {k: statistics.median(s for s, _ in v) for k, v in results.items()}
m = {k: statistics.median(r for _, r in v) for k, v in results.items()}
times = pair_ratios([s for s, _ in results["ours"]], [s for s, _ in results["ref"]])
memory = pair_ratios([r for _, r in results["ours"]], [r for _, r in results["ref"]])
tr, mr = statistics.median(times), statistics.median(memory)
print(f"window_start: median of 7 shown ours={t['ours'] * 1000:.0f}ms ref={t['ref'] * 1000:.0f}ms "
      f"time_ratio={tr:.2f} (spread {spread(times)}), "
      f"rss ours={m['ours'] / 1024:.1f}MiB ref={m['ref'] / 1024:.1f}MiB memory_ratio={mr:.2f} "
      f"(spread {spread(memory)}) spread={spread(times if tr >= mr else memory)} ratio={max(tr, mr):.2f}")
PY
