#!/bin/bash
# Builds build/x64/Setup.exe (runs here under Wine) and build/x86/Setup.exe
# (the 32-bit target), each with the author's SetupTool.exe beside it, then prints
# their sizes and imported DLLs.
# With --tests both builds also build the test programs (the i686 ones run under
# scripts/run32.sh); with SETUP_X86_TESTS_LATER set, the i686 tree's are left to the
# test run (its first group builds them).
set -eu
cd "$(dirname "$0")/.."
tests=
[ "${1:-}" = "--tests" ] && tests=ON
jobs=$(nproc)
root=${BUILD_ROOT:-build}
# Without --tests a tree keeps its own choice: a bench or the demo run on a developer's
# test tree must not take its test programs away (ctest would run stale ones).
test_option() {
    if [ -n "$tests" ]; then echo "-DSETUP_BUILD_TESTS=$tests"
    elif [ ! -f "$1/CMakeCache.txt" ]; then echo "-DSETUP_BUILD_TESTS=OFF"; fi
}
cmake -S . -B $root/x64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
      $(test_option $root/x64) > $root-x64.log
cmake --build $root/x64 -j "$jobs" >> $root-x64.log || { tail -50 $root-x64.log; exit 1; }
cmake -S . -B $root/x86 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
      $(test_option $root/x86) > $root-x86.log
target="--target Setup --target SetupTool"
# The test command builds the i686 tree's test programs later, while the x64 groups run.
[ "$tests" = ON ] && [ -z "${SETUP_X86_TESTS_LATER:-}" ] && target=""
cmake --build $root/x86 -j "$jobs" $target >> $root-x86.log || { tail -50 $root-x86.log; exit 1; }
rm -f $root-x64.log $root-x86.log
for exe in $root/x64/Setup.exe $root/x64/SetupTool.exe $root/x86/Setup.exe $root/x86/SetupTool.exe; do
    arch=${exe#$root/}; arch=${arch%%/*}
    objdump=x86_64-w64-mingw32-objdump
    [ $arch = x86 ] && objdump=i686-w64-mingw32-objdump
    imports=$($objdump -p "$exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')
    printf '%-20s %7d bytes   imports: %s\n' "$exe" "$(stat -c %s "$exe")" "$imports"
done
