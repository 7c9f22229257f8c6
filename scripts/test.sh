#!/bin/bash
# The whole test suite: packages, the 32-bit runtime, both builds, a private X server,
# ctest under Wine over both trees at once: the x64 tree (unit groups, end-to-end groups of
# both Setup.exe builds) and the i686 tree (the unit groups built for i686, run under
# scripts/run32.sh). Extra arguments go to ctest (for example -R e2e_install).
# Screenshots and other artefacts land in build/x64/artifacts (BMP converted to PNG).
set -u
cd "$(dirname "$0")/.."
scripts/install-packages.sh || exit 1
scripts/run32.sh install || { echo "test.sh: the runtime for 32-bit programs could not be installed"; exit 1; }
# The i686 test programs build inside the run (its build_x86 group), beside the x64
# groups that mostly wait.
SETUP_X86_TESTS_LATER=1 scripts/build.sh --tests || exit 1
root=${BUILD_ROOT:-build}
display=${TEST_DISPLAY:-:91}
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
export DISPLAY=$display
unset LANG LANGUAGE LC_ALL LC_CTYPE LC_MESSAGES
export LC_ALL=C
sleep 1
# One scheduler over both trees: most groups wait on windows and timers rather than
# compute, so several run at once; the emulated and fuzzing groups, which compute, are
# marked to take more of the slots (tests/CMakeLists.txt).
printf 'subdirs("x64")\nsubdirs("x86")\n' > "$root/CTestTestfile.cmake"
ctest --test-dir "$root" --output-on-failure -j "${TEST_JOBS:-5}" "$@"
rc=$?
for bmp in "$root"/x64/artifacts/*.bmp "$root"/x86/artifacts/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
ls "$root"/x64/artifacts "$root"/x86/artifacts 2>/dev/null | grep -v ':$' | grep . | sed 's/^/artifact: /'
[ $rc = 0 ]
