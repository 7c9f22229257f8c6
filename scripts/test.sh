#!/bin/bash
# The whole test suite: packages, both builds, a private X server, ctest under Wine.
# Extra arguments go to ctest (for example -R e2e_install).
# Screenshots and other artefacts land in build/x64/artifacts (BMP converted to PNG).
set -u
cd "$(dirname "$0")/.."
scripts/install-packages.sh || exit 1
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
for bmp in "$root"/x64/artifacts/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
ls "$root"/x64/artifacts 2>/dev/null | sed 's/^/artifact: /'
exit $rc
