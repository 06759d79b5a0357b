#!/usr/bin/env bash
# Soak run: 20 automatic and 10 manual recognitions in one process, printing the
# resident memory after each. Build first (scripts/test or scripts/run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/common.sh"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
run_in_desktop_session "$root/build/tools/soak" "$@"
