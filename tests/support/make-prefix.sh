#!/bin/bash
# Creates a Wine prefix for tests once: virtual desktop (real captions in
# screenshots), no menu entries on the host.
# With --run32 the prefix can run 32-bit programs too: it is copied from a template
# (RUN32_TEMPLATE, made once: a test prefix prepared by scripts/run32.sh), because the
# preparation runs Wine's 32-bit half under qemu and takes some 20-40 s.
set -u
prefix=$1
mkdir -p "$(dirname "$prefix")"
if [ "${2:-}" = --run32 ]; then
    here=$(cd "$(dirname "$0")" && pwd)
    template=${RUN32_TEMPLATE:-$(dirname "$prefix")/template32}
    "$0" "$template" || exit 1
    (flock 9 && WINEPREFIX=$template "$here/../../scripts/run32.sh" prepare) 9>"$template.lock" || exit 1
    exec 9>"$prefix.lock"
    flock 9
    [ -f "$prefix/.run32-ready" ] && exit 0
    rm -rf "$prefix"
    cp -a "$template" "$prefix" || exit 1
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
