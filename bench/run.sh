#!/bin/bash
# Install benchmark: N files of 4 KiB (10 a folder), an unattended install and a
# second install into the same folder, each timed until every process of the
# prefix has ended, against a plain CopyFileA loop over the same files; then the same
# install silent (/S, with its log), into an empty folder.
# Prints the marginal time per file (over the N = 0 run) for each.
set -u
cd "$(dirname "$0")/.."
BUILD_ROOT=${BUILD_ROOT:-build} scripts/build.sh >/dev/null || exit 1
build=${BUILD_ROOT:-build}
root=$(pwd)
prefix=$root/build/bench-prefix
tests/support/make-prefix.sh "$prefix" || exit 1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:97
    Xvfb $DISPLAY -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    trap "kill $! 2>/dev/null" EXIT
    sleep 1
fi
wine=/usr/lib/wine/wine64
c=$prefix/drive_c
now() { date +%s.%N; }

stage_product() {  # N
    local n=$1 dir=$c/bench/src
    rm -rf "$c/bench"
    mkdir -p "$dir"
    cp $build/x64/Setup.exe $build/x64/copyloop.exe "$dir/"
    {
        printf '[Setup]\r\nName=Bench\r\nAuto=1\r\n[Root]\r\nName=bench\\out\r\n[MakeDirectory]\r\n'
        for ((f = 0; f < n / 10; f++)); do printf '%d=d%d\r\n' $((f + 1)) $f; done
        printf '[CopyFile]\r\n'
        for ((i = 0; i < n; i++)); do printf '%d=?d%d\\f%d.bin\r\n' $i $((i / 10)) $i; done
    } > "$dir/Setup.ini"
    cp "$dir/Setup.ini" "$dir/Setup.ini.orig"
    head -c 4096 /dev/urandom > /tmp/bench-blob
    for ((f = 0; f < n / 10; f++)); do
        mkdir -p "$dir/d$f"
        for ((i = f * 10; i < f * 10 + 10; i++)); do cp /tmp/bench-blob "$dir/d$f/f$i.bin"; done
    done
}

timed() {  # command...
    local t0 t1
    t0=$(now)
    (cd "$c/bench/src" && "$@" >/dev/null 2>&1)
    /usr/lib/wine/wineserver -w
    t1=$(now)
    echo "$t1 - $t0" | bc -l
}

declare -A first second loop reloop silent
for n in 0 1000 5000; do
    stage_product $n
    /usr/lib/wine/wineserver -w
    loop[$n]=$(timed $wine copyloop.exe 'C:\bench\src\Setup.ini' 'C:\bench\loop')
    reloop[$n]=$(timed $wine copyloop.exe 'C:\bench\src\Setup.ini' 'C:\bench\loop')
    first[$n]=$(timed $wine Setup.exe)
    cp "$c/bench/src/Setup.ini.orig" "$c/bench/src/Setup.ini"
    second[$n]=$(timed $wine Setup.exe)
    count=$(grep -c '^[0-9]*=C:' "$c/bench/out/Setup.ini" 2>/dev/null)
    # The same install silent (no pauses, a log line per file), into an empty folder.
    rm -rf "$c/bench/out"
    silent[$n]=$(timed $wine Setup.exe /S '/LOG=C:\bench\silent.log')
    printf 'N=%-5d copy loop %6.2f s (again %6.2f s)   install %6.2f s   second install %6.2f s   silent install %6.2f s   (record lines: %s)\n' \
        $n "${loop[$n]}" "${reloop[$n]}" "${first[$n]}" "${second[$n]}" "${silent[$n]}" "$count"
done
echo
echo "marginal time per file (ms), against N = 0:"
for n in 1000 5000; do
    l=$(echo "(${loop[$n]} - ${loop[0]}) * 1000 / $n" | bc -l)
    f=$(echo "(${first[$n]} - ${first[0]}) * 1000 / $n" | bc -l)
    s=$(echo "(${second[$n]} - ${second[0]}) * 1000 / $n" | bc -l)
    r=$(echo "(${reloop[$n]} - ${reloop[0]}) * 1000 / $n" | bc -l)
    q=$(echo "(${silent[$n]} - ${silent[0]}) * 1000 / $n" | bc -l)
    printf 'N=%-5d copy loop %5.2f   install %5.2f (%.2fx)   copy loop over existing files %5.2f   second install %5.2f (%.2fx of that)   silent install with its log %5.2f (%.2fx the shown install)\n' \
        $n "$l" "$f" "$(echo "$f / $l" | bc -l)" "$r" "$s" "$(echo "$s / $r" | bc -l)" "$q" "$(echo "$q / $f" | bc -l)"
done
echo "fixed cost of a silent install (N = 0): ${silent[0]} s; of the shown automatic one: ${first[0]} s"
