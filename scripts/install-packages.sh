#!/bin/bash
# Installs the Debian packages that building and testing need, when any is missing.
set -eu
packages="cmake g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest wine wine64 xvfb imagemagick fonts-wine fonts-ipafont-gothic icoutils libxml2-utils clang libclang-rt-14-dev zip python3-yaml osslsigncode openssl"
# --bench: also NSIS 3, the peer bench/run.sh compares with (BENCH_NSIS=1).
[ "${1:-}" = --bench ] && packages="$packages nsis"
missing=""
for p in $packages; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq $missing >/dev/null
