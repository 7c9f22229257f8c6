#!/bin/bash
# The main job: builds Setup.exe and installs the sample product of examples/sample
# into a Wine prefix (build/demo-prefix), after SetupTool has checked the sample,
# previewed its pictures and planned its install (outputs in build/demo), and seals it;
# at the end one changed byte in the sealed stage is refused. With a display the dialog is yours to use;
# without one it runs under a private Xvfb, presses OK itself and saves screenshots
# in build/demo. BUILD_ROOT (default build) moves all of it, as for scripts/build.sh.
set -u
cd "$(dirname "$0")/.."
scripts/install-packages.sh || exit 1
scripts/build.sh || exit 1
root=$(pwd)
build=$root/${BUILD_ROOT:-build}
prefix=$build/demo-prefix
out=$build/demo
mkdir -p "$out"
# A fresh machine each time: an earlier demo's install would make this one a version-up.
[ -d "$prefix" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null
rm -rf "$prefix"
tests/support/make-prefix.sh "$prefix" || exit 1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export XDG_DATA_HOME=$prefix/xdg-data
mkdir -p "$XDG_DATA_HOME/Trash"
stage=$prefix/drive_c/stage/sample
rm -rf "$stage" "$prefix/drive_c/Program Files/Sample Notes"
mkdir -p "$stage"
cp -r examples/sample/. "$stage/"
cp "$build/x64/Setup.exe" "$stage/"
wine=/usr/lib/wine/wine64
driver="$build/x64/uidriver.exe"
headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    # A free display number, so that two demos never share a screen.
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; rm -f "$displayfile"' EXIT
    for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -1 "$displayfile")
fi
# The author's tool on the sample first: its check, its pictures, its plan of the install.
tool="$build/x64/SetupTool.exe"
echo "SetupTool check (no finding is a clean script):"
(cd "$stage" && $wine "$tool" check) | tr -d '\r' | tee "$out/tool-check.txt" | sed 's/^/  /'
(cd "$stage" && $wine "$tool" preview --out 'C:\demo-preview') | tr -d '\r' | sed 's/^/  /'
for bmp in "$prefix"/drive_c/demo-preview/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "$out/preview-$(basename "${bmp%.bmp}").png"
done
rm -rf "$prefix/drive_c/demo-preview"
(cd "$stage" && $wine "$tool" plan) | tr -d '\r' > "$out/tool-plan.txt"
echo "SetupTool plan: $out/tool-plan.txt"
# Sealed, as an author ships it (then signs it): the install checks every file first.
(cd "$stage" && $wine "$tool" seal) | tr -d '\r' | sed 's/^/SetupTool seal: /'
(cd "$stage" && exec $wine Setup.exe) &
setup=$!
if [ $headless = 1 ]; then
    if ! $wine "$driver" wait "Sample Notes" 30000; then
        echo "the main dialog did not appear"; kill $setup; exit 1
    fi
    sleep 0.5
    $wine "$driver" screenshot 'C:\demo-dialog.bmp'
    # The read-me's picture pages: the first one, then the licence behind its button.
    $wine "$driver" click "Sample Notes" 3
    if $wine "$driver" wait "Sample Notes" 10000 1027; then
        sleep 0.5
        $wine "$driver" screenshot 'C:\demo-readme.bmp'
        $wine "$driver" click "Sample Notes" 1024
        sleep 1
        $wine "$driver" screenshot 'C:\demo-readme-licence.bmp'
        $wine "$driver" click "Sample Notes" 1027
        sleep 1
    else
        echo "the read-me did not open"
    fi
    $wine "$driver" click "Sample Notes" 1
    sleep 2.5
    $wine "$driver" screenshot 'C:\demo-progress.bmp'
    for f in dialog readme readme-licence progress; do
        [ -e "$prefix/drive_c/demo-$f.bmp" ] || continue
        convert "$prefix/drive_c/demo-$f.bmp" "$out/$f.png" && rm -f "$prefix/drive_c/demo-$f.bmp"
    done
fi
wait $setup
rc=$?
/usr/lib/wine/wineserver -w
echo "Setup.exe ended with $rc"
echo "installed into C:\\Program Files\\Sample Notes:"
(cd "$prefix/drive_c/Program Files/Sample Notes" 2>/dev/null && find . -type f | sort) || echo "  (nothing)"
for key in 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Sample Notes' \
           'HKCU\Software\Sample Software' 'HKCR\.snote' 'HKCR\SampleNotes.Note' ; do
    echo "registry: $key"
    $wine reg query "$key" /s 2>/dev/null | tr -d '\r' | grep -v '^$' | sed 's/^/  /'
done
(cd "$stage" && $wine "$tool" plan --uninstall) | tr -d '\r' > "$out/tool-plan-uninstall.txt"
echo "SetupTool plan --uninstall: $out/tool-plan-uninstall.txt"
echo "shortcuts of the prefix's user (Start menu, desktop):"
(cd "$prefix/drive_c/users" && find . -name '*.lnk' -path '*Sample Notes*' | sort) || true
# Unattended, as package managers run it: the installed copy's quiet uninstall, then a
# silent install from the stage with a log, its exit codes and the log's first lines.
win_folder='C:\Program Files\Sample Notes'
echo "silent uninstall: \"$win_folder\\Setup.exe\" uninstall /S /LOG=C:\\demo-uninstall.log"
(cd "$prefix/drive_c/Program Files/Sample Notes" && $wine Setup.exe uninstall /S '/LOG=C:\demo-uninstall.log')
echo "  exit code $?"
/usr/lib/wine/wineserver -w
for _ in $(seq 30); do [ -e "$prefix/drive_c/Program Files/Sample Notes" ] || break; sleep 0.5; done
[ -e "$prefix/drive_c/Program Files/Sample Notes" ] && echo "  the install folder is still there" || echo "  the install folder is gone"
start=$(date +%s%N)
echo "silent install: Setup.exe /S /LOG=C:\\demo-install.log /D=$win_folder"
(cd "$stage" && $wine Setup.exe /S '/LOG=C:\demo-install.log' "/D=$win_folder")
echo "  exit code $? after $(( ($(date +%s%N) - start) / 1000000 )) ms"
echo "  the log's first lines:"
head -12 "$prefix/drive_c/demo-install.log" | tr -d '\r' | sed 's/^/    /'
echo "  ...the log's last line: $(tail -1 "$prefix/drive_c/demo-install.log" | tr -d '\r')"
cp "$prefix/drive_c/demo-install.log" "$prefix/drive_c/demo-uninstall.log" "$out/" 2>/dev/null
# One changed byte in the sealed stage: the seal no longer matches and nothing is installed.
echo "sealed media: one byte of readme.txt changed in the stage"
printf 'X' | dd of="$stage/readme.txt" bs=1 seek=3 conv=notrunc status=none
(cd "$stage" && $wine "$tool" seal --verify) | tr -d '\r' | sed 's/^/  SetupTool seal --verify: /'
(cd "$stage" && $wine Setup.exe /S '/LOG=C:\demo-refused.log' '/D=C:\Refused')
echo "  silent install: exit code $? (1603 & 255 = 67 in a shell); C:\\Refused $([ -e "$prefix/drive_c/Refused" ] && echo made || echo "not made")"
grep -A3 'logged instead of shown' "$prefix/drive_c/demo-refused.log" | tr -d '\r' | sed 's/^/    /'
shots="$out/dialog.png $out/readme.png $out/readme-licence.png $out/progress.png"
if [ $headless = 1 ]; then
    # Shown: the script is as sealed, so the dialog comes; the changed file is found when
    # the install begins (the agreement read first, as before).
    (cd "$stage" && exec $wine Setup.exe) &
    refused=$!
    if $wine "$driver" wait "Sample Notes" 30000; then
        $wine "$driver" click "Sample Notes" 3
        $wine "$driver" wait "Sample Notes" 10000 1027 && $wine "$driver" click "Sample Notes" 1027
        sleep 1
        $wine "$driver" click "Sample Notes" 1
    fi
    if $wine "$driver" wait "Checking files" 30000; then
        sleep 0.5
        $wine "$driver" screenshot 'C:\demo-refused.bmp'
        $wine "$driver" click "Checking files" 1 || $wine "$driver" click "Checking files" 2
        convert "$prefix/drive_c/demo-refused.bmp" "$out/refused.png" && shots="$shots $out/refused.png"
    else
        echo "  the refusal was not shown"
    fi
    for _ in $(seq 60); do kill -0 $refused 2>/dev/null || break; sleep 0.5; done
    kill $refused 2>/dev/null
    wait $refused 2>/dev/null
fi
cp examples/sample/readme.txt "$stage/readme.txt"
[ $headless = 1 ] && echo "screenshots: $shots"
exit $rc
