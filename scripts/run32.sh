#!/bin/bash
# Runs the 32-bit (i686) Windows programs of this project on a Debian 12 x86_64 machine
# whose kernel executes no 32-bit code.
#
# Wine is split in two halves: the 64-bit half (Debian's wine64, wineserver) runs
# natively; the 32-bit half (Debian's i386 Wine loader and libraries, unpacked, never
# installed, so /usr/bin/wine stays 64-bit) runs under qemu-user. A private folder of
# loaders, laid out like /usr/lib/wine, lets Wine start the right half for each child:
# "wine" there is a small script that runs the i386 loader under qemu, "wine64" is the
# native loader. A 64-bit prefix then runs 32-bit programs in its WoW64 side.
#
#   run32.sh install          as root, once: packages and the unpacked runtime
#   run32.sh prepare          lets $WINEPREFIX (made by it when missing) run 32-bit programs
#   run32.sh run PROGRAM ...  runs a Windows program in $WINEPREFIX, 32-bit programs under
#                             qemu, 64-bit ones (and Wine's own tools) natively; its exit
#                             status is passed through
#   run32.sh loader PROGRAM   prints the loader that "run" would use
#   run32.sh check            exit 0 when the runtime is installed
#
# RUN32_HOME: where the runtime lives (default /opt/setup-run32). The downloaded packages
# stay in $RUN32_HOME/debs, so a rebuilt runtime needs no new downloads. Prepared
# prefixes link into $RUN32_HOME: do not move it.
set -euo pipefail

home=${RUN32_HOME:-/opt/setup-run32}
# Bump when the recipe changes: an older runtime is then rebuilt from the cached packages.
recipe=1
here=$(cd "$(dirname "$0")" && pwd)
bin=$home/lib/wine
i386root=$home/root
builtins32=$i386root/usr/lib/i386-linux-gnu/wine/i386-windows

say() { echo "run32: $*" >&2; }
die() { say "$*"; exit 1; }

installed() { [ "$(cat "$home/.installed" 2>/dev/null)" = "$recipe" ]; }

apt_quiet() { apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"; }

install_host_packages() {
    export DEBIAN_FRONTEND=noninteractive
    # qemu-user 10 from backports starts a 32-bit Wine process in 1-2 s; bookworm's 7.2
    # needs about 110 s for each. Only downloaded from there, never installed.
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        echo 'deb http://deb.debian.org/debian bookworm-backports main' > /etc/apt/sources.list.d/setup-run32-backports.list
    fi
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 \
        || die "cannot add the i386 architecture"
    apt-get -o DPkg::Lock::Timeout=300 update -qq || die "apt-get update failed"
    # Host side: the native half, zlib1.dll for the 32-bit side, the i386 dynamic loader
    # (/lib/ld-linux.so.2 from libc6-i386, an amd64 package) and gcc for the preload.
    # Not wine32: it would turn /usr/bin/wine into a 32-bit loader.
    apt_quiet install --no-install-recommends wine64 libz-mingw-w64 libc6-i386 gcc >/dev/null \
        || die "cannot install wine64 libz-mingw-w64 libc6-i386 gcc"
}

# The i386 Wine half with its library closure (Depends only), as .deb files in debs/.
download_i386_half() {
    local roots="wine32:i386 libwine:i386 libxcomposite1:i386 libxcursor1:i386 libxfixes3:i386 libxi6:i386
                 libxinerama1:i386 libxrandr2:i386 libxrender1:i386 libgnutls30:i386"
    local list
    list=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
               --no-enhances $roots | grep -E '^[a-zA-Z0-9].*:i386$' | sort -u |
           grep -vE '^(cdebconf|dpkg|install-info|tar|sysvinit-utils|xfonts-utils|libdebian-installer4|libnewt0\.52|libslang2|libtextwrap1|libcap2-bin|fontconfig-config):') \
        || die "cannot resolve the i386 Wine packages (is the i386 architecture known to apt?)"
    mkdir -p "$home/debs"
    # Already downloaded packages of the same version are not fetched again.
    local want=() p version candidates
    candidates=$(apt-cache policy $list | awk '/^[^ ]/ {p = $1; sub(/:$/, "", p)} /^  Candidate:/ {print p, $2}')
    while read -r p version; do
        [ "$version" != "(none)" ] || die "no candidate version for $p"
        ls "$home/debs/${p%%:*}_${version//:/%3a}_"*.deb >/dev/null 2>&1 || want+=("$p=$version")
    done <<< "$candidates"
    [ "$(wc -l <<< "$candidates")" = "$(wc -w <<< "$list")" ] || die "apt-cache policy did not list every i386 package"
    if [ ${#want[@]} -gt 0 ]; then
        say "downloading ${#want[@]} i386 packages"
        (cd "$home/debs" && apt-get -qq download "${want[@]}") || die "cannot download the i386 Wine packages"
    fi
    if ! ls "$home"/debs/qemu-user_*_amd64.deb >/dev/null 2>&1; then
        (cd "$home/debs" && apt-get -qq download qemu-user/bookworm-backports) \
            || die "cannot download qemu-user from bookworm-backports (32-bit programs would need minutes to start)"
    fi
    # The i386 loader must be the same glibc as the unpacked libraries.
    local host unpacked
    host=$(dpkg-query -W -f '${Version}' libc6-i386)
    unpacked=$(ls "$home"/debs/libc6_*_i386.deb | sed 's/.*libc6_\(.*\)_i386.deb/\1/; s/%3a/:/')
    if [ "$host" != "$unpacked" ]; then
        apt_quiet install --no-install-recommends "libc6-i386=$unpacked" >/dev/null \
            || die "libc6-i386 $host does not match libc6:i386 $unpacked and cannot be changed"
    fi
}

install_runtime() {
    local t0=$SECONDS
    install_host_packages
    download_i386_half
    rm -rf "$home/root" "$home/lib" "$home/share"
    mkdir -p "$i386root" "$bin" "$home/share"
    local deb
    for deb in "$home"/debs/*_i386.deb; do dpkg-deb -x "$deb" "$i386root" || die "cannot unpack $deb"; done
    local tmp
    tmp=$(mktemp -d)
    dpkg-deb -x "$(ls "$home"/debs/qemu-user_*_amd64.deb | sort -V | tail -1)" "$tmp" || die "cannot unpack qemu-user"
    cp "$tmp/usr/bin/qemu-i386" "$bin/qemu-i386"
    rm -rf "$tmp"
    # The zlib1.dll builtin that libwine's maintainer script would make: the mingw DLL
    # with Wine's builtin signature at offset 64.
    local zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
    { head -c 64 "$zlib"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$zlib"; } > "$builtins32/zlib1.dll"
    cp /usr/lib/wine/wine64 "$bin/wine64"
    cp "$i386root/usr/lib/wine/wine" "$bin/wine.i386"
    ln -s /usr/lib/wine/wineserver64 "$bin/wineserver"
    ln -s /usr/lib/x86_64-linux-gnu "$home/lib/x86_64-linux-gnu"
    ln -s ../root/usr/lib/i386-linux-gnu "$home/lib/i386-linux-gnu"
    ln -s /usr/share/wine "$home/share/wine"
    # Wine derives the loader of a child process from its own folder and argv[0]; with
    # WINELOADERNOEXEC and argv[0] pointing here, 32-bit children come back to this script.
    # No qemu -L: it would remap "/" and break Wine's Z: drive.
    cat > "$bin/wine" <<'EOF'
#!/bin/sh
d=$(dirname "$(readlink -f "$0")")
r=$d/../../root
export WINELOADERNOEXEC=1
exec "$d/qemu-i386" -E LD_LIBRARY_PATH="$r/lib/i386-linux-gnu:$r/usr/lib/i386-linux-gnu" \
     -E LD_PRELOAD="$d/segvfix.so" -0 "$d/wine" "$d/wine.i386" "$@"
EOF
    chmod +x "$bin/wine"
    gcc -m32 -O2 -fPIC -shared -nostdlib -o "$bin/segvfix.so" "$here/run32-segvfix.c" \
        || die "cannot build the i386 preload (gcc -m32)"
    # The registry of the 32-bit view (Wow6432Node) from wine.inf, without its DLL copies.
    sed -e '/^\[Wow64Install\]/,/^\[/{/^WineFakeDlls=/d;/^CopyFiles=/d}' /usr/share/wine/wine.inf > "$home/wow64.inf"
    echo "$recipe" > "$home/.installed"
    say "runtime installed in $home ($((SECONDS - t0)) s)"
}

cmd_install() {
    mkdir -p "$(dirname "$home")"
    exec 9>"$home.lock"
    flock 9
    installed && return 0
    [ "$(id -u)" = 0 ] || die "the 32-bit runtime is not installed in $home; run 'scripts/run32.sh install' as root"
    mkdir -p "$home"
    install_runtime
}

need_runtime() {
    installed || die "the 32-bit runtime is not installed in $home; run 'scripts/run32.sh install' as root"
}

cmd_prepare() {
    need_runtime
    : "${WINEPREFIX:?WINEPREFIX must name the prefix}"
    export WINEDEBUG=${WINEDEBUG:--all}
    [ -f "$WINEPREFIX/.run32-ready" ] && return 0
    local t0=$SECONDS
    [ -f "$WINEPREFIX/system.reg" ] || { "$bin/wine64" wineboot -i >/dev/null 2>&1 || true; }
    "$bin/wineserver" -w || true
    # Wine loads a builtin into a 32-bit process only when a file of that name lies in
    # syswow64; the i386 builtins are 550 MB unstripped, so link them.
    local sw=$WINEPREFIX/drive_c/windows/syswow64 f
    mkdir -p "$sw"
    for f in "$builtins32"/*; do
        [ -e "$sw/${f##*/}" ] || ln -sf "$f" "$sw/${f##*/}"
    done
    "$bin/wine" rundll32.exe setupapi,InstallHinfSection Wow64Install 128 \
        "\\\\?\\Z:${home//\//\\}\\wow64.inf" >/dev/null 2>&1 || true
    # An unhandled exception would start winedbg, which hangs for minutes under qemu.
    local view
    for view in "" '\Wow6432Node'; do
        "$bin/wine64" reg add "HKLM\\Software$view\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" \
            /v Debugger /d false /f >/dev/null 2>&1 || true
    done
    "$bin/wineserver" -w || true
    "$bin/wine64" reg query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion' /v ProgramFilesDir \
        >/dev/null 2>&1 || die "prefix $WINEPREFIX: the 32-bit registry view was not made"
    "$bin/wineserver" -w || true
    touch "$WINEPREFIX/.run32-ready"
    say "prefix $WINEPREFIX ready for 32-bit programs ($((SECONDS - t0)) s)"
}

# i386 (PE32) programs go to the qemu half; everything else, also Wine's builtin tools
# named without a host path, runs natively.
loader_for() {
    local program=$1 offset machine
    if [ -f "$program" ]; then
        offset=$(od -An -tu4 -j60 -N4 "$program" | tr -d ' ')
        machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$program" | tr -d ' ')
        [ "$machine" = 014c ] && { echo "$bin/wine"; return; }
    fi
    echo "$bin/wine64"
}

case "${1:-}" in
    install) cmd_install ;;
    check) installed ;;
    prepare) cmd_prepare ;;
    loader) need_runtime; loader_for "${2:?program}" ;;
    run)
        shift
        [ $# -ge 1 ] || die "usage: run32.sh run PROGRAM [ARGS...]"
        need_runtime
        : "${WINEPREFIX:?WINEPREFIX must name the prefix}"
        [ -f "$WINEPREFIX/.run32-ready" ] || cmd_prepare
        export WINEDEBUG=${WINEDEBUG:--all}
        exec "$(loader_for "$1")" "$@"
        ;;
    *) die "usage: run32.sh install | check | prepare | run PROGRAM [ARGS...] | loader PROGRAM" ;;
esac
