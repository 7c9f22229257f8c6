#!/bin/bash
# Install and uninstall benchmark: N files of 4 KiB (10 a folder). Each repetition times,
# one after another (interleaved), until every process of the prefix has ended:
#   copy      a plain CopyFileA loop over the same files (the install's floor)
#   recopy    the same loop over the files it copied (the second install's floor)
#   delete    a DeleteFileA loop over them, and their folders (the uninstall's floor)
#   recycle   the same through the recycle bin, one shell call a file (a second floor)
#   install   an unattended (Auto=1) install into an empty folder
#   second    the same install again over it
#   uninstall the installed Setup.exe run as uninstaller ("uninstall /S")
#   silent    a silent install (/S, with its log) into an empty folder
# and prints, for each, the marginal time per file over the N = 0 run: the median of the
# repetitions and their spread (lowest-highest). Each measure X also has X.cpu: the
# processor time of the whole machine meanwhile (user and system, from /proc/stat), which
# waits on the disk do not move as they move the wall clock; run the bench alone.
#
# BENCH_N="0 1000 5000 20000"  the file counts (N = 0 first: the fixed cost)
# BENCH_REPS=3                 repetitions
# BENCH_B=path/to/Setup.exe    a second build timed beside the first in the same run
#                              (install.B, second.B, uninstall.B, silent.B): an A/B test
# BENCH_ONLY="uninstall delete" only these measures (and their .B twins)
# BENCH_NSIS=1                 also an NSIS 3 installer of the same files, when makensis is
#                              there (nsis, nsis.un: its install and its uninstaller)
# BENCH_SEAL=1                 then bench/seal.sh: sealed against unsealed installs
set -u
cd "$(dirname "$0")/.."
build=${BUILD_ROOT:-build}
root=$(pwd)
ns=${BENCH_N:-0 1000 5000}
reps=${BENCH_REPS:-3}
only=${BENCH_ONLY:-}
exe_b=${BENCH_B:-}
[ -n "$exe_b" ] && exe_b=$(realpath "$exe_b")
if [ ! -f "$build/x64/CMakeCache.txt" ]; then
    cmake -S . -B "$build/x64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
        >/dev/null || exit 1
fi
cmake --build "$build/x64" -j2 --target Setup copyloop >/dev/null || exit 1
nsis=
if [ "${BENCH_NSIS:-0}" = 1 ]; then
    nsis=$(command -v makensis) || echo "makensis not found: no NSIS figures" >&2
fi
prefix=$root/$build/bench-prefix
tests/support/make-prefix.sh "$prefix" || exit 1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# A real recycle bin, as on Windows (without one Wine deletes for good).
export XDG_DATA_HOME=$prefix/xdg-data HOME=$prefix/home
mkdir -p "$XDG_DATA_HOME/Trash" "$HOME"
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:${BENCH_DISPLAY:-97}
    Xvfb $DISPLAY -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    trap "kill $! 2>/dev/null" EXIT
    sleep 1
fi
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
c=$prefix/drive_c
src=$c/bench/src
now() { date +%s.%N; }

wanted() {  # measure
    [ -z "$only" ] && return 0
    local m
    for m in $only; do [ "$m" = "${1%.B}" ] && return 0; done
    return 1
}

stage_product() {  # N
    local n=$1 f i blob
    rm -rf "$c/bench"
    mkdir -p "$src"
    cp "$build/x64/Setup.exe" "$build/x64/copyloop.exe" "$src/"
    {
        printf '[Setup]\r\nName=Bench\r\nAuto=1\r\n[Root]\r\nName=bench\\out\r\n[MakeDirectory]\r\n'
        for ((f = 0; f < n / 10; f++)); do printf '%d=d%d\r\n' $((f + 1)) $f; done
        printf '[CopyFile]\r\n'
        for ((i = 0; i < n; i++)); do printf '%d=?d%d\\f%d.bin\r\n' $i $((i / 10)) $i; done
    } > "$src/Setup.ini"
    cp "$src/Setup.ini" "$src/Setup.ini.orig"
    blob=$(head -c 3072 /dev/urandom | base64 -w0)  # 4,096 bytes, written by the shell itself
    for ((f = 0; f < n / 10; f++)); do
        mkdir -p "$src/d$f"
        for ((i = f * 10; i < f * 10 + 10; i++)); do printf '%s' "$blob" > "$src/d$f/f$i.bin"; done
    done
    [ -n "$nsis" ] && make_nsis "$n"
}

# The same files as an NSIS 3 installer: silent install into C:\bench\nsis, and an
# uninstaller that deletes each file and folder by name (no wildcard), as ours does.
make_nsis() {  # N
    local n=$1 f i
    {
        printf 'Unicode true\nTarget amd64-unicode\nSetCompress off\n'
        printf 'Name "Bench"\nOutFile "%s"\nInstallDir "C:\\bench\\nsis"\nRequestExecutionLevel user\n' "$src/nsis.exe"
        printf 'Section\n'
        for ((f = 0; f < n / 10; f++)); do
            printf 'SetOutPath "$INSTDIR\\d%d"\n' $f
            printf 'File "%s/d%d/*.bin"\n' "$src" $f
        done
        printf 'SetOutPath "$INSTDIR"\nWriteUninstaller "$INSTDIR\\uninst.exe"\nSectionEnd\n'
        printf 'Section "Uninstall"\n'
        for ((i = n - 1; i >= 0; i--)); do printf 'Delete "$INSTDIR\\d%d\\f%d.bin"\n' $((i / 10)) $i; done
        for ((f = n / 10 - 1; f >= 0; f--)); do printf 'RMDir "$INSTDIR\\d%d"\n' $f; done
        printf 'Delete "$INSTDIR\\uninst.exe"\nRMDir "$INSTDIR"\nSectionEnd\n'
    } > "$c/bench/nsis.nsi"
    "$nsis" -V1 "$c/bench/nsis.nsi" >/dev/null || { echo "makensis failed" >&2; nsis=; }
}

busy() { awk '/^cpu /{print $2 + $3 + $4 + $7 + $8}' /proc/stat; }  # ticks of work, all processors
timed() {  # folder command...: seconds of wall clock, then of processor time
    local t0 t1 c0 c1 dir=$1
    shift
    t0=$(now)
    c0=$(busy)
    (cd "$dir" && "$@" >/dev/null 2>&1)
    $wineserver -w
    t1=$(now)
    c1=$(busy)
    echo "$(echo "$t1 - $t0" | bc -l) $(echo "($c1 - $c0) / $(getconf CLK_TCK)" | bc -l)"
}

empty_trash() { rm -rf "$XDG_DATA_HOME/Trash/files" "$XDG_DATA_HOME/Trash/info"; }

results=$(mktemp)
trap 'rm -f "$results"; [ -n "$(jobs -p)" ] && kill $(jobs -p) 2>/dev/null' EXIT
record() {  # measure N rep seconds [processor-seconds]
    echo "$1 $2 $3 $4" >> "$results"
    [ -n "${5:-}" ] && echo "$1.cpu $2 $3 $5" >> "$results"
}

# One variant of Setup.exe through install, second install, uninstall, silent install.
run_setup() {  # suffix exe N rep
    local v=$1 exe=$2 n=$3 r=$4 t left
    cp "$exe" "$src/Setup.exe"
    rm -rf "$c/bench/out"
    cp "$src/Setup.ini.orig" "$src/Setup.ini"
    if wanted install || wanted second; then
        t=$(timed "$src" $wine Setup.exe); wanted install && record install$v $n $r $t
    elif wanted uninstall; then
        timed "$src" $wine Setup.exe /S >/dev/null  # only what the uninstall needs, quicker
    fi
    if wanted second; then
        cp "$src/Setup.ini.orig" "$src/Setup.ini"
        t=$(timed "$src" $wine Setup.exe); wanted second && record second$v $n $r $t
        count=$(grep -c '^[0-9]*=C:' "$c/bench/out/Setup.ini" 2>/dev/null)
        [ "$count" -ge "$n" ] || echo "N=$n$v: the record lists $count files" >&2
    fi
    if wanted uninstall; then
        empty_trash
        t=$(timed "$c/bench/out" $wine 'C:\bench\out\Setup.exe' uninstall /S)
        record uninstall$v $n $r $t
        left=$(find "$c/bench/out" 2>/dev/null | wc -l)
        [ "$left" = 0 ] || echo "N=$n$v: $left entries left in the install folder after the uninstall" >&2
        empty_trash
    fi
    if wanted silent; then
        rm -rf "$c/bench/out"
        cp "$src/Setup.ini.orig" "$src/Setup.ini"
        t=$(timed "$src" $wine Setup.exe /S '/LOG=C:\bench\silent.log'); record silent$v $n $r $t
    fi
    rm -rf "$c/bench/out"
}

for n in $ns; do
    stage_product "$n"
    $wineserver -w
    for ((r = 1; r <= reps; r++)); do
        rm -rf "$c/bench/loop"
        if wanted copy || wanted recopy || wanted delete || wanted recycle; then
            t=$(timed "$src" $wine copyloop.exe 'C:\bench\src\Setup.ini' 'C:\bench\loop'); wanted copy && record copy $n $r $t
        fi
        if wanted recopy; then
            t=$(timed "$src" $wine copyloop.exe 'C:\bench\src\Setup.ini' 'C:\bench\loop'); record recopy $n $r $t
        fi
        if wanted delete; then
            t=$(timed "$src" $wine copyloop.exe /delete 'C:\bench\src\Setup.ini' 'C:\bench\loop'); record delete $n $r $t
            timed "$src" $wine copyloop.exe 'C:\bench\src\Setup.ini' 'C:\bench\loop' >/dev/null
        fi
        if wanted recycle; then
            empty_trash
            t=$(timed "$src" $wine copyloop.exe /recycle 'C:\bench\src\Setup.ini' 'C:\bench\loop'); record recycle $n $r $t
            empty_trash
        fi
        rm -rf "$c/bench/loop"
        # A and B alternate which goes first, so that neither always runs on a warm cache.
        if [ -n "$exe_b" ] && ((r % 2 == 0)); then
            run_setup .B "$exe_b" $n $r
            run_setup "" "$build/x64/Setup.exe" $n $r
        else
            run_setup "" "$build/x64/Setup.exe" $n $r
            [ -n "$exe_b" ] && run_setup .B "$exe_b" $n $r
        fi
        if [ -n "$nsis" ] && wanted nsis; then
            rm -rf "$c/bench/nsis"
            t=$(timed "$src" $wine nsis.exe /S); record nsis $n $r $t
            t=$(timed "$c/bench/nsis" $wine 'C:\bench\nsis\uninst.exe' /S); record nsis.un $n $r $t
            rm -rf "$c/bench/nsis"
        fi
        printf 'N=%-6d repetition %d done\n' "$n" "$r" >&2
    done
done

# Seconds (median, lowest-highest) for every measure and N, then the marginal ms a file.
awk '
function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
function low(list,   n, a, i, m) { n = split(list, a, " "); m = a[1]; for (i = 2; i <= n; i++) if (a[i] < m) m = a[i]; return m }
function high(list,   n, a, i, m) { n = split(list, a, " "); m = a[1]; for (i = 2; i <= n; i++) if (a[i] > m) m = a[i]; return m }
{
    key = $1 SUBSEP $2
    t[key] = t[key] " " $4
    if (!($1 in seen)) { seen[$1] = 1; order[++measures] = $1 }
    if (!($2 in seenN)) { seenN[$2] = 1; ns[++count] = $2 }
}
END {
    printf "seconds until every process has ended (X.cpu: processor seconds of the machine meanwhile):\n"
    printf "median (lowest-highest) of the repetitions\n"
    printf "%-14s", "measure"; for (i = 1; i <= count; i++) printf " %22s", "N=" ns[i]; printf "\n"
    for (m = 1; m <= measures; m++) {
        printf "%-14s", order[m]
        for (i = 1; i <= count; i++) {
            key = order[m] SUBSEP ns[i]
            if (key in t) printf " %8.2f (%5.2f-%5.2f)", median(t[key]), low(t[key]), high(t[key]); else printf " %22s", "-"
        }
        printf "\n"
    }
    printf "\nmarginal ms a file over N=0: median (lowest-highest) of each repetition against the N=0 median\n"
    printf "%-14s", "measure"; for (i = 1; i <= count; i++) if (ns[i] > 0) printf " %20s", "N=" ns[i]; printf "\n"
    for (m = 1; m <= measures; m++) {
        base = order[m] SUBSEP 0
        if (!(base in t)) continue
        zero = median(t[base])
        printf "%-14s", order[m]
        for (i = 1; i <= count; i++) {
            if (ns[i] == 0) continue
            key = order[m] SUBSEP ns[i]
            if (!(key in t)) { printf " %20s", "-"; continue }
            k = split(t[key], a, " "); list = ""
            for (j = 1; j <= k; j++) list = list " " ((a[j] - zero) * 1000 / ns[i])
            mg[order[m], ns[i]] = median(list)
            printf " %6.3f (%5.3f-%5.3f)", median(list), low(list), high(list)
        }
        printf "\n"
    }
    printf "\nratios of the marginal medians\n"
    split("install/copy second/recopy uninstall/delete uninstall/recycle uninstall/nsis.un install/nsis install.B/copy second.B/recopy uninstall.B/delete uninstall.B/recycle", wanted_pairs, " ")
    npairs = 0
    for (p = 1; p in wanted_pairs; p++) {  # each pair by the wall clock and by processor time
        pairs[++npairs] = wanted_pairs[p]
        split(wanted_pairs[p], ab, "/")
        pairs[++npairs] = ab[1] ".cpu/" ab[2] ".cpu"
    }
    for (i = 1; i <= count; i++) {
        if (ns[i] == 0) continue
        line = ""
        for (p = 1; p <= npairs; p++) {
            split(pairs[p], ab, "/")
            if ((ab[1], ns[i]) in mg && (ab[2], ns[i]) in mg && mg[ab[2], ns[i]] > 0)
                line = line sprintf("  %s %.2fx", pairs[p], mg[ab[1], ns[i]] / mg[ab[2], ns[i]])
        }
        printf "N=%-6d%s\n", ns[i], line
    }
}' "$results"
if [ "${BENCH_SEAL:-0}" = 1 ]; then
    echo
    echo "sealed against unsealed (bench/seal.sh):"
    bench/seal.sh
fi
