#!/usr/bin/env bash
# Soak run: 20 automatic and 10 manual recognitions in one process, printing the
# resident memory after each. Build first (scripts/test or scripts/run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/tools/soak" "$@"
