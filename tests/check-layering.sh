#!/usr/bin/env bash
# Data flows one way through the folders: sources and identities include only their own
# headers; analysis, methods and results theirs and those of identities (and analysis
# those of sources); the recognitions in pipelines/ theirs and those of all below; the
# console program all but the window's.
# Only the window's slots, which live with the recognitions, reach up into app/.
#   tests/check-layering.sh SOURCE_ROOT
set -euo pipefail
root=$1
failed=0

# check FOLDER ALLOWED... : every header FOLDER includes by name lies in an allowed folder.
check() {
    local folder=$1 file header
    shift
    for file in "$root/$folder"/*.h "$root/$folder"/*.cpp; do
        [ "$(basename "$file")" = recognitionslots.cpp ] && continue
        while read -r header; do
            case $header in ui_*.h) continue ;; esac
            local found=0 allowed
            for allowed in "$@"; do
                [ -e "$root/$allowed/$header" ] && found=1
            done
            if [ "$found" -eq 0 ]; then
                echo "$folder/$(basename "$file") includes \"$header\", which is not in ${*// /, }" >&2
                failed=1
            fi
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    done
}

check sources sources
check identities identities
check analysis analysis identities sources
check methods methods identities
check results results identities
check pipelines pipelines sources identities analysis methods results
check batch batch pipelines sources identities analysis methods results tuning
if ls "$root"/pipelines/keywait.* >/dev/null 2>&1; then
    echo "pipelines/ still holds the HighGUI bridge (keywait)" >&2
    failed=1
fi
exit $failed
