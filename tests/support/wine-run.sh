#!/bin/bash
# Runs one Windows test program under wine64 in the prefix named by WINEPREFIX,
# creating that prefix on first use, and ends the prefix's processes afterwards.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the prefix of the test group}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
here=$(cd "$(dirname "$0")" && pwd)
"$here/make-prefix.sh" "$WINEPREFIX" || exit 1
# Deleted files go to a trash inside the prefix, never the host's.
export XDG_DATA_HOME="$WINEPREFIX/xdg-data" HOME="$WINEPREFIX/home"
mkdir -p "$XDG_DATA_HOME/Trash" "$HOME"
limit=${TEST_TIMEOUT:-900}
timeout --kill-after=10 "$limit" /usr/lib/wine/wine64 "$@"
rc=$?
timeout 20 /usr/lib/wine/wineserver -w || true
/usr/lib/wine/wineserver -k 2>/dev/null || true
exit $rc
