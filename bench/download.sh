#!/usr/bin/env bash
# A 256 MiB body from a loopback server: DownloadFile (streamed into a
# temporary file, renamed into place) against `curl -s -o FILE` from the same
# server. Best of five runs each, interleaved; wall time of each process.
# The peak resident memory of our process must stay flat whatever the size.
set -euo pipefail
mib=256
bytes=$((mib << 20))
limit_mib=64
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
for run in 1 2 3 4 5; do
  start=$(now)
  read -r got kib < <("$BENCH_BIN/bench_download" get "$url" "$file")
  t=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
  [ "$got" -eq "$bytes" ] && [ "$(stat -c %s "$file")" -eq "$bytes" ] || { echo "download: ours got $got bytes" >&2; exit 1; }
  rm -f "$file"
  best_ours=$(awk -v a="$t" -v b="${best_ours:-$t}" 'BEGIN { print (a < b ? a : b) }')
  [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib

  start=$(now)
  curl -s -o "$file" "$url"
  t=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
  [ "$(stat -c %s "$file")" -eq "$bytes" ] || { echo "download: curl got a short file" >&2; exit 1; }
  rm -f "$file"
  best_curl=$(awk -v a="$t" -v b="${best_curl:-$t}" 'BEGIN { print (a < b ? a : b) }')
done
awk -v o="$best_ours" -v r="$best_curl" -v m="$mib" -v k="$peak_kib" -v l="$limit_mib" 'BEGIN {
  printf "download: %d MiB ours=%.3fs curl=%.3fs ours_peak_rss=%.1fMiB (limit %dMiB) ratio=%.2f\n", m, o, r, k / 1024, l, o / r
}'
awk -v k="$peak_kib" -v l="$limit_mib" 'BEGIN { exit !(k <= l * 1024) }' ||
  { echo "download: peak resident memory above ${limit_mib} MiB" >&2; exit 1; }
