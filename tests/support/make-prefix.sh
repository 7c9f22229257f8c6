#!/bin/bash
# Creates a Wine prefix for tests once: virtual desktop (real captions in
# screenshots), no menu entries on the host.
set -u
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
# Wine links the user's Desktop, Documents, ... to the host's home folder; shortcuts
# and files that a test or the demo puts there must stay inside the prefix instead.
keep_user_folders_inside() {
    for link in "$prefix"/drive_c/users/*/*; do
        [ -L "$link" ] || continue
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
