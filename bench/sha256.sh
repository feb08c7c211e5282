#!/usr/bin/env bash
# SHA-256 of a 512 MiB file from the page cache: bench_sha256 against
# "openssl dgst -sha256". The two run alternately, nine times each, and the
# medians are compared. The ratio is of wall time; CPU time (user + system) is
# shown beside it because it is what to look at when other jobs share the
# machine and disturb the wall clock.
# Prints one line ending in ratio=<ours/openssl>.
set -euo pipefail
: "${BENCH_BIN:?}" "${BENCH_TMP:?}"
file=$BENCH_TMP/sha256_input.bin
trap 'rm -f "$file"' EXIT
head -c $((512 * 1024 * 1024)) /dev/urandom >"$file"
cat "$file" >/dev/null  # into the page cache

ours=$("$BENCH_BIN/bench_sha256" "$file" | cut -d' ' -f1)
ref=$(openssl dgst -sha256 -r "$file" | cut -d' ' -f1)
if [ "$ours" != "$ref" ]; then
  echo "sha256: digests differ: ours=$ours openssl=$ref" >&2
  exit 1
fi

python3 - "$BENCH_BIN/bench_sha256" "$file" <<'PY'
import os, statistics, subprocess, sys, time
sys.path.insert(0, "bench")
from benchstats import pair_ratios, spread

ours_bin, path = sys.argv[1], sys.argv[2]
commands = {"ours": [ours_bin, path], "openssl": ["openssl", "dgst", "-sha256", path]}
wall = {name: [] for name in commands}
cpu = {name: [] for name in commands}
for _ in range(9):
    for name, argv in commands.items():
        before = os.times()
        start = time.perf_counter()
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
        wall[name].append(time.perf_counter() - start)
        after = os.times()
        cpu[name].append(after.children_user - before.children_user
                         + after.children_system - before.children_system)
m = {k: statistics.median(v) for k, v in cpu.items()}
w = {k: statistics.median(v) for k, v in wall.items()}
wall_ratios = pair_ratios(wall["ours"], wall["openssl"])
cpu_ratios = pair_ratios(cpu["ours"], cpu["openssl"])
print(f"sha256 512MiB: median of 9 wall ours={w['ours']:.2f}s openssl={w['openssl']:.2f}s, "
      f"cpu ours={m['ours']:.2f}s openssl={m['openssl']:.2f}s "
      f"cpu_ratio={statistics.median(cpu_ratios):.2f} (spread {spread(cpu_ratios)}) "
      f"spread={spread(wall_ratios)} ratio={statistics.median(wall_ratios):.2f}")
PY
