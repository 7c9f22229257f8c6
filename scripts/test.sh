#!/bin/bash
# The whole test suite: packages, the 32-bit runtime, both builds, a private X server,
# ctest under Wine: first the x64 tree (unit groups, end-to-end groups of both
# Setup.exe builds), then the i686 tree (the unit groups built for i686, run under
# scripts/run32.sh). Extra arguments go to both ctest runs (for example -R e2e_install).
# Screenshots and other artefacts land in build/x64/artifacts (BMP converted to PNG).
set -u
cd "$(dirname "$0")/.."
scripts/install-packages.sh || exit 1
scripts/run32.sh install || { echo "test.sh: the runtime for 32-bit programs could not be installed"; exit 1; }
scripts/build.sh --tests || exit 1
root=${BUILD_ROOT:-build}
display=${TEST_DISPLAY:-:91}
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
export DISPLAY=$display
unset LANG LANGUAGE LC_ALL LC_CTYPE LC_MESSAGES
export LC_ALL=C
sleep 1
ctest --test-dir "$root/x64" --output-on-failure -j "${TEST_JOBS:-2}" "$@"
rc=$?
# Emulated groups are CPU-bound: one at a time.
ctest --test-dir "$root/x86" --output-on-failure -j "${TEST_JOBS_X86:-1}" "$@"
rc86=$?
for bmp in "$root"/x64/artifacts/*.bmp "$root"/x86/artifacts/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
ls "$root"/x64/artifacts "$root"/x86/artifacts 2>/dev/null | grep -v ':$' | grep . | sed 's/^/artifact: /'
[ $rc = 0 ] && [ $rc86 = 0 ]
