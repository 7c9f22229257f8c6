#!/bin/bash
# What every end user downloads stays small and plain:
#   check-footprint.sh EXE MAX_BYTES MAX_DATA
# the file is at most MAX_BYTES, its initialised data (.data) at most MAX_DATA bytes (a
# record given member initialisers, or a zero-filled buffer placed as data, costs its
# whole size there), and it imports only the system's DLLs.
set -u
exe=$1 max_bytes=$2 max_data=$3
objdump=x86_64-w64-mingw32-objdump
$objdump -f "$exe" 2>/dev/null | grep -q 'pei-i386' && objdump=i686-w64-mingw32-objdump
status=0
size=$(stat -c %s "$exe")
if [ "$size" -gt "$max_bytes" ]; then
    echo "FAIL $exe: $size bytes, over its ceiling of $max_bytes"; status=1
fi
data_hex=$($objdump -h "$exe" | awk '$2 == ".data" { print $3 }')
data=$((16#${data_hex:-0}))
if [ "$data" -gt "$max_data" ]; then
    echo "FAIL $exe: $data bytes of initialised data, over $max_data: a record of buffers with member initialisers?"
    status=1
fi
for dll in $($objdump -p "$exe" | awk '/DLL Name/ { print toupper($3) }'); do
    case $dll in
        KERNEL32.DLL | USER32.DLL | GDI32.DLL | ADVAPI32.DLL | SHELL32.DLL | OLE32.DLL | MSVCRT.DLL) ;;
        *) echo "FAIL $exe: imports $dll, which not every system has"; status=1 ;;
    esac
done
[ $status = 0 ] && echo "ok   $exe: $size bytes (ceiling $max_bytes), $data of data, system DLLs only"
exit $status
