#!/bin/bash
# The folders of src point one way: base, script, run, the steps, ui, Setup.exe's program
# (app), then the author's tool, which plans by running app's run sequences. A folder includes only its own layer or those below it; folders of one
# layer (the steps) may include each other only without a cycle. With --graph, prints
# the include graph of the folders instead of checking it. (res holds the resource ids,
# shared by the dialogs and the programs.)
set -u
src=${1:-$(cd "$(dirname "$0")/../../src" && pwd)}
[ "${2:-}" = --graph ] && graph=1 || graph=0
rank() {
    case $1 in
        base) echo 0 ;; script) echo 1 ;; run) echo 2 ;;
        draw | install | shell | registry | uninstall | launch) echo 3 ;;
        res) echo 4 ;; ui) echo 5 ;; app) echo 6 ;; tool) echo 7 ;;
        *) echo unknown ;;
    esac
}
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
for dir in "$src"/*/; do
    from=$(basename "$dir")
    find "$dir" -name '*.h' -o -name '*.cpp' -o -name '*.rc' | xargs grep -hoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_0-9]+/' |
        sed -E 's/.*"([a-z_0-9]+)\//\1/' | sort -u | while read -r to; do
        [ "$to" = "$from" ] || echo "$from $to"
    done
done | sort -u > "$edges"
if [ $graph = 1 ]; then
    awk '{ to[$1] = to[$1] " " $2 } END { for (f in to) print f " ->" to[f] }' "$edges" | sort
    exit 0
fi
bad=0
while read -r from to; do
    rf=$(rank "$from") rt=$(rank "$to")
    if [ "$rf" = unknown ] || [ "$rt" = unknown ]; then
        echo "layers: the folder ${from}/ or ${to}/ has no layer: give it one in $(basename "$0")"
        bad=1
    elif [ "$rt" -gt "$rf" ] || { [ "$rt" = "$rf" ] && [ "$rf" != 3 ]; }; then
        echo "layers: $from includes $to, which is above it or beside it"
        grep -rlE "#[[:space:]]*include[[:space:]]+\"$to/" "$src/$from" | sed 's/^/  /'
        bad=1
    fi
done < "$edges"
# tsort names a cycle on stderr and fails.
if ! tsort "$edges" >/dev/null 2>"$edges.cycle"; then
    echo "layers: folders include each other:"
    sed 's/^/  /' "$edges.cycle"
    bad=1
fi
rm -f "$edges.cycle"
[ $bad = 0 ] && echo "layers: $(wc -l < "$edges") folder includes, all pointing down"
exit $bad
