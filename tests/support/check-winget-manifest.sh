#!/bin/bash
# SetupTool manifest for the sample packed as a zip, checked on the host against the
# package manager's schema (tests/support/check-winget-manifest.py).
#   check-winget-manifest.sh SetupTool.exe Setup.exe SAMPLE_FOLDER WORK_FOLDER
set -u
tool=$1 setup=$2 sample=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work/pkg" || exit 1
cp -r "$sample"/. "$work/pkg/" && cp "$setup" "$work/pkg/Setup.exe" || exit 1
(cd "$work/pkg" && zip -qr ../product.zip .) || exit 1
win() { echo "Z:$(echo "$1" | tr / '\\')"; }
"$here/wine-run.sh" "$tool" manifest "$(win "$work/pkg")" --url https://downloads.example.com/product.zip \
    --package "$(win "$work/product.zip")" --out "$(win "$work/out")" || { echo "SetupTool manifest failed"; exit 1; }
python3 "$here/check-winget-manifest.py" "$work/out" "$work/product.zip"
