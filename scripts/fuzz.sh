#!/bin/bash
# Builds the fuzz targets of fuzz/ on the host (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a while: first the saved regression
# inputs of fuzz/regressions, then the seed corpus of fuzz/corpus and what grows from it.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 20 seconds each, every target
# Exits non-zero at the first crash, leak or sanitizer report; the input that caused it
# is left in build-fuzz/ (save it under fuzz/regressions/TARGET/ with the fix).
set -u
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
out=${FUZZ_ROOT:-build-fuzz}
mkdir -p "$out"
declare -A sources=(
    [fuzz_text]="src/base/text.cpp"
    [fuzz_paths]="src/base/text.cpp src/script/path_rules.cpp src/script/section_parse.cpp src/script/token_text.cpp src/uninstall/removal_rules.cpp"
    [fuzz_bmp]="src/draw/bmp_layout.cpp"
    [fuzz_draw]="src/base/text.cpp src/draw/draw_parse.cpp"
    [fuzz_registry]="src/base/text.cpp src/registry/registry_parse.cpp"
    [fuzz_shortcut]="src/base/text.cpp src/shell/shortcut_text.cpp"
    [fuzz_launch]="src/base/text.cpp src/launch/launch_text.cpp src/script/path_rules.cpp"
    [fuzz_readme]="src/base/text.cpp src/ui/readme_pages.cpp src/draw/draw_parse.cpp"
    [fuzz_command_line]="src/base/text.cpp src/app/command_line.cpp src/app/exit_code.cpp"
    [fuzz_seal]="src/base/text.cpp src/base/sha256.cpp src/install/seal_list.cpp"
    [fuzz_tool]="src/base/text.cpp src/tool/ini_text.cpp src/tool/vocabulary.cpp src/script/vocabulary.cpp src/tool/check_rules.cpp src/install/copy_entry.cpp src/draw/bmp_layout.cpp"
)
targets=("$@")
[ ${#targets[@]} = 0 ] && targets=($(printf '%s\n' "${!sources[@]}" | sort))
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc -Ifuzz"
status=0
for t in "${targets[@]}"; do
    [ -n "${sources[$t]:-}" ] || { echo "unknown fuzz target $t"; exit 2; }
    if ! clang++ $flags -o "$out/$t" "fuzz/$t.cpp" fuzz/sjis_lead.cpp ${sources[$t]} 2> "$out/$t.build.log"; then
        cat "$out/$t.build.log"; echo "FAIL $t: does not build"; exit 2
    fi
    regressions=fuzz/regressions/$t
    if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
        if ! "$out/$t" $(ls -d "$regressions"/*) > "$out/$t.regressions.log" 2>&1; then
            tail -40 "$out/$t.regressions.log"; echo "FAIL $t: a saved regression input fails again"; status=1; continue
        fi
    fi
    mkdir -p "$out/corpus/$t"
    seeds=$PWD/fuzz/corpus/$t
    (cd "$out" && ./"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        "corpus/$t" "$seeds" > "$t.log" 2>&1)
    rc=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/$t.log" | grep -o '[0-9]*$')
    if [ $rc != 0 ]; then
        tail -40 "$out/$t.log"; echo "FAIL $t after ${runs:-?} runs (input left in $out)"; status=1
    else
        echo "ok   $t: ${runs:-?} runs in ${seconds} s, no crash"
    fi
done
exit $status
