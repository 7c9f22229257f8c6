#!/bin/bash
# The author's order on Linux: seal, then sign with osslsigncode (a throwaway certificate
# made with openssl). The signature verifies, the signed program installs silently, one
# changed payload byte makes it refuse (1603), and sealing a signed program says that the
# signature is gone (and it is).
#   check-signed-seal.sh SetupTool.exe Setup.exe SAMPLE_FOLDER WORK_FOLDER
set -u
tool=$1 setup=$2 sample=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
win() { echo "Z:$(echo "$1" | tr / '\\')"; }
rm -rf "$work" && mkdir -p "$work/pkg" || exit 1
cp -r "$sample"/. "$work/pkg/" && cp "$setup" "$work/pkg/Setup.exe" || exit 1
pkg=$work/pkg

"$here/wine-run.sh" "$tool" seal "$(win "$pkg")" > "$work/seal.txt" || fail "SetupTool seal: $(cat "$work/seal.txt")"
grep -q '^sealed ' "$work/seal.txt" || fail "seal said: $(cat "$work/seal.txt")"

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Sample Software test signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null || fail "openssl"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Sample Notes" -h sha256 \
    -in "$pkg/Setup.exe" -out "$work/Setup.signed.exe" > "$work/sign.txt" 2>&1 || fail "osslsigncode sign: $(cat "$work/sign.txt")"
mv "$work/Setup.signed.exe" "$pkg/Setup.exe"
osslsigncode verify -CAfile "$work/cert.pem" -in "$pkg/Setup.exe" > "$work/verify.txt" 2>&1 ||
    fail "osslsigncode verify: $(tail -5 "$work/verify.txt")"
echo "ok   signed after sealing; osslsigncode verify: $(grep -m1 -i 'succeeded' "$work/verify.txt")"

"$here/wine-run.sh" "$tool" seal --verify "$(win "$pkg")" > "$work/seal-verify.txt" ||
    fail "the signed folder is not as sealed: $(cat "$work/seal-verify.txt")"

"$here/wine-run.sh" "$pkg/Setup.exe" /S '/LOG=C:\signed.log' '/D=C:\Signed\Sample Notes'
rc=$?
[ $rc = 0 ] || fail "the signed, sealed program did not install (exit $rc): $(cat "$WINEPREFIX/drive_c/signed.log")"
[ -f "$WINEPREFIX/drive_c/Signed/Sample Notes/readme.txt" ] || fail "nothing installed"
echo "ok   the signed program installs (exit 0)"

printf '\x01' | dd of="$pkg/readme.txt" bs=1 seek=10 conv=notrunc status=none
"$here/wine-run.sh" "$pkg/Setup.exe" /S '/LOG=C:\tampered.log' '/D=C:\Tampered'
rc=$?
[ $rc = $((1603 & 255)) ] || fail "a changed payload byte gave exit $rc, not 1603"
[ ! -e "$WINEPREFIX/drive_c/Tampered" ] || fail "the refused run made its folder"
grep -q 'readme.txt has been changed' "$WINEPREFIX/drive_c/tampered.log" || fail "the log does not name the file"
echo "ok   one changed payload byte: refused (1603): $(grep -m1 'readme.txt' "$WINEPREFIX/drive_c/tampered.log" | sed 's/^ *//')"

"$here/wine-run.sh" "$tool" seal "$(win "$pkg")" > "$work/reseal.txt" || fail "sealing again"
grep -q 'signature is gone' "$work/reseal.txt" || fail "sealing a signed program did not say so: $(cat "$work/reseal.txt")"
osslsigncode verify -CAfile "$work/cert.pem" -in "$pkg/Setup.exe" > /dev/null 2>&1 && fail "the signature still verifies"
echo "ok   sealing again took the signature off and said so"
