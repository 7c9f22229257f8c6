#!/bin/bash
# The layer check itself: a tree that keeps the layers passes; a step that includes the
# dialogs, and two steps that include each other, each fail it.
set -u
check=$(cd "$(dirname "$0")" && pwd)/check-layers.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
make_tree() {
    rm -rf "${tree:?}"/*
    mkdir -p "$tree"/{base,script,run,install,registry,ui,app}
    echo '#include "base/text.h"' > "$tree/script/script.cpp"
    echo '#include "script/script.h"' > "$tree/run/run_state.cpp"
    echo '#include "registry/registry.h"' > "$tree/install/copy.cpp"
    echo '#include "install/copy.h"' > "$tree/ui/main_dialog.cpp"
    printf '#include "ui/main_dialog.h"\n#include "res/resource.h"\n' > "$tree/app/entry.cpp"
}
fail=0
make_tree
"$check" "$tree" >/dev/null || { echo "selftest: a tree that keeps the layers failed"; fail=1; }
make_tree
echo '#include "ui/main_dialog.h"' >> "$tree/install/copy.cpp"
"$check" "$tree" | grep -q "install includes ui" || { echo "selftest: a step including ui passed"; fail=1; }
make_tree
echo '#include "install/copy.h"' > "$tree/registry/registry.cpp"
"$check" "$tree" | grep -q "include each other" || { echo "selftest: a cycle of steps passed"; fail=1; }
make_tree
mkdir "$tree/newfolder" && echo '#include "base/text.h"' > "$tree/newfolder/a.cpp"
"$check" "$tree" | grep -q "has no layer" || { echo "selftest: a folder without a layer passed"; fail=1; }
[ $fail = 0 ] && echo "selftest: the layer check passes what keeps the layers and fails the three faults"
exit $fail
