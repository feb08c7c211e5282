#!/usr/bin/env bash
# 100,000 debug lines into the log file (open, append, close per line) against
# the same loop in plain C stdio. Best of three runs each, interleaved.
set -euo pipefail
lines=100000
best_ours=
best_ref=
for run in 1 2 3; do
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
    if [ "$who" = ours ]; then
      best_ours=$(awk -v a="$t" -v b="${best_ours:-$t}" 'BEGIN { print (a < b ? a : b) }')
    else
      best_ref=$(awk -v a="$t" -v b="${best_ref:-$t}" 'BEGIN { print (a < b ? a : b) }')
    fi
  done
done
awk -v o="$best_ours" -v r="$best_ref" -v n="$lines" 'BEGIN {
  printf "logger: %d lines ours=%.3fs ref=%.3fs ours_lines_per_s=%.0f ratio=%.2f\n", n, o, r, n / o, o / r
}'
