#!/usr/bin/env bash
# A 256 MiB body from a loopback server: DownloadFile (streamed into a
# temporary file, renamed into place) against `curl -s -o FILE` from the same
# server. Five runs each, interleaved; wall time of each process, medians
# and the spread of the five ratios.
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
ours_times=
curl_times=
peak_kib=0
for run in 1 2 3 4 5; do
  start=$(now)
  read -r got kib < <("$BENCH_BIN/bench_download" get "$url" "$file")
  t=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
  [ "$got" -eq "$bytes" ] && [ "$(stat -c %s "$file")" -eq "$bytes" ] || { echo "download: ours got $got bytes" >&2; exit 1; }
  rm -f "$file"
  ours_times="$ours_times $t"
  [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib

  start=$(now)
  curl -s -o "$file" "$url"
  t=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
  [ "$(stat -c %s "$file")" -eq "$bytes" ] || { echo "download: curl got a short file" >&2; exit 1; }
  rm -f "$file"
  curl_times="$curl_times $t"
done
read -r ours curl ratio spread < <(python3 bench/benchstats.py "$ours_times" "$curl_times")
awk -v o="$ours" -v r="$curl" -v m="$mib" -v k="$peak_kib" -v l="$limit_mib" -v q="$ratio" -v s="$spread" 'BEGIN {
  printf "download: %d MiB median of 5 ours=%.3fs curl=%.3fs ours_peak_rss=%.1fMiB (limit %dMiB) spread=%s ratio=%s\n", m, o, r, k / 1024, l, s, q
}'
awk -v k="$peak_kib" -v l="$limit_mib" 'BEGIN { exit !(k <= l * 1024) }' ||
  { echo "download: peak resident memory above ${limit_mib} MiB" >&2; exit 1; }
