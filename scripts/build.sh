#!/bin/bash
# Builds build/x64/Setup.exe (runs here under Wine) and build/x86/Setup.exe
# (the 32-bit target), each with the author's SetupTool.exe beside it, then prints
# their sizes and imported DLLs.
# With --tests both builds also build the test programs (the i686 ones run under
# scripts/run32.sh); with SETUP_X86_TESTS_LATER set, the i686 tree's are left to the
# test run (its first group builds them).
set -eu
cd "$(dirname "$0")/.."
tests=OFF
[ "${1:-}" = "--tests" ] && tests=ON
jobs=$(nproc)
root=${BUILD_ROOT:-build}
cmake -S . -B $root/x64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DSETUP_BUILD_TESTS=$tests > $root-x64.log
cmake --build $root/x64 -j "$jobs" >> $root-x64.log || { tail -50 $root-x64.log; exit 1; }
cmake -S . -B $root/x86 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DSETUP_BUILD_TESTS=$tests > $root-x86.log
target="--target Setup --target SetupTool"
# The test command builds the i686 tree's test programs later, while the x64 groups run.
[ $tests = ON ] && [ -z "${SETUP_X86_TESTS_LATER:-}" ] && target=""
cmake --build $root/x86 -j "$jobs" $target >> $root-x86.log || { tail -50 $root-x86.log; exit 1; }
rm -f $root-x64.log $root-x86.log
for exe in $root/x64/Setup.exe $root/x64/SetupTool.exe $root/x86/Setup.exe $root/x86/SetupTool.exe; do
    arch=${exe#$root/}; arch=${arch%%/*}
    objdump=x86_64-w64-mingw32-objdump
    [ $arch = x86 ] && objdump=i686-w64-mingw32-objdump
    imports=$($objdump -p "$exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')
    printf '%-20s %7d bytes   imports: %s\n' "$exe" "$(stat -c %s "$exe")" "$imports"
done
