#!/usr/bin/env bash
# 100,000 debug lines with the file output, rotation into zip archives at
# 1 MB and syslog to a receiver on 127.0.0.1, against the stdio reference
# plus one sendto per line. Five runs each, interleaved;
# medians and the spread of the five ratios. No line may
# be lost: the log file and the archives together hold every line once.
set -euo pipefail
lines=100000
ours_times=
ref_times=
for run in 1 2 3 4 5; do
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
    if [ "$who" = ours ]; then ours_times="$ours_times $t"; else ref_times="$ref_times $t"; fi
  done
done
read -r median_ours median_ref ratio spread < <(python3 bench/benchstats.py "$ours_times" "$ref_times")
awk -v o="$median_ours" -v r="$median_ref" -v n="$lines" -v a="$ours_archives" -v ro="$ours_received" \
  -v rr="$ref_received" -v q="$ratio" -v s="$spread" 'BEGIN {
  printf "logger+syslog+rotation: %d lines median of 5 ours=%.3fs ref=%.3fs ours_lines_per_s=%.0f archives=%d lines_lost=0 received_last_run=%d/%d spread=%s ratio=%s\n", n, o, r, n / o, a, ro, rr, s, q
}'
