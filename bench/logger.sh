#!/usr/bin/env bash
# 100,000 debug lines into the log file (open, append, close per line) against
# the same loop in plain C stdio. Five runs each, interleaved;
# medians and the spread of the five ratios.
set -euo pipefail
lines=100000
ours_times=
ref_times=
for run in 1 2 3 4 5; do
  for who in ours ref; do
    dir=$BENCH_TMP/logger_${who}_$run
    mkdir -p "$dir"
    if [ "$who" = ours ]; then
      t=$("$BENCH_BIN/bench_logger" "$dir" "$lines")
      file=$dir/log_debug_bench_logger.log
      want=$((lines + 26))  # header block plus the lines
    else
      t=$("$BENCH_BIN/bench_logger_ref" "$dir" "$lines")
      file=$dir/log_debug_bench_logger_ref.log
      want=$lines
    fi
    got=$(wc -l < "$file")
    if [ "$got" -ne "$want" ]; then
      echo "logger: $who wrote $got lines, expected $want" >&2
      exit 1
    fi
    rm -rf "$dir"
    if [ "$who" = ours ]; then ours_times="$ours_times $t"; else ref_times="$ref_times $t"; fi
  done
done
read -r median_ours median_ref ratio spread < <(python3 bench/benchstats.py "$ours_times" "$ref_times")
awk -v o="$median_ours" -v r="$median_ref" -v n="$lines" -v q="$ratio" -v s="$spread" 'BEGIN {
  printf "logger: %d lines median of 5 ours=%.3fs ref=%.3fs ours_lines_per_s=%.0f spread=%s ratio=%s\n", n, o, r, n / o, s, q
}'
