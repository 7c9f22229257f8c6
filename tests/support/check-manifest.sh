#!/bin/bash
# Each executable given carries one application manifest (resource type 24, id 1) that
# is well-formed XML and asks for what the program needs.
set -u
status=0
for exe in "$@"; do
    xml=$(wrestool -x --raw --type=24 --name=1 "$exe" 2>/dev/null)
    if [ -z "$xml" ]; then
        echo "FAIL $exe: no manifest resource"; status=1; continue
    fi
    if ! printf '%s' "$xml" | xmllint --noout - 2>/dev/null; then
        echo "FAIL $exe: the manifest is not well-formed XML"; status=1; continue
    fi
    for want in 'requestedExecutionLevel level="requireAdministrator"' 'Microsoft.Windows.Common-Controls' \
                'version="6.0.0.0"' '<dpiAware' 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"'; do
        if ! printf '%s' "$xml" | grep -q -- "$want"; then
            echo "FAIL $exe: the manifest lacks $want"; status=1
        fi
    done
    [ $status = 0 ] && echo "ok   $exe: manifest present, well-formed, complete"
done
exit $status
