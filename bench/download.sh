#!/usr/bin/env bash
# A 256 MiB body from a loopback server: HttpGet plus saving the file (the
# program's way: temporary file, renamed into place) against
# `curl -s -o FILE` from the same server. Best of three
# runs each, interleaved; wall time of each process. The get/save split of
# our best run shows where the time went.
set -euo pipefail
mib=256
bytes=$((mib << 20))
port_file=$BENCH_TMP/download_port
"$BENCH_BIN/bench_download" serve "$mib" > "$port_file" &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 500); do [ -s "$port_file" ] && break; sleep 0.01; done
url="http://127.0.0.1:$(cat "$port_file")/big.bin"
file=$BENCH_TMP/download.bin

now() { date +%s.%N; }
best_ours=
best_curl=
peak_kib=0
for run in 1 2 3; do
  start=$(now)
  read -r got kib get save < <("$BENCH_BIN/bench_download" get "$url" "$file")
  t=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
  [ "$got" -eq "$bytes" ] && [ "$(stat -c %s "$file")" -eq "$bytes" ] || { echo "download: ours got $got bytes" >&2; exit 1; }
  rm -f "$file"
  if [ -z "$best_ours" ] || awk -v a="$t" -v b="$best_ours" 'BEGIN { exit !(a < b) }'; then
    best_ours=$t best_get=$get best_save=$save
  fi
  [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib

  start=$(now)
  curl -s -o "$file" "$url"
  t=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
  [ "$(stat -c %s "$file")" -eq "$bytes" ] || { echo "download: curl got a short file" >&2; exit 1; }
  rm -f "$file"
  best_curl=$(awk -v a="$t" -v b="${best_curl:-$t}" 'BEGIN { print (a < b ? a : b) }')
done
awk -v o="$best_ours" -v r="$best_curl" -v m="$mib" -v k="$peak_kib" -v g="$best_get" -v s="$best_save" 'BEGIN {
  printf "download: %d MiB ours=%.3fs (get %.3fs + save %.3fs) curl=%.3fs ours_peak_rss=%.0fMiB (limit %dMiB) ratio=%.2f\n", m, o, g, s, r, k / 1024, m + 32, o / r
}'
