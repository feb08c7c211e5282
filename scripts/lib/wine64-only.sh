# Sourced by the scripts that run Windows programs under Wine.
#
# use_wine64_only DIR: on a machine that cannot execute 32-bit programs,
# makes `wine` (and the wineboot and other helpers, which call wine-stable)
# start 64-bit Wine directly. Debian's wine scripts prefer 32-bit Wine
# whenever wine32 is installed, and there it fails with "Exec format error",
# also for 64-bit programs. DIR gets the two small forwarders and goes first
# on PATH; nothing changes where 32-bit Wine is not installed.
use_wine64_only() {
  [ -x /usr/lib/wine/wine ] || return 0
  local dir=$1 name
  mkdir -p "$dir"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$dir/$name"
    chmod +x "$dir/$name"
  done
  export PATH="$dir:$PATH"
}
