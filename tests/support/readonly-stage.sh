#!/bin/bash
# Runs a test program under wine-run.sh and, when the program asks for it (a file
# C:\readonly-request naming a folder under C:\), bind-mounts that folder read-only over
# itself, as a disc or a read-only share would be; the answer goes to C:\readonly-done.
# The mount is undone when the program has ended.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the prefix of the test group}"
here=$(cd "$(dirname "$0")" && pwd)
drive=$WINEPREFIX/drive_c
mounted=""
rm -f "$drive/readonly-request" "$drive/readonly-done"
cleanup() { [ -n "$mounted" ] && { umount "$mounted" 2>/dev/null || umount -l "$mounted"; }; }
trap cleanup EXIT
"$here/wine-run.sh" "$@" &
test=$!
while kill -0 $test 2>/dev/null; do
    if [ -f "$drive/readonly-request" ] && [ -z "$mounted" ]; then
        folder=$drive/$(tr '\\' '/' < "$drive/readonly-request" | tr -d '\r\n')
        if mount --bind "$folder" "$folder" 2>/dev/null && mount -o remount,bind,ro "$folder" 2>/dev/null; then
            mounted=$folder
            printf ok > "$drive/readonly-done"
        else
            umount "$folder" 2>/dev/null
            printf 'mount failed (needs root and mount rights)' > "$drive/readonly-done"
        fi
        rm -f "$drive/readonly-request"
    fi
    sleep 0.2
done
wait $test
