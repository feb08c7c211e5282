#!/usr/bin/env bash
# 100,000 debug lines with the file output, rotation into zip archives at
# 1 MB and syslog to a receiver on 127.0.0.1, against the stdio reference
# plus one sendto per line. Best of three runs each, interleaved. No line may
# be lost: the log file and the archives together hold every line once.
set -euo pipefail
lines=100000
best_ours=
best_ref=
for run in 1 2 3; do
  for who in ours ref; do
    dir=$BENCH_TMP/logger_syslog_${who}_$run
    mkdir -p "$dir"
    if [ "$who" = ours ]; then
      read -r t received < <("$BENCH_BIN/bench_logger_syslog" "$dir" "$lines")
      archives=$(find "$dir" -name '*.zip' | wc -l)
      got=$( { cat "$dir"/*.log; for zip in "$dir"/*.zip; do unzip -p "$zip"; done; } |
        grep -c '^(bench_logger_syslog) : .*: (Debug        ): Benchmark line ' || true)
      ours_received=$received ours_archives=$archives
    else
      read -r t received < <("$BENCH_BIN/bench_logger_syslog_ref" "$dir" "$lines")
      got=$(wc -l < "$dir/log_debug_bench_logger_syslog_ref.log")
      ref_received=$received
    fi
    if [ "$got" -ne "$lines" ]; then
      echo "logger_syslog: $who kept $got lines, expected $lines" >&2
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
awk -v o="$best_ours" -v r="$best_ref" -v n="$lines" -v a="$ours_archives" -v ro="$ours_received" \
  -v rr="$ref_received" 'BEGIN {
  printf "logger+syslog+rotation: %d lines ours=%.3fs ref=%.3fs ours_lines_per_s=%.0f archives=%d lines_lost=0 received_last_run=%d/%d ratio=%.2f\n", n, o, r, n / o, a, ro, rr, o / r
}'
