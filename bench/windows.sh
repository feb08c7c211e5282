#!/usr/bin/env bash
# The Windows program's size: OrvaneSupport.exe against the hello window
# (bench/hellowindow), the smallest window of the same toolkit linked the
# same way; ratio = ours/hello. Needs a Windows build folder, ORVANE_WINDOWS_BUILD
# (default build/windows, as scripts/test-windows leaves it); without one it
# says so in one line. What each library costs: scripts/windows-size-report
# on the link maps beside the programs.
set -euo pipefail
build=${ORVANE_WINDOWS_BUILD:-build/windows}
ours=$build/bin/OrvaneSupport.exe
hello=$build/bin/hellowindow.exe
if [ ! -f "$ours" ] || [ ! -f "$hello" ]; then
  echo "exe_size: skipped, no Windows build with OrvaneSupport.exe and hellowindow.exe in $build (scripts/test-windows makes one)"
  exit 0
fi
awk -v o="$(stat -c %s "$ours")" -v h="$(stat -c %s "$hello")" 'BEGIN {
  printf "exe_size: ours=%.2fMB hello=%.2fMB (goal 7MB, ratio 1.05) ratio=%.2f\n", o / 1e6, h / 1e6, o / h
}'
