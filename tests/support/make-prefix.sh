#!/bin/bash
# Creates a Wine prefix for tests once: virtual desktop (real captions in
# screenshots), no menu entries on the host.
# With --run32 the prefix can run 32-bit programs too: it is copied from a template
# (RUN32_TEMPLATE, made once: a test prefix prepared by scripts/run32.sh), because the
# preparation runs Wine's 32-bit half under qemu and takes some 20-40 s.
set -u
prefix=$1
mkdir -p "$(dirname "$prefix")"
# A copy of a template prefix whose regular files are hard links: the system's libraries
# (some 650 MB a prefix) stay shared, and every other file, which Wine or a test may
# rewrite in place, gets a copy of its own.
clone() {
    rm -rf "$2"
    cp -a --link "$1" "$2" || return 1
    find "$2" -type f ! -path '*/windows/system32/*' ! -path '*/windows/syswow64/*' ! -path '*/windows/winsxs/*' \
        -exec sh -c 'for f; do cp -p "$f" "$f.own" && mv -f "$f.own" "$f"; done' _ {} +
}
if [ "${2:-}" = --run32 ]; then
    here=$(cd "$(dirname "$0")" && pwd)
    template=${RUN32_TEMPLATE:-$(dirname "$prefix")/template32}
    "$0" "$template" || exit 1
    (flock 9 && WINEPREFIX=$template "$here/../../scripts/run32.sh" prepare) 9>"$template.lock" || exit 1
    exec 9>"$prefix.lock"
    flock 9
    [ -f "$prefix/.run32-ready" ] && exit 0
    clone "$template" "$prefix" || exit 1
    exit 0
fi
# Every prefix but a template is cloned from the template beside it, made once.
template=$(dirname "$prefix")/template64
if [ "${prefix##*/template}" = "$prefix" ]; then
    "$0" "$template" || exit 1
    exec 9>"$prefix.lock"
    flock 9
    [ -f "$prefix/.ready" ] && exit 0
    clone "$template" "$prefix" || exit 1
    exit 0
fi
exec 9>"$prefix.lock"
flock 9
# Wine links the user's Desktop, Documents, Templates ... to the host's home folder; shortcuts
# and files that a test or the demo puts there must stay inside the prefix instead.
keep_user_folders_inside() {
    find "$prefix/drive_c/users" -type l 2>/dev/null | while read -r link; do
        rm -f "$link" && mkdir -p "$link"
    done
}
if [ -f "$prefix/.ready" ]; then keep_user_folders_inside; exit 0; fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
timeout 300 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
timeout 60 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
timeout 60 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# The dialogs name Japanese fonts that Wine lacks; map them to the IPA fonts.
fonts=$prefix/fonts.reg
{
    printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n' | iconv -f UTF-8 -t UTF-16LE
} > "$fonts"
timeout 60 /usr/lib/wine/wine64 regedit /S "$(/usr/lib/wine/wine64 winepath -w "$fonts" 2>/dev/null)" >/dev/null 2>&1
timeout 60 /usr/lib/wine/wineserver -w
keep_user_folders_inside
touch "$prefix/.ready"
