#!/bin/bash
# What the seal's check costs: silent installs (/S) of the same product from a sealed and
# an unsealed Setup.exe, interleaved, REPS times each (default 5), on a warm cache (one
# untimed run of each first). Products: N = 0 and 5,000 files of 4 KiB (10 a folder), and 1 GiB in
# 8 files of 128 MiB. Prints the medians, and the marginal cost over N = 0 per file and
# per MiB, sealed against unsealed.
set -u
cd "$(dirname "$0")/.."
BUILD_ROOT=${BUILD_ROOT:-build} scripts/build.sh >/dev/null || exit 1
build=${BUILD_ROOT:-build}
root=$(pwd)
prefix=$root/build/bench-seal-prefix
tests/support/make-prefix.sh "$prefix" || exit 1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:96
    Xvfb $DISPLAY -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    trap "kill $! 2>/dev/null" EXIT
    sleep 1
fi
wine=/usr/lib/wine/wine64
c=$prefix/drive_c
src=$c/sealbench/src
now() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
spread() { printf '%s\n' "$@" | sort -g | sed -n '1p;$p' | paste -sd- | awk -F- '{ printf "%.2f", $2 - $1 }'; }

stage() {  # files | big
    rm -rf "$c/sealbench"
    mkdir -p "$src"
    {
        printf '[Setup]\r\nName=SealBench\r\n[Root]\r\nName=sealbench\\out\r\n[MakeDirectory]\r\n'
        if [ "$1" = big ]; then
            printf '[CopyFile]\r\n'
            for ((i = 0; i < 8; i++)); do printf '%d=?part%d.bin\r\n' $i $i; done
        else
            for ((f = 0; f < $1 / 10; f++)); do printf '%d=d%d\r\n' $((f + 1)) $f; done
            printf '[CopyFile]\r\n'
            for ((i = 0; i < $1; i++)); do printf '%d=?d%d\\f%d.bin\r\n' $i $((i / 10)) $i; done
        fi
    } > "$src/Setup.ini"
    if [ "$1" = big ]; then
        for ((i = 0; i < 8; i++)); do head -c $((128 * 1024 * 1024)) /dev/urandom > "$src/part$i.bin"; done
    else
        head -c 4096 /dev/urandom > /tmp/sealbench-blob
        for ((f = 0; f < $1 / 10; f++)); do
            mkdir -p "$src/d$f"
            for ((i = f * 10; i < f * 10 + 10; i++)); do cp /tmp/sealbench-blob "$src/d$f/f$i.bin"; done
        done
    fi
    cp $build/x64/Setup.exe "$src/Setup.exe"
    (cd "$src" && $wine "$root/$build/x64/SetupTool.exe" seal 'C:\sealbench\src' >/dev/null) || exit 1
    cp "$src/Setup.exe" "$c/sealbench/sealed.exe"
    cp $build/x64/Setup.exe "$c/sealbench/plain.exe"
}

install() {  # plain | sealed: the seconds of one silent install into an empty folder
    cp "$c/sealbench/$1.exe" "$src/Setup.exe"
    rm -rf "$c/sealbench/out"
    /usr/lib/wine/wineserver -w
    local t0 t1
    t0=$(now)
    (cd /tmp && $wine 'C:\sealbench\src\Setup.exe' /S >/dev/null 2>&1)
    local rc=$?
    /usr/lib/wine/wineserver -w
    t1=$(now)
    [ $rc = 0 ] || { echo "the $1 install failed ($rc)" >&2; exit 1; }
    echo "$t1 - $t0" | bc -l
}

declare -A plain sealed
zeros=()
for product in 0 5000 big; do
    stage $product
    install plain >/dev/null; install sealed >/dev/null  # warm the cache
    p=() s=()
    for ((rep = 0; rep < ${REPS:-5}; rep++)); do
        p+=("$(install plain)")
        s+=("$(install sealed)")
    done
    [ $product = 0 ] && zeros=("${p[@]}" "${s[@]}")
    plain[$product]=$(median "${p[@]}")
    sealed[$product]=$(median "${s[@]}")
    printf '%-6s unsealed %7.2f s (spread %s)   sealed %7.2f s (spread %s)\n' "$product" "${plain[$product]}" \
        "$(spread "${p[@]}")" "${sealed[$product]}" "$(spread "${s[@]}")"
done
rm -rf "$c/sealbench"
# One fixed cost for both: at N = 0 the two programs do the same (the seal holds one line).
zero=$(median "${zeros[@]}")
plain[0]=$zero sealed[0]=$zero
pf=$(echo "(${plain[5000]} - ${plain[0]}) * 1000 / 5000" | bc -l)
sf=$(echo "(${sealed[5000]} - ${sealed[0]}) * 1000 / 5000" | bc -l)
pb=$(echo "(${plain[big]} - ${plain[0]}) * 1000 / 1024" | bc -l)
sb=$(echo "(${sealed[big]} - ${sealed[0]}) * 1000 / 1024" | bc -l)
echo
printf 'fixed cost (N = 0, both programs): %.2f s\n' "$zero"
printf 'marginal cost: 5,000 files  unsealed %.3f ms a file, sealed %.3f ms a file (%.2fx)\n' "$pf" "$sf" "$(echo "$sf / $pf" | bc -l)"
printf '               1 GiB        unsealed %.2f ms a MiB, sealed %.2f ms a MiB (%.2fx)\n' "$pb" "$sb" "$(echo "$sb / $pb" | bc -l)"
