#!/bin/bash
# Runs one Windows test program under Wine in the prefix named by WINEPREFIX,
# creating that prefix on first use, and ends the prefix's processes afterwards.
# With --run32 first, the prefix can also run 32-bit programs (scripts/run32.sh):
# a 32-bit test program runs under qemu, a 64-bit one natively, and either can start
# the 32-bit Setup.exe.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the prefix of the test group}"
export WINEDEBUG=${WINEDEBUG:--all}
# A group may ask for more (SETUP_DLL_OVERRIDES): Wine reads them from the host's
# environment when a process starts, never from a Windows program's own environment.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d${SETUP_DLL_OVERRIDES:+;$SETUP_DLL_OVERRIDES}"
here=$(cd "$(dirname "$0")" && pwd)
run32=""
[ "${1:-}" = --run32 ] && { run32=--run32; shift; }
"$here/make-prefix.sh" "$WINEPREFIX" $run32 || exit 1
loader=/usr/lib/wine/wine64
if [ -n "$run32" ]; then
    loader=$("$here/../../scripts/run32.sh" loader "$1") || exit 1
fi
# Deleted files go to a trash inside the prefix, never the host's.
export XDG_DATA_HOME="$WINEPREFIX/xdg-data" HOME="$WINEPREFIX/home"
mkdir -p "$XDG_DATA_HOME/Trash" "$HOME"
# A display of its own: test groups running side by side must not cover each
# other's windows, or their screenshots come out black.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$displayfile"' EXIT
for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] && export DISPLAY=:$(head -1 "$displayfile")
limit=${TEST_TIMEOUT:-900}
# Wine's own messages of every process the test starts (traces a test asked for, crash
# reports) are kept in the prefix for the test to read; shown too, but for relay traces.
log=$WINEPREFIX/wine-stderr.log
: > "$log"
timeout --kill-after=10 "$limit" "$loader" "$@" 2> >(tee -a "$log" | grep -av -e ':Call ' -e ':Ret ' >&2)
rc=$?
timeout 20 /usr/lib/wine/wineserver -w || true
/usr/lib/wine/wineserver -k 2>/dev/null || true
exit $rc
